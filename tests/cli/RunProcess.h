#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace linkhaul::test {

struct ProcessResult {
    int exitCode = -1;  // 128 + signal when killed by a signal
    std::string out;
    std::string err;
    bool timedOut = false;
};

// Runs a program with extra environment entries, feeds it `input` on standard
// input (then closes it) and collects both output streams.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& input,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30),
                         std::optional<std::chrono::milliseconds> interruptAfter = std::nullopt);

}  // namespace linkhaul::test
