// Memory of unattended checks: monitorCheck run 10,000 times on virtual time
// (FakeView on a VirtualClock, one check per virtual second) against the
// stand-in process through the real OdbcSession, the resident size and the C
// heap in use compared after 10 checks and after 10,000.
//
// log.txt by design receives the activity log's whole text at every check, so
// it grows quadratically (about 2 GB after 10,000 checks, each read back whole
// before the next write). To measure the program rather than that file, log.txt
// here behaves as if it were emptied before every check: it reads as empty and
// each check's write of the whole activity log goes to a real file in a temp
// directory. Everything else runs as in the product.
//
//   karvath_bench_monitor [checks=10000]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "FakeView.h"
#include "VirtualClock.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "core/Paths.h"
#include "schedule/Monitor.h"
#include "sql/OdbcSession.h"

namespace {

class MonitorPlatform : public BenchPlatform {
public:
    explicit MonitorPlatform(VirtualClock& clock) : clock_(clock) {}
    DateTime now() override { return clock_.now(); }
    bool readFile(const std::string& path, std::string& bytes) override {
        if (path == activityLogPath(directory())) {
            bytes.clear();  // emptied since the last check
            return true;
        }
        return BenchPlatform::readFile(path, bytes);
    }
    std::size_t logBytesWritten = 0;
    bool writeFileExclusive(const std::string& path, const std::string& bytes) override {
        if (path == activityLogPath(directory())) logBytesWritten += bytes.size();
        return BenchPlatform::writeFileExclusive(path, bytes);
    }

private:
    VirtualClock& clock_;
};

struct Reading {
    long rssKiB;
    std::size_t heap;
    std::size_t logText;
    std::size_t logCapacity;
};

}  // namespace

int main(int argc, char** argv) {
    const int checks = argc > 1 ? std::atoi(argv[1]) : 10000;
    constexpr int kEarly = 10;

    VirtualClock clock;
    MonitorPlatform platform(clock);
    StandinProcess standin(KARVATH_STANDIN_PROGRAM, platform.directory(), 20);
    if (standin.port() == 0) {
        std::fprintf(stderr, "the stand-in did not start\n");
        return 1;
    }
    FakeView view(clock);
    view.loadWindow(Window::Main, false);
    view.state(编辑框_IP).text = standin.serverText();  // a remote server: catalogue sizes
    OdbcSession session(platform);
    AppState state;
    state.serverAddress = standin.serverText();
    state.userName = kBenchLogin;
    state.password = kBenchPassword;
    state.selectedDatabase = benchDatabaseName(1);
    Karvath k{state, view, platform, session, platform.directory(), "karvath"};
    if (!session.openConnection(state.serverAddress, state.userName, state.password, "master")) {
        std::fprintf(stderr, "cannot connect to the stand-in\n");
        return 1;
    }

    auto read = [&] {
        const std::string& log = view.state(编辑框_log).text;
        return Reading{residentKiB(), heapInUse(), log.size(), log.capacity()};
    };
    Reading early{};
    const auto start = BenchClock::now();
    for (int i = 1; i <= checks; ++i) {
        clock.advance(1000);
        monitorCheck(k);
        if (i == kEarly) early = read();
    }
    const double seconds = secondsSince(start);
    const Reading late = read();

    const std::string& log = view.state(编辑框_log).text;
    const std::size_t lines = static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
    std::printf("machine: %s\n", machineText().c_str());
    std::printf(
        "%d checks in %.1f s (%.0f us each), %zu activity log lines, log.txt writes %.1f MB\n",
        checks, seconds, seconds / checks * 1e6, lines, platform.logBytesWritten / 1e6);
    std::printf("after %d checks: VmRSS %ld KiB, heap in use %zu KiB, activity log %zu bytes\n",
                kEarly, early.rssKiB, early.heap / 1024, early.logText);
    std::printf(
        "after %d checks: VmRSS %ld KiB, heap in use %zu KiB, activity log %zu bytes "
        "(capacity %zu)\n",
        checks, late.rssKiB, late.heap / 1024, late.logText, late.logCapacity);
    const double growthMb = (late.rssKiB - early.rssKiB) / 1024.0;
    const double heapGrowthMb = (double(late.heap) - double(early.heap)) / (1024.0 * 1024.0);
    const double logGrowthMb =
        (double(late.logCapacity) - double(early.logCapacity)) / (1024.0 * 1024.0);
    std::printf(
        "growth: VmRSS %+.2f MiB, heap %+.2f MiB, of which the activity log text "
        "%+.2f MiB (goal: VmRSS growth <= 2 MB: %s)\n",
        growthMb, heapGrowthMb, logGrowthMb, growthMb <= 2.0 ? "met" : "NOT met");
    // The session keeps every result set it handed out until it is closed or
    // reopened, and the checks never reopen it: closing it shows their share.
    session.closeConnection();
    const std::size_t closedHeap = heapInUse();
    std::printf(
        "after closing the session: heap in use %zu KiB (%+.2f MiB against after %d "
        "checks)\n",
        closedHeap / 1024, (double(closedHeap) - double(early.heap)) / (1024.0 * 1024.0), kEarly);
    return 0;
}
