#include "SimProcess.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace linkhaul::testsupport {
namespace {

bool sameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Reads the first line of the sim's stdout, giving up after the timeout.
std::string readFirstLine(int fd, std::chrono::milliseconds timeout) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw std::runtime_error("linkhaul-sim printed no connect-to line in time");
        pollfd p{fd, POLLIN, 0};
        int rc = poll(&p, 1, static_cast<int>(left.count()));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            continue;
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n <= 0)
            throw std::runtime_error("linkhaul-sim exited before printing its connect-to line");
        line.append(buffer, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
}

std::string base64Decode(const std::string& text) {
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        int digit;
        if (c >= 'A' && c <= 'Z')
            digit = c - 'A';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            digit = c - '0' + 52;
        else if (c == '+')
            digit = 62;
        else if (c == '/')
            digit = 63;
        else
            break;  // "=" padding ends the data
        value = (value << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return out;
}

// A text member of a log record; the sim adds "<key>_base64" when the bytes are not UTF-8.
std::string exactText(const nlohmann::json& record, const std::string& key) {
    if (auto exact = record.find(key + "_base64"); exact != record.end() && exact->is_string())
        return base64Decode(exact->get<std::string>());
    return record.value(key, "");
}

int portFor(const std::string& connectTo, const std::string& hostPort) {
    auto at = connectTo.find(hostPort);
    if (at == std::string::npos)
        return 0;
    auto target = connectTo.find("127.0.0.1:", at);
    if (target == std::string::npos)
        return 0;
    return std::atoi(connectTo.c_str() + target + 10);
}

}  // namespace

std::string SimRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (sameLetters(key, name))
            return value;
    }
    return "";
}

bool SimRequest::hasHeader(const std::string& name) const {
    for (const auto& header : headers) {
        if (sameLetters(header.first, name))
            return true;
    }
    return false;
}

std::string SimRequest::path() const {
    return target.substr(0, target.find('?'));
}

std::string SimProcess::cataloguePath(const std::string& fileName) {
    return std::string(LINKHAUL_SIM_CATALOGUE_DIR) + "/" + fileName;
}

SimProcess::SimProcess(const std::string& catalogue) {
    std::string cataloguePath =
        catalogue.find('/') == std::string::npos ? SimProcess::cataloguePath(catalogue) : catalogue;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/linkhaul-sim-log-XXXXXX";
    int logFd = mkstemp(pattern.data());
    if (logFd < 0)
        throw std::runtime_error("cannot create a temporary request log");
    close(logFd);
    logPath_ = pattern;

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe for linkhaul-sim");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> args = {LINKHAUL_SIM_PATH, "--catalogue", cataloguePath,
                                     "--request-log", logPath_};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&pid_, LINKHAUL_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        pid_ = -1;
        unlink(logPath_.c_str());
        throw std::runtime_error(std::string("cannot start ") + LINKHAUL_SIM_PATH);
    }
    try {
        std::string line = readFirstLine(pipeFds[0], std::chrono::seconds(10));
        const std::string prefix = "LINKHAUL_CONNECT_TO=";
        if (line.rfind(prefix, 0) != 0)
            throw std::runtime_error("unexpected first line from linkhaul-sim: " + line);
        connectTo_ = line.substr(prefix.size());
        httpPort_ = portFor(connectTo_, "pan.baidu.com:80:");
        httpsPort_ = portFor(connectTo_, "pan.baidu.com:443:");
        if (httpPort_ <= 0 || httpsPort_ <= 0)
            throw std::runtime_error("cannot read the ports from: " + line);
    } catch (...) {
        close(pipeFds[0]);
        stop();
        unlink(logPath_.c_str());
        throw;
    }
    // The sim writes nothing more to stdout; closing our end costs it nothing.
    close(pipeFds[0]);
}

SimProcess::~SimProcess() {
    stop();
    unlink(logPath_.c_str());
}

void SimProcess::stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (true) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || (done < 0 && errno != EINTR))
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

std::vector<SimRequest> SimProcess::requestLog() const {
    std::vector<SimRequest> records;
    std::ifstream in(logPath_);
    std::string line;
    while (std::getline(in, line)) {
        auto record = nlohmann::json::parse(line, nullptr, false);
        if (!record.is_object())
            continue;  // a line being written right now
        SimRequest request;
        request.connection = record.value("connection", 0ull);
        request.scheme = record.value("scheme", "");
        request.method = record.value("method", "");
        request.target = exactText(record, "target");
        request.body = exactText(record, "body");
        for (const auto& pair : record.value("headers", nlohmann::json::array()))
            request.headers.emplace_back(pair.at(0).get<std::string>(),
                                         pair.at(1).get<std::string>());
        for (const auto& text : record.value("header_lines", nlohmann::json::array()))
            request.headerLines.push_back(text.get<std::string>());
        records.push_back(std::move(request));
    }
    return records;
}

void SimProcess::clearRequestLog() {
    // The sim appends (O_APPEND), so it keeps writing at the new end.
    if (truncate(logPath_.c_str(), 0) != 0)
        throw std::runtime_error("cannot clear the request log");
}

std::string SimProcess::captchaAnswer(const std::string& vcodeStr) {
    return vcodeStr.size() >= 4 ? vcodeStr.substr(vcodeStr.size() - 4) : "";
}

unsigned char SimProcess::contentByte(long long fsId, unsigned long long offset) {
    auto mix64 = [](unsigned long long x) {
        x += 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    };
    unsigned long long word = mix64((static_cast<unsigned long long>(fsId) << 32) + (offset >> 3));
    return static_cast<unsigned char>(word >> (8 * (offset & 7)));
}

}  // namespace linkhaul::testsupport
