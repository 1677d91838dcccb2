#include "cli/CliArguments.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace linkhaul::cli {
namespace {

constexpr const char* USAGE =
    "usage:\n"
    "  linkhaul-cli [--json] open  [--code CODE] LINK          top-level entries of the share\n"
    "  linkhaul-cli [--json] ls    [--code CODE] LINK DIR      entries of folder DIR of the share\n"
    "  linkhaul-cli          links [--code CODE] [--packed] [--replace-host]\n"
    "                              [--captcha-image FILE] LINK FS_ID...\n"
    "  linkhaul-cli --help | --version\n"
    "\n"
    "  -c, --code CODE          the share's extraction code\n"
    "      --json               one JSON object per entry instead of aligned columns\n"
    "      --packed             one address for a packed archive of all FS_IDs\n"
    "      --replace-host       rewrite the addresses' download host\n"
    "      --captcha-image FILE where to write a captcha picture (default: a temporary file)\n"
    "\n"
    "Set LINKHAUL_CONNECT_TO=HOST:PORT:TARGET_HOST:TARGET_PORT,... to send a host's\n"
    "connections elsewhere (tests, demos).\n";

ParseOutcome fail(std::string message) {
    return {std::nullopt, std::move(message)};
}

std::optional<std::int64_t> parseId(const char* text) {
    if (*text == '\0') {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* usageText() {
    return USAGE;
}

ParseOutcome parseArguments(int argc, char** argv) {
    CliArguments args;
    enum { OPT_JSON = 256, OPT_PACKED, OPT_REPLACE, OPT_CAPTCHA, OPT_HELP, OPT_VERSION };
    static const option globalOptions[] = {
        {"json", no_argument, nullptr, OPT_JSON},
        {"help", no_argument, nullptr, OPT_HELP},
        {"version", no_argument, nullptr, OPT_VERSION},
        {nullptr, 0, nullptr, 0},
    };
    static const option commandOptions[] = {
        {"code", required_argument, nullptr, 'c'},
        {"json", no_argument, nullptr, OPT_JSON},
        {"packed", no_argument, nullptr, OPT_PACKED},
        {"replace-host", no_argument, nullptr, OPT_REPLACE},
        {"captcha-image", required_argument, nullptr, OPT_CAPTCHA},
        {"help", no_argument, nullptr, OPT_HELP},
        {nullptr, 0, nullptr, 0},
    };

    // Global options stop at the command word ("+"); errors are reported by us.
    optind = 0;
    opterr = 0;
    for (int opt; (opt = getopt_long(argc, argv, "+", globalOptions, nullptr)) != -1;) {
        switch (opt) {
            case OPT_JSON:
                args.json = true;
                break;
            case OPT_HELP:
                args.command = Command::Help;
                return {args, {}};
            case OPT_VERSION:
                args.command = Command::Version;
                return {args, {}};
            default:
                return fail(std::string("unknown option: ") + argv[optind - 1]);
        }
    }
    if (optind >= argc) {
        return fail("missing command");
    }
    const std::string word = argv[optind];
    if (word == "open") {
        args.command = Command::Open;
    } else if (word == "ls") {
        args.command = Command::List;
    } else if (word == "links") {
        args.command = Command::Links;
    } else {
        return fail("unknown command: " + word);
    }

    // The command's options may stand anywhere among its operands.
    const int commandArgc = argc - optind;
    char** commandArgv = argv + optind;
    optind = 0;
    for (int opt;
         (opt = getopt_long(commandArgc, commandArgv, "c:", commandOptions, nullptr)) != -1;) {
        switch (opt) {
            case 'c':
                args.code = optarg;
                break;
            case OPT_JSON:
                args.json = true;
                break;
            case OPT_PACKED:
                args.packed = true;
                break;
            case OPT_REPLACE:
                args.replaceHost = true;
                break;
            case OPT_CAPTCHA:
                args.captchaImage = optarg;
                break;
            case OPT_HELP:
                args.command = Command::Help;
                return {args, {}};
            default:
                return fail("bad option for " + word);
        }
    }
    std::vector<const char*> operands(commandArgv + optind, commandArgv + commandArgc);

    const bool linksOnly = args.packed || args.replaceHost || args.captchaImage;
    if (args.command != Command::Links && linksOnly) {
        return fail("--packed, --replace-host and --captcha-image belong to links");
    }
    if (args.command == Command::Links && args.json) {
        return fail("--json does not apply to links");
    }
    if (operands.empty()) {
        return fail("missing LINK");
    }
    args.link = operands.front();
    if (args.link.empty()) {
        return fail("empty LINK");
    }
    switch (args.command) {
        case Command::Open:
            if (operands.size() != 1)
                return fail("open takes one LINK");
            break;
        case Command::List:
            if (operands.size() != 2)
                return fail("ls takes LINK and DIR");
            args.dir = operands[1];
            break;
        case Command::Links:
            if (operands.size() < 2)
                return fail("links needs at least one FS_ID");
            for (std::size_t i = 1; i < operands.size(); ++i) {
                const auto id = parseId(operands[i]);
                if (!id)
                    return fail(std::string("not a file id: ") + operands[i]);
                args.ids.push_back(*id);
            }
            break;
        default:
            break;
    }
    return {args, {}};
}

}  // namespace linkhaul::cli
