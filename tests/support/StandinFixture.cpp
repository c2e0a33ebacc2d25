#include "StandinFixture.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

TestPlatform::TestPlatform() {
    std::string pattern = (std::filesystem::temp_directory_path() / "karvath-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) directory_ = pattern;
    temp = directory_.empty() ? std::string() : directory_ + "/";
}

TestPlatform::~TestPlatform() {
    if (directory_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(directory_, ec);
}

bool TestPlatform::writeFileExclusive(const std::string& path, const std::string& bytes) {
    writes.push_back({path, bytes});
    return PosixPlatform::writeFileExclusive(path, bytes);
}

bool TestPlatform::replaceFile(const std::string& path, const std::string& bytes) {
    writes.push_back({path, bytes});
    return PosixPlatform::replaceFile(path, bytes);
}

bool TestPlatform::removeFile(const std::string& path) {
    removals.push_back(path);
    return PosixPlatform::removeFile(path);
}

std::string serverTextFor(int port) { return "127.0.0.1," + std::to_string(port); }

Standin::Standin(karvath::standin::State state)
    : server_(std::make_unique<karvath::standin::Server>(std::move(state))) {
    port_ = server_->start();
}

Standin::~Standin() { stop(); }

std::string Standin::serverText() const { return serverTextFor(port_); }

void Standin::stop() {
    if (server_) server_->stop();
}

std::string Standin::closedPortServerText() {
    // An ephemeral port that was just free: bound by a stand-in, then closed.
    Standin probe;
    const int port = probe.port();
    probe.stop();
    return serverTextFor(port);
}
