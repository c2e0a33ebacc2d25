// Shared fixture pieces: a temporary directory and a running stand-in with a known catalogue.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "OdbcClient.h"
#include "standin/Server.h"

namespace karvath::standin::test {

inline constexpr const char* kUser = "sa";
inline constexpr const char* kPassword = "Karvath#2026";

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "standin-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// master, tempdb, model, msdb, then Shop (FULL, log 10000 pages, active 3000, min 64),
// Odd (log named "Odd_Journal", fake Windows path), Light (SIMPLE) and 销售库 (real log file).
inline State sampleState(const std::string& dataDir) {
    State s = State::withSystemDatabases();
    s.dataDir = dataDir;
    Database& shop = s.addDatabase("Shop");
    DbFile* log = shop.logFile();
    log->sizePages = 10000;
    log->minPages = 64;
    log->activePages = 3000;
    log->physicalPath = "D:\\Data\\Shop_Log.LDF";
    shop.addFile({0, FileType::Rows, "Shop_extra", "D:\\Data\\Shop_extra.ndf", "", 256, 256, 256});

    Database& odd = s.addDatabase("Odd");
    odd.logFile()->logicalName = "Odd_Journal";

    s.addDatabase("Light", Recovery::Simple);

    Database& sales = s.addDatabase("销售库");
    DbFile* salesLog = sales.logFile();
    salesLog->realFile = "销售库_log.ldf";
    salesLog->sizePages = 2048;  // 16 MB, sparse
    salesLog->minPages = 16;
    salesLog->activePages = 100;
    return s;
}

class StandinOdbcTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<Server>(sampleState(data_.path()));
        port_ = server_->start();
        ASSERT_NE(port_, 0) << server_->lastError();
    }

    std::string connectionString(const std::string& password = kPassword,
                                 const std::string& extra = "") {
        return karvathConnectionString(dsn_.path(), port_, kUser, password, "PC01", extra);
    }

    // A connection that is expected to succeed.
    std::unique_ptr<OdbcConnection> connect(const std::string& extra = "") {
        auto c = std::make_unique<OdbcConnection>();
        const bool ok = c->connect(connectionString(kPassword, extra));
        EXPECT_TRUE(ok) << (c->connectDiagnostics().empty() ? std::string()
                                                            : c->connectDiagnostics()[0].message);
        return c;
    }

    TempDir dsn_;
    TempDir data_;
    std::unique_ptr<Server> server_;
    int port_ = 0;
};

}  // namespace karvath::standin::test
