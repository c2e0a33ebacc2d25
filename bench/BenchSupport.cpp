#include "BenchSupport.h"

#include <malloc.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

BenchPlatform::BenchPlatform() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "karvath-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) directory_ = pattern;
}

BenchPlatform::~BenchPlatform() {
    if (directory_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(directory_, ec);
}

std::string benchDatabaseName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "Db%04d", i);
    return name;
}

StandinProcess::StandinProcess(const std::string& program, const std::string& stateDirectory,
                               int userDatabases) {
    const std::string stateFile = stateDirectory + "/standin-state.ini";
    {
        std::ofstream out(stateFile);
        for (int i = 1; i <= userDatabases; ++i) {
            // Log sizes spread over the three units of the list.
            out << "[database]\nname = " << benchDatabaseName(i) << "\n"
                << "[file]\ntype = ROWS\nname = " << benchDatabaseName(i) << "\npath = D:\\Data\\"
                << benchDatabaseName(i) << ".mdf\nsize = 1024\n"
                << "[file]\ntype = LOG\nname = " << benchDatabaseName(i)
                << "_log\npath = D:\\Data\\" << benchDatabaseName(i)
                << "_Log.LDF\nsize = " << (i * 977) % 200000 << "\n";
        }
    }
    int out[2];
    if (pipe(out) != 0) return;
    const std::string parent = std::to_string(getpid());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(program.c_str(), program.c_str(), "--state", stateFile.c_str(), "--port", "0",
              "--host", "127.0.0.1", "--data-dir", stateDirectory.c_str(), "--parent-pid",
              parent.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* in = fdopen(out[0], "r");
    char line[128];
    while (in && std::fgets(line, sizeof line, in)) {
        if (std::sscanf(line, "PORT %d", &port_) == 1) break;
    }
    if (in) std::fclose(in);
}

StandinProcess::~StandinProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

long residentKiB(int pid) {
    std::ifstream in(pid == 0 ? std::string("/proc/self/status")
                              : "/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long kib = -1;
            in >> kib;
            return kib;
        }
        std::string rest;
        std::getline(in, rest);
    }
    return -1;
}

std::size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

std::string machineText() {
    std::string model = "?";
    long memKiB = 0;
    {
        std::ifstream cpu("/proc/cpuinfo");
        std::string line;
        while (std::getline(cpu, line)) {
            if (line.rfind("model name", 0) == 0) {
                model = line.substr(line.find(':') + 2);
                break;
            }
        }
        std::ifstream mem("/proc/meminfo");
        std::string key;
        mem >> key >> memKiB;
    }
    std::ostringstream s;
    s << "nproc " << std::thread::hardware_concurrency() << ", " << model << ", " << memKiB / 1024
      << " MiB RAM";
    return s.str();
}
