#include "http/transport/AbortSignal.h"

#include <curl/curl.h>

#include <algorithm>

namespace linkhaul::transport {

void AbortSignal::abort() {
    aborted_.store(true);
    std::lock_guard lock(mutex_);
    for (void* multi : waiting_) {
        curl_multi_wakeup(static_cast<CURLM*>(multi));
    }
}

void AbortSignal::attach(void* multi) {
    std::lock_guard lock(mutex_);
    waiting_.push_back(multi);
}

void AbortSignal::detach(void* multi) {
    std::lock_guard lock(mutex_);
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), multi), waiting_.end());
}

}  // namespace linkhaul::transport
