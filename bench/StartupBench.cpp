// Start-up to the main window shown, and resident memory after start: Karvath
// against a minimal Qt Widgets program, both on the X server named by DISPLAY
// (run it under Xvfb: bench/run.sh does). Nothing inside either program is
// hooked: this program watches the root window for the first top-level window
// the child maps, timing from fork to that MapNotify, then reads the child's
// VmRSS one second later and ends it with SIGTERM.
//
//   karvath_bench_startup [repetitions=9]
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"

namespace {

struct Start {
    double seconds = -1;  // fork to the first top-level window mapped
    long rssKiB = -1;     // one second later
};

Start launch(xcb_connection_t* x, xcb_window_t root, const std::string& program,
             const char* argument = nullptr) {
    // Drain what earlier runs left.
    while (xcb_generic_event_t* e = xcb_poll_for_event(x)) free(e);
    Start result;
    const auto start = BenchClock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    const int fd = xcb_get_file_descriptor(x);
    while (secondsSince(start) < 30) {
        xcb_generic_event_t* e = xcb_poll_for_event(x);
        if (!e) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fd, &set);
            timeval tv{0, 100000};
            select(fd + 1, &set, nullptr, nullptr, &tv);
            continue;
        }
        const bool mapped = (e->response_type & 0x7F) == XCB_MAP_NOTIFY &&
                            reinterpret_cast<xcb_map_notify_event_t*>(e)->event == root &&
                            !reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect;
        free(e);
        if (mapped) {
            result.seconds = secondsSince(start);
            break;
        }
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    result.rssKiB = residentKiB(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 9;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no X display (run under Xvfb: bench/run.sh)\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    // Karvath shows its window at start only when no settings file sits next
    // to the executable: run a copy from an empty directory.
    BenchPlatform platform;
    const std::string karvath = platform.directory() + "/karvath";
    std::filesystem::copy_file(KARVATH_PROGRAM, karvath);

    std::vector<double> karvathStart, minimalStart, karvathRss, minimalRss, labelStart, labelRss;
    for (int i = 0; i < repetitions + 1; ++i) {
        const bool karvathFirst = i % 2 == 0;
        Start a = launch(x, root, karvathFirst ? karvath : KARVATH_MINIMAL_QT_PROGRAM);
        Start b = launch(x, root, karvathFirst ? KARVATH_MINIMAL_QT_PROGRAM : karvath);
        const Start& kv = karvathFirst ? a : b;
        const Start& mn = karvathFirst ? b : a;
        if (kv.seconds < 0 || mn.seconds < 0) {
            std::fprintf(stderr, "a window did not show within 30 s\n");
            return 1;
        }
        // For comparison only: the minimal window with one Chinese label.
        const Start label = launch(x, root, KARVATH_MINIMAL_QT_PROGRAM, "--chinese-label");
        if (i == 0) continue;  // warm-up: page cache, fonts
        labelStart.push_back(label.seconds);
        labelRss.push_back(static_cast<double>(label.rssKiB));
        karvathStart.push_back(kv.seconds);
        minimalStart.push_back(mn.seconds);
        karvathRss.push_back(static_cast<double>(kv.rssKiB));
        minimalRss.push_back(static_cast<double>(mn.rssKiB));
        std::printf(
            "repetition %d: Karvath %.3f s %ld KiB, minimal %.3f s %ld KiB, with a Chinese label "
            "%.3f s %ld KiB\n",
            i, kv.seconds, kv.rssKiB, mn.seconds, mn.rssKiB, label.seconds, label.rssKiB);
    }
    xcb_disconnect(x);
    const double startRatio = median(karvathStart) / median(minimalStart);
    const double rssRatio = median(karvathRss) / median(minimalRss);
    std::printf("machine: %s\n", machineText().c_str());
    std::printf(
        "start to window mapped, median of %d: Karvath %.3f s, minimal Qt %.3f s, ratio "
        "%.2f (goal <= 1.5: %s)\n",
        repetitions, median(karvathStart), median(minimalStart), startRatio,
        startRatio <= 1.5 ? "met" : "NOT met");
    std::printf(
        "VmRSS 1 s after the window, median of %d: Karvath %.0f KiB, minimal Qt %.0f KiB, "
        "ratio %.2f (goal <= 1.5: %s)\n",
        repetitions, median(karvathRss), median(minimalRss), rssRatio,
        rssRatio <= 1.5 ? "met" : "NOT met");
    std::printf("for comparison, the minimal window with one Chinese label: %.3f s, %.0f KiB\n",
                median(labelStart), median(labelRss));
    return 0;
}
