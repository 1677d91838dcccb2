#pragma once

#include <istream>
#include <ostream>

#include "cli/CliArguments.h"

namespace linkhaul {
class ShareClient;
}

namespace linkhaul::cli {

// Exit codes of linkhaul-cli.
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

// Opens the share, then runs the one operation the arguments name. Results go
// to out; captcha prompts, picture paths and failure reasons to err; captcha
// answers are read a line at a time from in.
[[nodiscard]] int runCommand(const CliArguments& args, ShareClient& client, std::istream& in,
                             std::ostream& out, std::ostream& err);

}  // namespace linkhaul::cli
