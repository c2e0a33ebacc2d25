#include "standin/Model.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "Catalogue.h"
#include "Text.h"

namespace karvath::standin {

std::string_view recoveryName(Recovery r) {
    switch (r) {
        case Recovery::Full:
            return "FULL";
        case Recovery::BulkLogged:
            return "BULK_LOGGED";
        case Recovery::Simple:
            return "SIMPLE";
    }
    return "FULL";
}

std::optional<Recovery> parseRecovery(std::string_view text) {
    for (Recovery r : {Recovery::Full, Recovery::BulkLogged, Recovery::Simple}) {
        if (equalsNoCase(text, recoveryName(r))) return r;
    }
    return std::nullopt;
}

DbFile& Database::addFile(DbFile f) {
    if (f.fileId == 0) {
        int next = 1;
        for (const DbFile& e : files) next = std::max(next, e.fileId + 1);
        f.fileId = next;
    }
    const auto at = std::upper_bound(files.begin(), files.end(), f.fileId,
                                     [](int id, const DbFile& e) { return id < e.fileId; });
    return *files.insert(at, std::move(f));
}

const DbFile* Database::findFile(std::string_view logicalName) const {
    for (const DbFile& f : files) {
        if (equalsNoCase(f.logicalName, logicalName)) return &f;
    }
    return nullptr;
}

DbFile* Database::findFile(std::string_view logicalName) {
    return const_cast<DbFile*>(std::as_const(*this).findFile(logicalName));
}

DbFile* Database::logFile() {
    for (DbFile& f : files) {
        if (f.type == FileType::Log) return &f;
    }
    return nullptr;
}

State State::withSystemDatabases() {
    State s;
    s.logins.push_back({"sa", "Karvath#2026"});
    const struct {
        const char* name;
        Recovery recovery;
        const char* data;
        const char* log;
    } systemDbs[] = {
        {"master", Recovery::Simple, "master", "mastlog"},
        {"tempdb", Recovery::Simple, "tempdev", "templog"},
        {"model", Recovery::Full, "modeldev", "modellog"},
        {"msdb", Recovery::Simple, "MSDBData", "MSDBLog"},
    };
    for (const auto& d : systemDbs) {
        Database& db = s.addDatabase(d.name, d.recovery);
        db.files[0].logicalName = d.data;
        db.files[1].logicalName = d.log;
    }
    return s;
}

Database& State::addDatabase(std::string name, Recovery recovery, int id) {
    if (id == 0) {
        id = 1;
        for (const Database& d : databases) id = std::max(id, d.id + 1);
    }
    Database db;
    db.id = id;
    db.name = std::move(name);
    db.recovery = recovery;
    const std::string dir = "/var/opt/mssql/data/";
    db.addFile({1, FileType::Rows, db.name, dir + db.name + ".mdf", "", 1024, 1024, 1024});
    db.addFile({2, FileType::Log, db.name + "_log", dir + db.name + "_log.ldf", "", 1024, 64, 64});
    const auto at = std::upper_bound(databases.begin(), databases.end(), id,
                                     [](int v, const Database& d) { return v < d.id; });
    return *databases.insert(at, std::move(db));
}

const Database* State::findDatabase(std::string_view name) const {
    for (const Database& d : databases) {
        if (equalsNoCase(d.name, name)) return &d;
    }
    return nullptr;
}

Database* State::findDatabase(std::string_view name) {
    return const_cast<Database*>(std::as_const(*this).findDatabase(name));
}

bool State::removeDatabase(std::string_view name) {
    const auto it = std::find_if(databases.begin(), databases.end(),
                                 [&](const Database& d) { return equalsNoCase(d.name, name); });
    if (it == databases.end()) return false;
    databases.erase(it);
    return true;
}

namespace {

std::string realPath(const State& state, const DbFile& file) {
    if (file.realFile.front() == '/' || state.dataDir.empty()) return file.realFile;
    return state.dataDir + "/" + file.realFile;
}

}  // namespace

std::string reportedPath(const State& state, const DbFile& file) {
    return file.realFile.empty() ? file.physicalPath : realPath(state, file);
}

std::int64_t currentPages(const State& state, const DbFile& file) {
    if (file.realFile.empty()) return file.sizePages;
    struct stat st {};
    if (::stat(realPath(state, file).c_str(), &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_size) / kPageBytes;
}

bool resizeFile(const State& state, DbFile& file, std::int64_t pages) {
    if (file.realFile.empty()) {
        file.sizePages = pages;
        return true;
    }
    return ::truncate(realPath(state, file).c_str(), static_cast<off_t>(pages * kPageBytes)) == 0;
}

bool prepareRealFiles(State& state, bool recreate, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!state.dataDir.empty()) {
        state.dataDir = fs::absolute(fs::path(state.dataDir), ec).lexically_normal().string();
        while (state.dataDir.size() > 1 && state.dataDir.back() == '/') state.dataDir.pop_back();
    }
    for (const Database& db : state.databases) {
        for (const DbFile& f : db.files) {
            if (f.realFile.empty()) continue;
            const std::string path = realPath(state, f);
            fs::create_directories(fs::path(path).parent_path(), ec);
            if (!recreate && fs::exists(path, ec)) continue;
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0) {
                if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
                return false;
            }
            // ftruncate extends without writing: the file stays sparse.
            const bool ok = ::ftruncate(fd, static_cast<off_t>(f.sizePages * kPageBytes)) == 0;
            ::close(fd);
            if (!ok) {
                if (error) *error = "cannot size " + path + ": " + std::strerror(errno);
                return false;
            }
        }
    }
    return true;
}

}  // namespace karvath::standin
