// How fast the factory test server hands out numbers: allocations per second
// and reply times with 16 stations asking at once, each allocation a
// synchronous commit, beside the floor of replies that touch no database.
// The database lives in the working directory (pass another with --dir), so
// that the commits reach a real disk rather than a memory file system.
#include "line_client.h"

#include "testserver/server.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <latch>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using testserver_testing::LineClient;

constexpr int kStations = 16;
constexpr int kRequestsPerStation = 100;
constexpr auto kTimeLimit = std::chrono::seconds(60);

struct Figures {
    std::size_t replies = 0;
    std::size_t failures = 0;
    double seconds = 0;
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
};

// Every station sends `request` kRequestsPerStation times, all at once,
// until the time limit; a reply that does not start with expectedStatus counts as a failure.
Figures measure(std::uint16_t port, const char* const* requests, std::size_t requestCount, const char* expectedStatus) {
    std::vector<std::vector<double>> times(kStations);
    std::vector<std::size_t> failures(kStations, 0);
    std::latch ready(kStations + 1);
    Clock::time_point begin;
    std::vector<std::thread> stations;
    for (int s = 0; s < kStations; ++s) {
        stations.emplace_back([&, s] {
            LineClient client(port);
            const bool in = client.exchange(testserver_testing::kLoginLine) == "200";
            ready.arrive_and_wait();
            if (!in) {
                failures[s] = kRequestsPerStation;
                return;
            }
            const auto deadline = Clock::now() + kTimeLimit;
            for (int i = 0; i < kRequestsPerStation && Clock::now() < deadline; ++i) {
                const auto start = Clock::now();
                const std::string reply = client.exchange(requests[static_cast<std::size_t>(i) % requestCount]);
                times[s].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                if (reply.rfind(expectedStatus, 0) != 0) ++failures[s];
            }
        });
    }
    ready.arrive_and_wait();
    begin = Clock::now();
    for (std::thread& station : stations) station.join();

    Figures figures;
    figures.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    std::vector<double> all;
    for (int s = 0; s < kStations; ++s) {
        all.insert(all.end(), times[s].begin(), times[s].end());
        figures.failures += failures[s];
    }
    figures.replies = all.size();
    if (all.empty()) return figures;
    std::sort(all.begin(), all.end());
    figures.medianMs = all[all.size() / 2];
    figures.p99Ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    figures.maxMs = all.back();
    return figures;
}

void print(const char* what, const Figures& figures) {
    std::printf(
        "%s: %zu replies in %.2f s, %.0f a second; reply time median %.2f ms, 99th percentile %.2f ms, "
        "max %.2f ms%s\n",
        what, figures.replies, figures.seconds, figures.replies / figures.seconds, figures.medianMs, figures.p99Ms,
        figures.maxMs, figures.failures > 0 ? (", " + std::to_string(figures.failures) + " FAILED").c_str() : "");
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path parent = std::filesystem::current_path();
    if (argc == 3 && std::string(argv[1]) == "--dir") {
        parent = argv[2];
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: testserver_bench [--dir DIR]\n");
        return 2;
    }
    std::string pattern = (parent / "testserver-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "testserver_bench: cannot make a directory in %s\n", parent.c_str());
        return 1;
    }
    const std::filesystem::path dir = pattern;

    int status = 0;
    try {
        testserver::Config config;
        config.port = 0;
        config.database = dir / "bench.db";
        config.log = [](std::string_view) {};  // the log would cost more than the work
        testserver::Server server(config);
        const std::uint16_t port = server.start();

        const char* allocations[] = {"serial", "mac"};
        const char* floor[] = {"hello"};
        std::printf("testserver_bench: %d stations at once, %d requests each, database %s\n", kStations,
                    kRequestsPerStation, config.database.c_str());
        const Figures allocated = measure(port, allocations, 2, "200 0x");
        print("allocations (synchronous commits)", allocated);
        print("floor (400 replies, no database)", measure(port, floor, 1, "400"));
        if (allocated.failures > 0) status = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "testserver_bench: %s\n", e.what());
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return status;
}
