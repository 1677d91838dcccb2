#pragma once

#include "Catalogue.h"

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace linkhaul::sim {

class RequestLog;

// The service's side of every endpoint, for every host name, over any server it is
// installed on. Thread-safe: handlers of several connections run at once.
class ShareService {
public:
    ShareService(Catalogue catalogue, RequestLog& log);

    void install(httplib::Server& server);

    // Cuts injected delays short, so that stopping does not wait for them.
    void stop() { stopping_ = true; }

    // The answer of a captcha token: the catalogue's fixed answer, or the token's last four
    // characters (tokens end in their answer).
    [[nodiscard]] static std::string answerOfToken(const std::string& token);

private:
    struct Call;

    void dispatch(const httplib::Request& request, httplib::Response& response);
    [[nodiscard]] bool applyFaults(Call& call, httplib::Response& response);

    void sharePage(Call& call, httplib::Response& response);  // share page and share init
    void verify(Call& call, httplib::Response& response);
    void list(Call& call, httplib::Response& response);
    void getCaptcha(Call& call, httplib::Response& response);
    void genImage(Call& call, httplib::Response& response);
    void shareDownload(Call& call, httplib::Response& response);
    void download(Call& call, httplib::Response& response);
    void packed(Call& call, httplib::Response& response);

    [[nodiscard]] const Share* shareById(const std::string& id) const;
    [[nodiscard]] const Share* shareByKeys(const std::string& uk, const std::string& shareId) const;
    [[nodiscard]] bool takeCaptcha(const std::string& token, const std::string& input);
    [[nodiscard]] std::uint64_t nextRequestId();

    Catalogue catalogue_;
    RequestLog& log_;
    std::string fixedAnswer_;
    std::atomic<std::uint64_t> requestIds_;
    std::atomic<std::uint64_t> tokenCounter_{0};
    std::atomic<bool> stopping_{false};
    std::uint64_t tokenSeed_;

    std::mutex mutex_;  // guards everything below
    std::vector<int> faultHits_;
    std::vector<int> downloadRequests_;         // per share, for the "after N" captcha policy
    std::map<std::string, bool> issuedTokens_;  // token -> still usable
    std::deque<std::string> tokenOrder_;
    std::map<std::string, std::pair<std::size_t, std::vector<std::int64_t>>> packs_;
    std::deque<std::string> packOrder_;
};

}  // namespace linkhaul::sim
