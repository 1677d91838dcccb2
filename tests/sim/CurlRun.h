#pragma once

#include "SimProcess.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace linkhaul::testsupport {

// What one run of a command gave.
struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell) and collects its output.
[[nodiscard]] CommandResult runCommand(const std::vector<std::string>& argv);

// A socket connected to 127.0.0.1:port, or -1 when nothing accepts there.
[[nodiscard]] int connectToLoopback(int port);

// One HTTP exchange made by curl, sent to the sim with its connect-to mapping.
struct CurlReply {
    int exitCode = -1;  // curl's exit code: 0, 18 (partial), 47 (too many redirects), 56 ...
    int status = 0;     // of the last response
    std::string head;   // status line and header lines of the last response
    std::string body;
    double seconds = 0;  // wall time of the whole run

    [[nodiscard]] std::string header(const std::string& name) const;
    [[nodiscard]] nlohmann::json json() const;
};

// url: as a client would write it (real host names). extra: more curl arguments.
[[nodiscard]] CurlReply curl(const SimProcess& sim, const std::string& url,
                             const std::vector<std::string>& extra = {});

// The block between "yunData.setData(" and the first ");" after it.
[[nodiscard]] std::string dataBlock(const std::string& page);

}  // namespace linkhaul::testsupport
