#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "VirtualClock.h"
#include "platform/Platform.h"

// An in-memory platform for logic tests: files live in a map, the clock is
// virtual, and names, processes and failures are set by the test.
class FakePlatform : public Platform {
public:
    explicit FakePlatform(VirtualClock& clock) : clock_(clock) {}

    std::map<std::string, std::string> files;          // path -> content
    std::map<std::string, std::int64_t> sizes;         // path -> size, for files without content
    std::set<std::string> directories;
    std::set<std::string> failingWrites;               // paths whose writes fail
    std::map<std::string, int> processes;              // executable name -> running count
    bool processListReadable = true;
    std::string host = "testhost";
    std::string ipv4 = "192.0.2.10";
    std::string computer = "TESTHOST";
    std::string temp = "/tmp/";
    std::string exe = "/opt/karvath/karvath";
    std::optional<std::string> autostart;              // registered executable path
    bool autostartFails = false;
    std::set<std::string> ownerOnly;                   // paths restricted to their owner

    DateTime now() override { return clock_.now(); }
    bool exists(const std::string& path) override {
        return files.count(path) || sizes.count(path) || directories.count(path);
    }
    std::int64_t fileSize(const std::string& path) override {
        if (auto it = sizes.find(path); it != sizes.end()) return it->second;
        if (auto it = files.find(path); it != files.end()) return static_cast<std::int64_t>(it->second.size());
        return -1;
    }
    bool readFile(const std::string& path, std::string& bytes) override {
        auto it = files.find(path);
        if (it == files.end()) return false;
        bytes = it->second;
        return true;
    }
    bool replaceFile(const std::string& path, const std::string& bytes) override {
        if (failingWrites.count(path) || directories.count(path)) return false;
        files[path] = bytes;
        return true;
    }
    bool writeFileExclusive(const std::string& path, const std::string& bytes) override {
        return replaceFile(path, bytes);
    }
    bool removeFile(const std::string& path) override {
        sizes.erase(path);
        return files.erase(path) > 0;
    }
    bool restrictToOwner(const std::string& path) override {
        if (!files.count(path)) return false;
        ownerOnly.insert(path);
        return true;
    }
    std::string nativePath(const std::string& gbkPath) override { return gbkPath; }
    int countProcesses(const std::string& name) override {
        if (!processListReadable) return 0;
        auto it = processes.find(name);
        return it == processes.end() ? 0 : it->second;
    }
    std::string hostName() override { return host; }
    std::string firstIPv4() override { return ipv4; }
    std::string computerName() override { return computer; }
    std::string tempDirectory() override { return temp; }
    std::string executablePath() override { return exe; }
    std::map<std::string, std::string> environment;
    void setEnvironmentDefault(const std::string& name, const std::string& value) override {
        environment.emplace(name, value);
    }
    bool registerAtLogon(const std::string& path) override {
        if (autostartFails) return false;
        autostart = path;
        return true;
    }
    void unregisterAtLogon() override { autostart.reset(); }

private:
    VirtualClock& clock_;
};
