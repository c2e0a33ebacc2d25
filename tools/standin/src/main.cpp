// karvath-standin: serves a SQL Server stand-in until SIGINT/SIGTERM or until --parent-pid ends.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "Catalogue.h"
#include "standin/Server.h"

using namespace karvath::standin;

namespace {

void usage() {
    std::cerr << "usage: karvath-standin [--state FILE] [--port N] [--host ADDR] [--data-dir DIR]\n"
                 "                       [--reset-files] [--log FILE] [--parent-pid PID]\n";
}

}  // namespace

int main(int argc, char** argv) {
    // Signals are taken synchronously by the main thread, from the very start (a stop request
    // while the state loads is not lost); server threads inherit the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::string statePath;
    std::string dataDir;
    std::string logPath;
    ServerOptions options;
    long parentPid = 0;
    bool resetFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--state") {
            statePath = value();
        } else if (arg == "--port") {
            options.port = std::atoi(value().c_str());
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--data-dir") {
            dataDir = value();
        } else if (arg == "--log") {
            logPath = value();
        } else if (arg == "--parent-pid") {
            parentPid = std::atol(value().c_str());
        } else if (arg == "--reset-files") {
            resetFiles = true;
        } else {
            usage();
            return 2;
        }
    }

    State state = State::withSystemDatabases();
    Faults faults;
    if (!statePath.empty()) {
        std::string error;
        auto loaded = loadStateFile(statePath, &faults, &error);
        if (!loaded) {
            std::cerr << "karvath-standin: " << statePath << ": " << error << "\n";
            return 1;
        }
        state = std::move(*loaded);
    }
    state.dataDir = dataDir.empty() ? "." : dataDir;
    if (!dataDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(dataDir, ec);
    }
    if (resetFiles) {
        std::string error;
        if (!prepareRealFiles(state, true, &error)) {
            std::cerr << "karvath-standin: " << error << "\n";
            return 1;
        }
    }

    Server server(std::move(state), options);
    server.setFaults(std::move(faults));
    auto log = std::make_shared<std::ofstream>();
    if (!logPath.empty()) {
        log->open(logPath, std::ios::app);
        if (!*log) {
            std::cerr << "karvath-standin: cannot write " << logPath << "\n";
            return 1;
        }
        server.setEventSink([log](const std::string& line) { *log << line << std::endl; });
    }
    const int port = server.start();
    if (port == 0) {
        std::cerr << "karvath-standin: " << server.lastError() << "\n";
        return 1;
    }
    std::cout << "PORT " << port << std::endl;

    // Started by the parent itself: being adopted by another process also means it is gone
    // (a dead parent nobody has reaped yet still answers kill(pid, 0)).
    const bool childOfParent = parentPid > 0 && ::getppid() == static_cast<pid_t>(parentPid);
    const timespec tick{0, 250'000'000};
    while (true) {
        const int sig = sigtimedwait(&signals, nullptr, &tick);
        if (sig == SIGINT || sig == SIGTERM) break;
        if (parentPid > 0 && ::kill(static_cast<pid_t>(parentPid), 0) != 0 && errno == ESRCH) break;
        if (childOfParent && ::getppid() != static_cast<pid_t>(parentPid)) break;
    }
    server.stop();
    return 0;
}
