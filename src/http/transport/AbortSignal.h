#pragma once

#include <atomic>
#include <mutex>
#include <vector>

namespace linkhaul::transport {

// Lets any thread cancel every transfer of a client at once. A transfer
// registers its wait loop while it runs; abort() sets a sticky flag and wakes
// every registered loop, so a blocked send notices within microseconds.
class AbortSignal {
public:
    void abort();
    void resume() { aborted_.store(false); }
    [[nodiscard]] bool aborted() const { return aborted_.load(); }

    // multi is a CURLM*; kept opaque so this header needs no curl.
    void attach(void* multi);
    void detach(void* multi);

private:
    std::atomic<bool> aborted_{false};
    std::mutex mutex_;
    std::vector<void*> waiting_;
};

}  // namespace linkhaul::transport
