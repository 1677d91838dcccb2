#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace linkhaul::cli {

enum class Command { Open, List, Links, Help, Version };

struct CliArguments {
    Command command = Command::Help;
    bool json = false;
    std::optional<std::string> code;  // UTF-8, as typed
    bool packed = false;
    bool replaceHost = false;
    std::optional<std::string> captchaImage;
    std::string link;
    std::string dir;  // UTF-8
    std::vector<std::int64_t> ids;
};

struct ParseOutcome {
    std::optional<CliArguments> arguments;
    std::string error;  // set when arguments is empty
};

// Reads the command line as getopt_long does: "--json" before the command
// word, the command's own options anywhere after it.
[[nodiscard]] ParseOutcome parseArguments(int argc, char** argv);

[[nodiscard]] const char* usageText();

}  // namespace linkhaul::cli
