// bench-listing: listDirectory of a 100,000-entry folder (1,000 pages) from
// linkhaul-sim, against the curl tool fetching the same 1,000 page addresses
// over one connection in the same run. Prints key: value lines, ratio last.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "json/JsonDocument.h"
#include "platform/CodePage.h"
#include "shareapi/ServiceHosts.h"
#include "shareapi/ShareClient.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t EXPECTED_ENTRIES = 100000;
constexpr double RATIO_TARGET = 1.3;
constexpr double MEMORY_TARGET_MB = 100.0;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU seconds (user + system) of this process, or of its waited-for children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each round lists 1,000 pages; the best of three (LINKHAUL_BENCH_ROUNDS sets
// another count) leaves out the first round's warm-up.
int roundsWanted() {
    const char* text = std::getenv("LINKHAUL_BENCH_ROUNDS");
    const int rounds = text ? std::atoi(text) : 3;
    return std::clamp(rounds, 1, 10);
}

std::size_t heapBytes(const std::string& text) {
    // Texts that fit the small-string buffer take no heap block of their own.
    return text.capacity() > 15 ? text.capacity() + 1 : 0;
}

// The entry list's own footprint: its array plus the heap blocks of its texts.
std::size_t entryListBytes(const linkhaul::ShareEntryList& entries) {
    std::size_t bytes = entries.capacity() * sizeof(linkhaul::ShareEntry);
    for (const auto& entry : entries) {
        bytes +=
            heapBytes(entry.parent_path) + heapBytes(entry.server_filename) + heapBytes(entry.path);
    }
    return bytes;
}

std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    // Large blocks such as the list's array are mapped, outside the arena.
    return info.uordblks + info.hblkhd;
}

std::string readCount(const std::string& result) {
    linkhaul::JsonDocument doc;
    if (!doc.parse(result) || !doc.boolAt("state")) {
        return {};
    }
    return doc.textAt(linkhaul::ShareClient::countKey());
}

int fail(const std::string& message) {
    std::fprintf(stderr, "bench-listing: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main() {
    linkhaul::testsupport::SimProcess sim(BENCH_LISTING_CATALOGUE);
    linkhaul::ShareClient client;
    if (!client.setConnectTo(sim.connectTo())) {
        return fail("the sim's connect-to mapping was refused");
    }
    linkhaul::ShareEntryList entries;
    if (readCount(client.openShare(entries, "https://pan.baidu.com/s/1benchlisting")) != "1") {
        return fail("cannot open the benchmark share");
    }
    const std::string dir = linkhaul::platform::utf8ToAnsi("/big folder");

    const int rounds = roundsWanted();
    double oursBest = 1e9;
    double oursCpuBest = 1e9;
    std::size_t listBytes = 0;
    std::size_t heapGrowth = 0;
    std::vector<linkhaul::testsupport::SimRequest> pages;
    for (int round = 0; round < rounds; ++round) {
        entries.clear();
        entries.shrink_to_fit();
        sim.clearRequestLog();
        const std::size_t heapBefore = heapInUse();
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        const auto start = Clock::now();
        const std::string count = readCount(client.listDirectory(dir, entries));
        const double took = secondsSince(start);
        oursCpuBest = std::min(oursCpuBest, cpuSeconds(RUSAGE_SELF) - cpuBefore);
        if (count != std::to_string(EXPECTED_ENTRIES) || entries.size() != EXPECTED_ENTRIES) {
            return fail("the listing returned " + std::to_string(entries.size()) + " entries");
        }
        oursBest = std::min(oursBest, took);
        listBytes = entryListBytes(entries);
        heapGrowth = heapInUse() - heapBefore;
        pages = sim.requestLog();
    }
    if (pages.size() != EXPECTED_ENTRIES / 100) {
        return fail("expected 1000 page requests, the sim saw " + std::to_string(pages.size()));
    }

    // The same page addresses, fetched by curl one after another on one
    // connection (curl reuses it between the URLs of one invocation).
    char configName[] = "/tmp/bench-listing-XXXXXX";
    const int fd = mkstemp(configName);
    if (fd < 0) {
        return fail("cannot create the curl config file");
    }
    close(fd);
    {
        std::ofstream config(configName);
        for (const auto& page : pages) {
            config << "url = \"http://" << linkhaul::hosts::SHARE_WEB_HOST << page.target
                   << "\"\noutput = \"/dev/null\"\n";
        }
    }
    const std::string command =
        std::string("curl -q -s -S --noproxy '*' --connect-to ") + linkhaul::hosts::SHARE_WEB_HOST +
        ":80:127.0.0.1:" + std::to_string(sim.httpPort()) + " -K " + configName;
    double curlBest = 1e9;
    double curlCpuBest = 1e9;
    for (int round = 0; round < rounds; ++round) {
        sim.clearRequestLog();
        const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
        const auto start = Clock::now();
        const int status = std::system(command.c_str());
        const double took = secondsSince(start);
        curlCpuBest = std::min(curlCpuBest, cpuSeconds(RUSAGE_CHILDREN) - cpuBefore);
        if (status != 0) {
            std::remove(configName);
            return fail("curl failed with status " + std::to_string(status));
        }
        curlBest = std::min(curlBest, took);
    }
    const std::size_t curlRequests = sim.requestLog().size();
    std::remove(configName);
    if (curlRequests != pages.size()) {
        return fail("curl made " + std::to_string(curlRequests) + " requests");
    }

    const double listMb = static_cast<double>(listBytes) / (1024.0 * 1024.0);
    const double ratio = oursBest / curlBest;
    std::printf("entries: %zu\n", entries.size());
    std::printf("pages: %zu\n", pages.size());
    std::printf("rounds: %d (best of each)\n", rounds);
    std::printf("ours_seconds: %.3f\n", oursBest);
    std::printf("curl_seconds: %.3f\n", curlBest);
    std::printf("ours_ms_per_page: %.2f\n", oursBest * 1000.0 / static_cast<double>(pages.size()));
    std::printf("curl_ms_per_page: %.2f\n", curlBest * 1000.0 / static_cast<double>(pages.size()));
    // CPU time shows the client's own cost, which a slow server's wall time hides.
    std::printf("ours_cpu_seconds: %.3f\n", oursCpuBest);
    std::printf("curl_cpu_seconds: %.3f\n", curlCpuBest);
    std::printf("entry_list_mb: %.1f\n", listMb);
    std::printf("entry_list_heap_growth_mb: %.1f\n",
                static_cast<double>(heapGrowth) / (1024.0 * 1024.0));
    std::printf("entry_list_target_mb: %.0f (%s)\n", MEMORY_TARGET_MB,
                listMb < MEMORY_TARGET_MB ? "met" : "missed");
    std::printf("ratio_target: %.1f (%s)\n", RATIO_TARGET,
                ratio <= RATIO_TARGET ? "met" : "missed");
    std::printf("ratio: %.2f\n", ratio);
    return 0;
}
