// Pieces the benchmark programs share: the stand-in as a child process, a
// platform with fixed names and a private temp directory, clocks and memory
// readings. Benchmarks are tools, not product code: they call the OS directly.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/PosixPlatform.h"

// The real POSIX platform with fixed names (so no server counts as local and
// no name is resolved) and a temp directory of its own, removed with it.
class BenchPlatform : public PosixPlatform {
public:
    BenchPlatform();
    ~BenchPlatform() override;
    BenchPlatform(const BenchPlatform&) = delete;
    BenchPlatform& operator=(const BenchPlatform&) = delete;

    const std::string& directory() const { return directory_; }

    std::string hostName() override { return "karvath-bench"; }
    std::string firstIPv4() override { return "192.0.2.10"; }  // documentation range
    std::string computerName() override { return "KARVATHBENCH"; }
    std::string tempDirectory() override { return directory_ + "/"; }

private:
    std::string directory_;
};

// karvath-standin started as a child on 127.0.0.1, an ephemeral port, with a
// state file holding `userDatabases` more databases than the four system ones.
// Stopped (SIGTERM to its pid) when this goes out of scope; it also ends by
// itself when this process does.
class StandinProcess {
public:
    StandinProcess(const std::string& program, const std::string& stateDirectory,
                   int userDatabases);
    ~StandinProcess();
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    int port() const { return port_; }
    int pid() const { return pid_; }
    std::string serverText() const { return "127.0.0.1," + std::to_string(port_); }

private:
    int pid_ = -1;
    int port_ = 0;
};

inline constexpr const char* kBenchLogin = "sa";
inline constexpr const char* kBenchPassword = "Karvath#2026";

// The name of user database i (1-based) in the stand-in's state file.
std::string benchDatabaseName(int i);

using BenchClock = std::chrono::steady_clock;
inline double secondsSince(BenchClock::time_point start) {
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    if (n == 0) return 0;
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// VmRSS of a process (self when pid is 0), in KiB; -1 when unreadable.
long residentKiB(int pid = 0);
// Bytes the C heap holds in use (mallinfo2: arena + mmap, in use).
std::size_t heapInUse();
// "nproc 2, <CPU model>, <MemTotal>" for the results file.
std::string machineText();
