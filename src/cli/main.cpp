// linkhaul-cli: the share workflow from a terminal.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <thread>

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "shareapi/ShareClient.h"

namespace {

// Ctrl-C or SIGTERM end the program at once: a thread waits for the signal,
// aborts the transfer in flight and exits, whatever the main thread is doing
// (a request, or waiting for a captcha answer).
void watchForInterrupts(linkhaul::ShareClient& client) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set, &client] {
        int signal = 0;
        sigwait(&set, &signal);
        client.abortTransfers();
        std::_Exit(128 + signal);
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace linkhaul::cli;
    const ParseOutcome parsed = parseArguments(argc, argv);
    if (!parsed.arguments) {
        std::cerr << "linkhaul-cli: " << parsed.error << "\n\n" << usageText();
        return EXIT_USAGE;
    }
    const CliArguments& args = *parsed.arguments;
    if (args.command == Command::Help) {
        std::cout << usageText();
        return EXIT_OK;
    }
    if (args.command == Command::Version) {
        std::cout << "linkhaul-cli " << LINKHAUL_VERSION << '\n';
        return EXIT_OK;
    }

    linkhaul::ShareClient client;
    if (const char* mapping = std::getenv("LINKHAUL_CONNECT_TO")) {
        if (!client.setConnectTo(mapping)) {
            std::cerr << "linkhaul-cli: LINKHAUL_CONNECT_TO is malformed: " << mapping << '\n';
            return EXIT_USAGE;
        }
    }
    watchForInterrupts(client);
    return runCommand(args, client, std::cin, std::cout, std::cerr);
}
