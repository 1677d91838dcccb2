// linkhaul-sim: the share service's side of the protocol on loopback, for tests and demos.

#include "Catalogue.h"
#include "Certificate.h"
#include "RequestLog.h"
#include "ShareService.h"
#include "SimServer.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace {

constexpr const char* HOSTS[] = {"pan.baidu.com", "yun.baidu.com", "d.pcs.baidu.com",
                                 "qdall01.baidupcs.com"};

struct Options {
    std::string catalogue;
    int httpPort = 0;
    int httpsPort = 0;
    std::string requestLog;
};

void usage() {
    std::cerr << "usage: linkhaul-sim --catalogue FILE [--http-port P] [--https-port P] "
                 "[--request-log FILE]\n"
                 "  ports: 0 (the default) lets the system pick; listens on 127.0.0.1 only\n";
}

std::optional<int> portOf(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int port = std::stoi(text);
    if (port > 65535)
        return std::nullopt;
    return port;
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h")
            return std::nullopt;
        if (i + 1 >= argc) {
            std::cerr << "linkhaul-sim: " << name << " needs a value\n";
            return std::nullopt;
        }
        std::string value = argv[++i];
        if (name == "--catalogue") {
            options.catalogue = value;
        } else if (name == "--request-log") {
            options.requestLog = value;
        } else if (name == "--http-port" || name == "--https-port") {
            auto port = portOf(value);
            if (!port) {
                std::cerr << "linkhaul-sim: " << name << " must be a port number 0 to 65535\n";
                return std::nullopt;
            }
            (name == "--http-port" ? options.httpPort : options.httpsPort) = *port;
        } else {
            std::cerr << "linkhaul-sim: unknown option " << name << "\n";
            return std::nullopt;
        }
    }
    if (options.catalogue.empty()) {
        std::cerr << "linkhaul-sim: --catalogue is required\n";
        return std::nullopt;
    }
    return options;
}

int bindServer(linkhaul::sim::SimServer& server, int port) {
    if (port == 0)
        return server.bind_to_any_port("127.0.0.1");
    return server.bind_to_port("127.0.0.1", port) ? port : -1;
}

}  // namespace

int main(int argc, char** argv) {
    // Stop with the test (or script) that started us, even if it never sends a signal.
    // (If the parent died before prctl took effect, we have been reparented already.)
    pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 1;

    auto options = parseOptions(argc, argv);
    if (!options) {
        usage();
        return 2;
    }

    // Signals are taken by one thread with sigwait; block them before any thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    try {
        auto catalogue = linkhaul::sim::loadCatalogue(options->catalogue);
        std::unique_ptr<linkhaul::sim::RequestLog> log =
            options->requestLog.empty()
                ? std::make_unique<linkhaul::sim::RequestLog>()
                : std::make_unique<linkhaul::sim::RequestLog>(options->requestLog);
        linkhaul::sim::ShareService service(std::move(catalogue), *log);
        auto tls = linkhaul::sim::makeSelfSignedContext();

        std::atomic<std::uint64_t> connections{0};
        linkhaul::sim::SimServer http("http", nullptr, connections);
        linkhaul::sim::SimServer https("https", tls.get(), connections);
        service.install(http);
        service.install(https);
        int httpPort = bindServer(http, options->httpPort);
        int httpsPort = bindServer(https, options->httpsPort);
        if (httpPort <= 0 || httpsPort <= 0) {
            std::cerr << "linkhaul-sim: cannot listen on 127.0.0.1 (port taken?)\n";
            return 1;
        }

        std::thread httpThread([&] { http.listen_after_bind(); });
        std::thread httpsThread([&] { https.listen_after_bind(); });

        std::string connectTo;
        for (const char* host : HOSTS) {
            if (!connectTo.empty())
                connectTo += ',';
            connectTo += std::string(host) + ":80:127.0.0.1:" + std::to_string(httpPort) + "," +
                         host + ":443:127.0.0.1:" + std::to_string(httpsPort);
        }
        std::printf("LINKHAUL_CONNECT_TO=%s\n", connectTo.c_str());
        std::fflush(stdout);

        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        service.stop();
        http.stop();
        https.stop();
        httpThread.join();
        httpsThread.join();
    } catch (const std::exception& error) {
        std::cerr << "linkhaul-sim: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
