// Listing the log status of 1,000 databases (4 system + 996 user databases)
// against the stand-in: Karvath's refreshLogStatus (remote listing) through the
// real OdbcSession and a FakeView, against a bare ODBC program sending the same
// N+2 queries through the same driver manager and driver. Both run in the same
// process, alternately, against the same stand-in process; medians are printed.
//
//   karvath_bench_listing [repetitions=7]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BareOdbcListing.h"
#include "BenchSupport.h"
#include "FakeView.h"
#include "VirtualClock.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "sql/LogStatus.h"
#include "sql/OdbcSession.h"

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 7;
    constexpr int kDatabases = 1000;

    BenchPlatform platform;
    StandinProcess standin(KARVATH_STANDIN_PROGRAM, platform.directory(), kDatabases - 4);
    if (standin.port() == 0) {
        std::fprintf(stderr, "the stand-in did not start\n");
        return 1;
    }

    VirtualClock clock;
    FakeView view(clock);
    view.loadWindow(Window::Main, false);
    view.state(编辑框_IP).text = standin.serverText();
    OdbcSession session(platform);
    AppState state;
    state.serverAddress = standin.serverText();
    state.userName = kBenchLogin;
    state.password = kBenchPassword;
    Karvath k{state, view, platform, session, platform.directory(), "karvath"};

    auto karvathRun = [&] {
        const auto start = BenchClock::now();
        refreshLogStatus(k);
        const double seconds = secondsSince(start);
        const std::size_t rows = view.state(超级列表框1).rows.size();
        if (rows != kDatabases) {
            std::fprintf(stderr, "Karvath listed %zu rows\n", rows);
            std::exit(1);
        }
        return seconds;
    };
    auto bareRun = [&] {
        const auto start = BenchClock::now();
        const int listed = bareOdbcListing(standin.serverText(), kBenchLogin, kBenchPassword);
        const double seconds = secondsSince(start);
        if (listed != kDatabases) {
            std::fprintf(stderr, "the bare program listed %d databases\n", listed);
            std::exit(1);
        }
        return seconds;
    };

    karvathRun();  // warm-up: driver loading, first connections
    bareRun();
    std::vector<double> karvath, bare;
    for (int i = 0; i < repetitions; ++i) {
        // Alternate the order so that neither always runs on a warmer cache.
        if (i % 2 == 0) {
            karvath.push_back(karvathRun());
            bare.push_back(bareRun());
        } else {
            bare.push_back(bareRun());
            karvath.push_back(karvathRun());
        }
        std::printf("repetition %d: Karvath %.3f s, bare ODBC %.3f s\n", i + 1, karvath.back(),
                    bare.back());
    }
    const double ratio = median(karvath) / median(bare);
    const double best = *std::min_element(karvath.begin(), karvath.end()) /
                        *std::min_element(bare.begin(), bare.end());
    std::printf("machine: %s\n", machineText().c_str());
    std::printf(
        "listing %d databases, median of %d: Karvath %.3f s, bare ODBC %.3f s, ratio %.3f "
        "(goal <= 1.25: %s)\n",
        kDatabases, repetitions, median(karvath), median(bare), ratio,
        ratio <= 1.25 ? "met" : "NOT met");
    std::printf("fastest of %d: Karvath %.3f s, bare ODBC %.3f s, ratio %.3f\n", repetitions,
                *std::min_element(karvath.begin(), karvath.end()),
                *std::min_element(bare.begin(), bare.end()), best);
    return 0;
}
