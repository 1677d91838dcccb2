#include "app/SectionLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using linkhaul::SectionLock;

TEST(SectionLock, ReentryThenFullReleaseFreesTheLock) {
    SectionLock lock;
    lock.enter();
    lock.enter();
    EXPECT_TRUE(lock.tryEnter());  // the holder enters again at once
    lock.leave();
    lock.leave();

    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock.enter();
        entered = true;
        lock.leave();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered) << "one level is still held";
    lock.leave();
    other.join();
    EXPECT_TRUE(entered);
}

TEST(SectionLock, TryEnterFromAnotherThreadFailsAtOnce) {
    SectionLock lock;
    lock.enter();
    auto result = std::async(std::launch::async, [&] {
        const auto start = std::chrono::steady_clock::now();
        const bool got = lock.tryEnter();
        if (got)
            lock.leave();
        return std::pair(got, std::chrono::steady_clock::now() - start);
    });
    const auto [got, took] = result.get();
    EXPECT_FALSE(got);
    EXPECT_LT(took, std::chrono::milliseconds(100));
    lock.leave();
    EXPECT_TRUE(std::async(std::launch::async, [&] {
                    const bool ok = lock.tryEnter();
                    if (ok)
                        lock.leave();
                    return ok;
                }).get());
}
