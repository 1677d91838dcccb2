#pragma once

#include <mutex>

namespace linkhaul {

// The program's one re-entrant lock: it keeps log lines, list refills and the
// captcha controls of different threads from interleaving. The thread holding
// it may enter again; each enter is matched by one leave on the same thread.
class SectionLock {
public:
    SectionLock() = default;
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

    void enter() { mutex_.lock(); }
    void leave() { mutex_.unlock(); }
    // Enters without waiting when the lock is free or held by the caller.
    [[nodiscard]] bool tryEnter() { return mutex_.try_lock(); }

    // Lockable names, so that std::scoped_lock can hold a SectionLock.
    void lock() { enter(); }
    void unlock() { leave(); }

private:
    std::recursive_mutex mutex_;
};

}  // namespace linkhaul
