#include "RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace linkhaul::test {

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& input, std::chrono::milliseconds timeout,
                         std::optional<std::chrono::milliseconds> interruptAfter) {
    ProcessResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 ||
        pipe2(errPipe, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        bool overridden = false;
        for (const auto& [name, value] : env) {
            overridden |= std::strncmp(*e, (name + "=").c_str(), name.size() + 1) == 0;
        }
        if (!overridden)
            envStrings.emplace_back(*e);
    }
    for (const auto& [name, value] : env)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(inPipe[1]);
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }

    signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    int inFd = inPipe[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + timeout;
    bool interruptPending = interruptAfter.has_value();
    const auto interruptAt = started + interruptAfter.value_or(std::chrono::milliseconds(0));
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto now = std::chrono::steady_clock::now();
        if (interruptPending && now >= interruptAt) {
            kill(pid, SIGINT);
            interruptPending = false;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (interruptPending) {
            left = std::min(
                left, std::chrono::duration_cast<std::chrono::milliseconds>(interruptAt - now) +
                          std::chrono::milliseconds(1));
        }
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0},
                         {inFd, POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        char buffer[65536];
        for (int k = 0; k < 2; ++k) {
            if (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
                if (n > 0) {
                    (k == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
                } else {
                    (k == 0 ? outOpen : errOpen) = false;
                }
            }
        }
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(inFd, input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if (n <= 0 || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0)
        close(inFd);
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
    }
    return result;
}

}  // namespace linkhaul::test
