// The stand-in's picture of a SQL Server instance: logins, databases and their files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvath::standin {

enum class Recovery { Full, BulkLogged, Simple };

// "FULL", "BULK_LOGGED", "SIMPLE" as sys.databases spells them.
std::string_view recoveryName(Recovery r);
// Accepts the three names in any letter case.
std::optional<Recovery> parseRecovery(std::string_view text);

enum class FileType { Rows, Log };

inline constexpr std::int64_t kPageBytes = 8192;

struct DbFile {
    int fileId = 0;  // 0: assigned by Database::addFile
    FileType type = FileType::Rows;
    std::string logicalName;
    // Path reported when the file is not real (e.g. "D:\\Data\\Shop_Log.LDF").
    std::string physicalPath;
    // Non-empty: the file lives on disk, relative to State::dataDir unless absolute. Its size
    // is then the file's size on disk and a shrink truncates it.
    std::string realFile;
    std::int64_t sizePages = 0;    // size of a fake file; initial size of a missing real file
    std::int64_t minPages = 0;     // a shrink never goes below this
    std::int64_t activePages = 0;  // part of a log a shrink keeps outside SIMPLE recovery
};

struct Database {
    int id = 0;  // 0: assigned by State::addDatabase
    std::string name;
    Recovery recovery = Recovery::Full;
    std::vector<DbFile> files;  // kept in file_id order

    // Appends a file; fileId 0 becomes the next free id.
    DbFile& addFile(DbFile f);
    DbFile* findFile(std::string_view logicalName);  // case-insensitive like SQL Server
    const DbFile* findFile(std::string_view logicalName) const;
    DbFile* logFile();  // the first LOG file
};

struct Login {
    std::string user;
    std::string password;
};

struct State {
    std::vector<Login> logins;
    std::vector<Database> databases;  // in database_id order
    std::string dataDir;              // base of relative real files

    // master, tempdb, model (ids 1..4, msdb in SIMPLE like a fresh instance) and the login
    // sa / Karvath#2026.
    static State withSystemDatabases();

    // Adds a database with a data file "<name>" (file 1) and a log "<name>_log" (file 2) at
    // fake paths under /var/opt/mssql/data; id 0 picks the next free id.
    Database& addDatabase(std::string name, Recovery recovery = Recovery::Full, int id = 0);
    Database* findDatabase(std::string_view name);  // case-insensitive like SQL Server
    const Database* findDatabase(std::string_view name) const;
    bool removeDatabase(std::string_view name);
};

// Reads a state file (format in README.md). On failure returns nullopt and sets *error.
struct Faults;
std::optional<State> loadStateFile(const std::string& path, Faults* faults, std::string* error);
std::optional<State> parseState(std::string_view text, Faults* faults, std::string* error);

}  // namespace karvath::standin
