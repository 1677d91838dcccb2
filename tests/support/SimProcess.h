#pragma once

#include <sys/types.h>
#include <string>
#include <utility>
#include <vector>

namespace linkhaul::testsupport {

// One request as linkhaul-sim received it.
struct SimRequest {
    unsigned long long connection = 0;  // 1, 2, ... in the order the sim accepted them
    std::string scheme;                 // "http" or "https"
    std::string method;
    std::string target;                                        // path and query exactly as sent
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::vector<std::string> headerLines;                      // raw lines, without CR LF
    std::string body;  // exact bytes, also when they are not UTF-8

    // Value of the first header with this name (letters compared without case), "" if none.
    [[nodiscard]] std::string header(const std::string& name) const;
    [[nodiscard]] bool hasHeader(const std::string& name) const;
    // Path of the target, without the query.
    [[nodiscard]] std::string path() const;
};

// Runs the built linkhaul-sim for the lifetime of the object: started with a catalogue and a
// temporary request log, stopped (SIGTERM, then SIGKILL) by the destructor. The constructor
// throws std::runtime_error when the sim does not come up within a few seconds.
// The sim also stops when the thread that created this object ends (PR_SET_PDEATHSIG
// follows the creating thread), so create it on a thread that outlives it, such as the
// main thread in SetUpTestSuite.
class SimProcess {
public:
    // catalogue: a path; a bare file name is looked up in sim/catalogue/.
    explicit SimProcess(const std::string& catalogue = "test.json");
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The LINKHAUL_CONNECT_TO value the sim printed, for the transport or for curl.
    [[nodiscard]] const std::string& connectTo() const { return connectTo_; }
    [[nodiscard]] int httpPort() const { return httpPort_; }
    [[nodiscard]] int httpsPort() const { return httpsPort_; }
    [[nodiscard]] pid_t pid() const { return pid_; }
    [[nodiscard]] const std::string& requestLogPath() const { return logPath_; }

    // Every request logged so far (the sim logs a request before it answers it).
    [[nodiscard]] std::vector<SimRequest> requestLog() const;
    // Forgets what was logged so far, so a case sees only its own requests.
    void clearRequestLog();

    // The answer of a captcha token: its last four characters.
    [[nodiscard]] static std::string captchaAnswer(const std::string& vcodeStr);
    // Byte `offset` of the content the download hosts serve for a file id.
    [[nodiscard]] static unsigned char contentByte(long long fsId, unsigned long long offset);
    // Full path of a catalogue shipped in sim/catalogue/.
    [[nodiscard]] static std::string cataloguePath(const std::string& fileName);

private:
    void stop();

    pid_t pid_ = -1;
    std::string connectTo_;
    int httpPort_ = 0;
    int httpsPort_ = 0;
    std::string logPath_;
};

}  // namespace linkhaul::testsupport
