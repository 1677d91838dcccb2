#include "CurlRun.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <strings.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

extern char** environ;

namespace linkhaul::testsupport {

CommandResult runCommand(const std::vector<std::string>& args) {
    CommandResult result;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& arg : copy)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (rc == 0) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        int open = 2;
        while (open > 0) {
            if (poll(fds, 2, 30'000) <= 0)
                break;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                    continue;
                char buffer[65536];
                ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
                if (n <= 0) {
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
                }
            }
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    close(out[0]);
    close(err[0]);
    return result;
}

int connectToLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string CurlReply::header(const std::string& name) const {
    std::istringstream lines(head);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0)
            return line.substr(line.find_first_not_of(' ', colon + 1) == std::string::npos
                                   ? line.size()
                                   : line.find_first_not_of(' ', colon + 1));
    }
    return "";
}

nlohmann::json CurlReply::json() const {
    return nlohmann::json::parse(body, nullptr, false);
}

CurlReply curl(const SimProcess& sim, const std::string& url,
               const std::vector<std::string>& extra) {
    std::string headFile = sim.requestLogPath() + ".head";
    std::vector<std::string> args = {LINKHAUL_CURL, "-s", "-k", "--max-time", "20", "-D", headFile};
    std::string mapping = sim.connectTo();
    size_t pos = 0;
    while (pos < mapping.size()) {
        size_t end = mapping.find(',', pos);
        if (end == std::string::npos)
            end = mapping.size();
        args.push_back("--connect-to");
        args.push_back(mapping.substr(pos, end - pos));
        pos = end + 1;
    }
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(url);
    auto start = std::chrono::steady_clock::now();
    CommandResult run = runCommand(args);
    CurlReply reply;
    reply.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    reply.exitCode = run.exitCode;
    reply.body = run.out;
    std::ifstream in(headFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    // With -L several heads follow one another; the last one belongs to the body.
    auto last = all.rfind("HTTP/");
    reply.head = last == std::string::npos ? "" : all.substr(last);
    if (reply.head.size() > 12)
        reply.status = std::atoi(reply.head.c_str() + 9);
    std::remove(headFile.c_str());
    return reply;
}

std::string dataBlock(const std::string& page) {
    const std::string open = "yunData.setData(";
    auto begin = page.find(open);
    if (begin == std::string::npos)
        return "";
    begin += open.size();
    auto end = page.find(");", begin);
    return end == std::string::npos ? "" : page.substr(begin, end - begin);
}

}  // namespace linkhaul::testsupport
