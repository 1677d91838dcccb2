#include "cli/CliCommands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cli/EntryOutput.h"
#include "json/JsonDocument.h"
#include "platform/CodePage.h"
#include "shareapi/ErrnoText.h"
#include "shareapi/ShareClient.h"

namespace linkhaul::cli {
namespace {

using platform::ansiToUtf8;
using platform::utf8ToAnsi;

// The reason on which the service wants a captcha answered.
const std::string& captchaNeeded() {
    static const std::string text = errnoText(-20);
    return text;
}

// The outcome of one result text: ok, or the reason to print.
struct Outcome {
    bool ok = false;
    std::string reason;  // ANSI
};

Outcome readOutcome(JsonDocument& doc, const std::string& result) {
    doc.clear();
    if (!doc.parse(result)) {
        return {false, utf8ToAnsi("JSON解析失败.")};
    }
    if (!doc.boolAt("state")) {
        return {false, doc.textAt(ShareClient::reasonKey())};
    }
    return {true, {}};
}

int failWith(std::ostream& err, const std::string& ansiReason) {
    err << ansiToUtf8(ansiReason) << '\n';
    return EXIT_FAILED;
}

const char* pictureExtension(const std::string& image) {
    if (image.rfind("\x89PNG", 0) == 0)
        return ".png";
    if (image.rfind("\xFF\xD8", 0) == 0)
        return ".jpg";
    if (image.rfind("GIF8", 0) == 0)
        return ".gif";
    if (image.rfind("BM", 0) == 0)
        return ".bmp";
    return ".img";
}

// Writes the picture where the user asked, or to a fresh temporary file.
std::string savePicture(const std::string& image, const std::optional<std::string>& wanted) {
    std::string path;
    if (wanted) {
        path = *wanted;
    } else {
        const char* dir = std::getenv("TMPDIR");
        const std::string extension = pictureExtension(image);
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/linkhaul-captcha-XXXXXX";
        pattern += extension;
        const int fd = mkstemps(pattern.data(), static_cast<int>(extension.size()));
        if (fd < 0)
            return {};
        close(fd);
        path = pattern;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(image.data(), static_cast<std::streamsize>(image.size()));
    return file ? path : std::string();
}

int printListing(const CliArguments& args, const ShareEntryList& entries, std::ostream& out) {
    if (args.json) {
        printEntriesJson(out, entries);
    } else {
        printEntries(out, entries);
    }
    out.flush();
    return out ? EXIT_OK : EXIT_FAILED;
}

int requestLinks(const CliArguments& args, ShareClient& client, std::istream& in, std::ostream& out,
                 std::ostream& err) {
    JsonDocument doc;
    std::string answer;
    for (;;) {
        const std::string result =
            client.requestDownloadLinks(args.ids, args.packed, answer, args.replaceHost);
        answer.clear();
        const Outcome outcome = readOutcome(doc, result);
        if (outcome.ok) {
            // One address a line: the service joins them with "|".
            std::string dlink = ansiToUtf8(doc.textAt("dlink"));
            std::replace(dlink.begin(), dlink.end(), '|', '\n');
            if (!dlink.empty()) {
                out << dlink << '\n';
            }
            out.flush();
            return EXIT_OK;
        }
        if (outcome.reason != captchaNeeded()) {
            return failWith(err, outcome.reason);
        }
        // A captcha round: a fresh picture each time, so a failed fetch never
        // shows the previous one again.
        std::string image;
        const std::string captchaResult = client.fetchCaptcha(image);
        if (image.empty()) {
            const Outcome captcha = readOutcome(doc, captchaResult);
            return failWith(err, captcha.reason);
        }
        const std::string path = savePicture(image, args.captchaImage);
        if (path.empty()) {
            err << "cannot write the captcha picture\n";
            return EXIT_FAILED;
        }
        err << path << '\n' << "请输入验证码" << std::endl;
        std::string line;
        if (!std::getline(in, line)) {
            err << "no captcha answer on standard input\n";
            return EXIT_FAILED;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        answer = utf8ToAnsi(line);
    }
}

}  // namespace

int runCommand(const CliArguments& args, ShareClient& client, std::istream& in, std::ostream& out,
               std::ostream& err) {
    JsonDocument doc;
    ShareEntryList entries;
    const std::string code = args.code ? utf8ToAnsi(*args.code) : std::string();
    const Outcome opened = readOutcome(doc, client.openShare(entries, utf8ToAnsi(args.link), code));
    if (!opened.ok) {
        return failWith(err, opened.reason);
    }
    switch (args.command) {
        case Command::Open:
            return printListing(args, entries, out);
        case Command::List: {
            const Outcome listed =
                readOutcome(doc, client.listDirectory(utf8ToAnsi(args.dir), entries));
            if (!listed.ok) {
                return failWith(err, listed.reason);
            }
            return printListing(args, entries, out);
        }
        case Command::Links:
            return requestLinks(args, client, in, out, err);
        default:
            return EXIT_USAGE;
    }
}

}  // namespace linkhaul::cli
