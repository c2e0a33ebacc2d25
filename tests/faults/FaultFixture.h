#pragma once

// The whole program wired as main.cpp wires it, with a fake view on virtual
// time, the real POSIX platform in a per-test directory and the real ODBC
// session (short timeouts) talking to the TDS stand-in on loopback.
#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeView.h"
#include "StandinFixture.h"
#include "VirtualClock.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "shell/Dispatcher.h"
#include "sql/OdbcSession.h"

namespace faults {

using Texts = std::vector<std::string>;
using Row = std::array<std::string, 2>;
using Rows = std::vector<Row>;

// This suite's narrow literals are GBK; the stand-in and file names are UTF-8.
inline std::string utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// Login and query timeouts of the suite; the product's 15 s are covered elsewhere.
inline constexpr int kTimeoutSeconds = 2;
// How long (ms) a call guarded by one timeout may take before it counts as
// hung: the timeout plus room for a loaded machine.
inline constexpr std::int64_t kHangLimit = kTimeoutSeconds * 1000 + 4000;

// The real platform in the test's own directory, its clock the view's virtual
// clock, and this program's one running copy.
class FaultPlatform : public TestPlatform {
public:
    explicit FaultPlatform(VirtualClock& clock) : clock_(clock) {}
    DateTime now() override { return clock_.now(); }
    int countProcesses(const std::string&) override { return 1; }

private:
    VirtualClock& clock_;
};

// A loopback listener that accepts connections and never says a word; it
// stops, closing them, when it goes out of scope.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int port() const { return port_; }
    int accepted() const { return accepted_.load(); }

private:
    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::vector<int> clients_;
    std::thread thread_;
};

// Sets the immutable attribute on a file or directory for as long as it lives:
// unlike permissions it stops root too. supported() is false on a file system
// or in a container that refuses it.
class Immutable {
public:
    explicit Immutable(std::string path);
    ~Immutable();
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool supported() const { return set_; }
    void lift();

private:
    std::string path_;
    bool set_ = false;
};

// Wall time of one call in ms, to tell a timeout from a hang. (<chrono>
// cannot be compiled with GBK literals: it holds a micro sign.)
inline std::int64_t monotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
template <typename F>
std::int64_t timed(F&& f) {
    const std::int64_t start = monotonicMs();
    f();
    return monotonicMs() - start;
}

// The stand-in's default catalogue plus the user databases a test adds.
karvath::standin::State systemState(const std::string& dataDir);
// A user database whose log is a real (sparse) file of `pages` 8-KB pages in
// the data directory, shrinkable down to `minPages`.
karvath::standin::Database& addRealLog(
    karvath::standin::State& s, const std::string& utf8Name, const std::string& utf8File,
    std::int64_t pages, std::int64_t minPages,
    karvath::standin::Recovery recovery = karvath::standin::Recovery::Full);

class FaultTest : public ::testing::Test {
protected:
    FaultTest();

    // Starts the stand-in with this catalogue (real files in the test's directory).
    void serve(karvath::standin::State state);
    karvath::standin::Server& server() { return standin_->server(); }
    std::string serverText() const { return standin_->serverText(); }

    // Loads the main window: the created event runs the start sequence.
    void start();
    // Types the login as the user does and clicks 连接. A local server is one
    // whose address this machine's first IPv4 address is made to be.
    void typeLogin(const std::string& server, const std::string& password = Standin::kPassword);
    void connect(bool local);
    void choose(const std::string& gbkName);
    // A daily check at hour:minute:second, typed into the schedule editor and
    // left unconfirmed (it is in force all the same), then unattended mode on.
    void armDailyCheck(int hour, int minute, int second);

    // Earlier history the faults must not lose: lines of the settings file the
    // program never writes, and a line of the activity log.
    void seedHistory();
    void expectHistoryKept();
    // The window after a failed connect: ready to try again.
    void expectReadyToConnect();
    // The window after a cleanup, whatever it met: the button back, the label
    // at rest, the bar at its end.
    void expectCleanupFinished();

    std::string settingsFile() const;
    std::string settingsBytes() const;
    std::string logFile() const;
    std::string activityLog() { return view.state(编辑框_log).text; }
    Rows rows() { return view.state(超级列表框1).rows; }
    Texts items() { return view.state(组合框_库名).items; }
    // Statements of the server's record since `from` that are not the
    // catalogue queries of the listings and measurements.
    Texts statementsSince(std::size_t from);

    VirtualClock clock;
    FakeView view{clock};
    FaultPlatform os{clock};

private:
    std::unique_ptr<Standin> standin_;

protected:
    OdbcSession db{os};
    AppState state;
    Karvath k{state, view, os, db, os.directory(), "karvath"};
    Dispatcher dispatcher{k};
};

inline const std::string kSeededLog = "2021年3月1日8时  earlier检测到日志大小12KB\r\n";

}  // namespace faults
