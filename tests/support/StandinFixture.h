#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/PosixPlatform.h"
#include "standin/Server.h"

// The real POSIX platform with the names a test chooses, so that a test decides
// whether a server counts as local without depending on how this machine
// resolves its own name, and with a temp directory of its own (removed with it).
// Writes and removals are recorded, then done for real.
class TestPlatform : public PosixPlatform {
public:
    TestPlatform();
    ~TestPlatform() override;
    TestPlatform(const TestPlatform&) = delete;
    TestPlatform& operator=(const TestPlatform&) = delete;

    std::string host = "karvath-test";
    std::string ipv4 = "192.0.2.10";  // documentation range: never reached
    std::string computer = "KARVATHTEST";
    std::string temp;  // what tempDirectory() returns; starts as directory() + "/"

    struct Write {
        std::string path;
        std::string bytes;
    };
    std::vector<Write> writes;          // writeFileExclusive and replaceFile, in order
    std::vector<std::string> removals;  // removeFile, in order

    // The per-test directory, without a trailing slash.
    const std::string& directory() const { return directory_; }

    std::string hostName() override { return host; }
    std::string firstIPv4() override { return ipv4; }
    std::string computerName() override { return computer; }
    std::string tempDirectory() override { return temp; }
    bool writeFileExclusive(const std::string& path, const std::string& bytes) override;
    bool replaceFile(const std::string& path, const std::string& bytes) override;
    bool removeFile(const std::string& path) override;

private:
    std::string directory_;
};

// The TDS stand-in started in-process on 127.0.0.1 on an ephemeral port; it
// stops when this goes out of scope. FreeTDS takes "host,port" in SERVER=, so
// serverText() is what a user types into the server box to reach it.
class Standin {
public:
    static constexpr const char* kLogin = "sa";
    static constexpr const char* kPassword = "Karvath#2026";

    // Default: master, tempdb, model, msdb and the login sa / Karvath#2026.
    explicit Standin(
        karvath::standin::State state = karvath::standin::State::withSystemDatabases());
    ~Standin();
    Standin(const Standin&) = delete;
    Standin& operator=(const Standin&) = delete;

    bool started() const { return port_ != 0; }
    int port() const { return port_; }
    std::string serverText() const;
    karvath::standin::Server& server() { return *server_; }
    void stop();

    // A server text for a loopback port where nothing listens.
    static std::string closedPortServerText();

private:
    std::unique_ptr<karvath::standin::Server> server_;
    int port_ = 0;
};

// "127.0.0.1,<port>".
std::string serverTextFor(int port);
