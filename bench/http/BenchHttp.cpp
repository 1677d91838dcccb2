// 1,000 sequential GETs to a loopback server over one kept-alive connection:
// HttpClient against a plain libcurl loop doing the same, in the same run.
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "http/HttpClient.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int REQUESTS = 1000;
constexpr int ROUNDS = 5;
const std::string BODY = std::string(2000, 'j') + "{\"errno\":0}";

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

double httpClientRound(linkhaul::HttpClient& client, const std::string& url, bool& ok) {
    const auto start = Clock::now();
    for (int i = 0; i < REQUESTS; ++i) {
        if (!client.openRequest("GET", url) || !client.sendText() ||
            client.readBody().size() != BODY.size()) {
            ok = false;
        }
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double libcurlRound(CURL* easy, const std::string& url, bool& ok) {
    std::string body;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, linkhaul::DEFAULT_USER_AGENT);
    const auto start = Clock::now();
    for (int i = 0; i < REQUESTS; ++i) {
        body.clear();
        if (curl_easy_perform(easy) != CURLE_OK || body.size() != BODY.size()) {
            ok = false;
        }
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
    httplib::Server server;
    server.set_keep_alive_max_count(1000000);
    server.set_keep_alive_timeout(60);
    server.set_tcp_nodelay(true);
    std::mutex portsMutex;
    std::set<int> clientPorts;
    server.Get("/api/list", [&](const httplib::Request& request, httplib::Response& response) {
        {
            std::lock_guard lock(portsMutex);
            clientPorts.insert(request.remote_port);
        }
        response.set_content(BODY, "application/json");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::fprintf(stderr, "bench-http: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/api/list";
    linkhaul::HttpClient client;
    CURL* easy = curl_easy_init();
    bool ok = true;
    // Warm both up (connect once), then alternate rounds and keep the best.
    (void)httpClientRound(client, url, ok);
    (void)libcurlRound(easy, url, ok);
    {
        std::lock_guard lock(portsMutex);
        clientPorts.clear();
    }
    double ours = 1e300;
    double plain = 1e300;
    for (int round = 0; round < ROUNDS; ++round) {
        ours = std::min(ours, httpClientRound(client, url, ok));
        plain = std::min(plain, libcurlRound(easy, url, ok));
    }
    // Close both connections first so the server's workers end at once.
    curl_easy_cleanup(easy);
    client.close();
    server.stop();
    serving.join();

    std::printf("requests: %d\n", REQUESTS);
    std::printf("rounds: %d\n", ROUNDS);
    std::printf("body_bytes: %zu\n", BODY.size());
    std::printf("connections_used: %zu\n", clientPorts.size());
    std::printf("all_ok: %s\n", ok ? "yes" : "no");
    std::printf("httpclient_ms: %.2f\n", ours);
    std::printf("libcurl_ms: %.2f\n", plain);
    std::printf("httpclient_us_per_request: %.1f\n", ours * 1000.0 / REQUESTS);
    std::printf("libcurl_us_per_request: %.1f\n", plain * 1000.0 / REQUESTS);
    std::printf("ratio: %.3f\n", ours / plain);
    return ok ? 0 : 1;
}
