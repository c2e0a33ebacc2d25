// The state file: an INI-like text of [login], [database], [file] and [faults] sections.
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "Text.h"
#include "standin/Model.h"
#include "standin/Server.h"

namespace karvath::standin {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<std::int64_t> parseInt(std::string_view s) {
    std::int64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<bool> parseBool(std::string_view s) {
    if (equalsNoCase(s, "true") || equalsNoCase(s, "yes") || s == "1") return true;
    if (equalsNoCase(s, "false") || equalsNoCase(s, "no") || s == "0") return false;
    return std::nullopt;
}

// "1024" (pages), "64KB", "1.5GB", "3000B": bytes round up to whole pages.
std::optional<std::int64_t> parsePages(std::string_view s) {
    std::size_t digits = 0;
    while (digits < s.size() && ((s[digits] >= '0' && s[digits] <= '9') || s[digits] == '.')) {
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    double number = 0;
    try {
        number = std::stod(std::string(s.substr(0, digits)));
    } catch (...) {
        return std::nullopt;
    }
    const std::string unit = lowerAscii(trim(s.substr(digits)));
    double bytes = 0;
    if (unit.empty() || unit == "pages") return static_cast<std::int64_t>(number);
    if (unit == "b") {
        bytes = number;
    } else if (unit == "kb") {
        bytes = number * 1024;
    } else if (unit == "mb") {
        bytes = number * 1024 * 1024;
    } else if (unit == "gb") {
        bytes = number * 1024 * 1024 * 1024;
    } else {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(std::ceil(bytes / static_cast<double>(kPageBytes)));
}

// "2000 | DBCC SHRINKFILE" -> ("2000", "DBCC SHRINKFILE")
std::pair<std::string, std::string> splitBar(std::string_view v) {
    const auto bar = v.find('|');
    if (bar == std::string_view::npos) return {"", std::string(trim(v))};
    return {std::string(trim(v.substr(0, bar))), std::string(trim(v.substr(bar + 1)))};
}

struct PendingFile {
    DbFile file;
    std::optional<std::int64_t> min;
    std::optional<std::int64_t> active;
};

}  // namespace

std::optional<State> parseState(std::string_view text, Faults* faults, std::string* error) {
    // The system databases are always there; a [database] section may redefine one of them.
    State state = State::withSystemDatabases();
    const std::vector<Login> defaultLogins = std::move(state.logins);
    state.logins.clear();
    std::vector<std::string> defined;
    Faults ignored;
    Faults& f = faults ? *faults : ignored;
    std::string section;
    Database* db = nullptr;
    bool dbHasOwnFiles = false;
    std::optional<PendingFile> file;
    std::optional<Login> login;
    int lineNo = 0;

    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    };
    auto flushFile = [&]() {
        if (!file) return;
        DbFile& d = file->file;
        const bool log = d.type == FileType::Log;
        d.minPages =
            file->min.value_or(log ? std::min<std::int64_t>(d.sizePages, 64) : d.sizePages);
        d.activePages = file->active.value_or(d.minPages);
        if (d.physicalPath.empty() && d.realFile.empty()) {
            d.physicalPath = "/var/opt/mssql/data/" + d.logicalName + (log ? ".ldf" : ".mdf");
        }
        db->addFile(std::move(d));
        file.reset();
    };
    auto flushLogin = [&]() {
        if (login) state.logins.push_back(std::move(*login));
        login.reset();
    };

    std::istringstream in{std::string(text)};
    std::string raw;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (lineNo == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);  // BOM
        const std::string_view line = trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return fail("unclosed section header");
            if (section == "database" && !db) return fail("database section without name");
            flushFile();
            flushLogin();
            section = lowerAscii(trim(line.substr(1, line.size() - 2)));
            if (section == "database") {
                db = nullptr;
                dbHasOwnFiles = false;
            } else if (section == "file") {
                if (!db) return fail("[file] before any [database] with a name");
                if (!dbHasOwnFiles) db->files.clear();
                dbHasOwnFiles = true;
                file.emplace();
            } else if (section == "login") {
                login.emplace();
            } else if (section != "faults") {
                return fail("unknown section [" + section + "]");
            }
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) return fail("expected key = value");
        const std::string key = lowerAscii(trim(line.substr(0, eq)));
        const std::string_view value = trim(line.substr(eq + 1));

        if (section == "login") {
            if (key == "user") {
                login->user = value;
            } else if (key == "password") {
                login->password = value;
            } else {
                return fail("unknown login key " + key);
            }
        } else if (section == "database") {
            if (key == "name") {
                if (db) return fail("database name given twice");
                for (const std::string& d : defined) {
                    if (equalsNoCase(d, value))
                        return fail("duplicate database " + std::string(value));
                }
                defined.emplace_back(value);
                int id = 0;
                if (const Database* existing = state.findDatabase(value)) {
                    id = existing->id;
                    state.removeDatabase(value);
                }
                db = &state.addDatabase(std::string(value), Recovery::Full, id);
            } else if (!db) {
                return fail("name must come first in [database]");
            } else if (key == "id") {
                const auto id = parseInt(value);
                if (!id || *id <= 0) return fail("bad id");
                Database moved = std::move(*db);
                state.removeDatabase(moved.name);
                for (const Database& other : state.databases) {
                    if (other.id == *id) return fail("duplicate database id");
                }
                db = &state.addDatabase(moved.name, moved.recovery, static_cast<int>(*id));
                db->files = std::move(moved.files);
            } else if (key == "recovery") {
                const auto r = parseRecovery(value);
                if (!r) return fail("recovery must be FULL, BULK_LOGGED or SIMPLE");
                db->recovery = *r;
            } else {
                return fail("unknown database key " + key);
            }
        } else if (section == "file") {
            DbFile& d = file->file;
            if (key == "type") {
                if (equalsNoCase(value, "ROWS")) {
                    d.type = FileType::Rows;
                } else if (equalsNoCase(value, "LOG")) {
                    d.type = FileType::Log;
                } else {
                    return fail("type must be ROWS or LOG");
                }
            } else if (key == "name") {
                d.logicalName = value;
            } else if (key == "path") {
                d.physicalPath = value;
            } else if (key == "real") {
                d.realFile = value;
            } else if (key == "id") {
                const auto id = parseInt(value);
                if (!id || *id <= 0) return fail("bad file id");
                d.fileId = static_cast<int>(*id);
            } else if (key == "size" || key == "min" || key == "active") {
                const auto pages = parsePages(value);
                if (!pages) return fail("bad size " + std::string(value));
                if (key == "size") d.sizePages = *pages;
                if (key == "min") file->min = *pages;
                if (key == "active") file->active = *pages;
            } else {
                return fail("unknown file key " + key);
            }
        } else if (section == "faults") {
            const auto [head, pattern] = splitBar(value);
            StatementFault sf;
            sf.pattern = pattern;
            sf.regex = key.size() > 6 && key.ends_with("_regex");
            const std::string base = sf.regex ? key.substr(0, key.size() - 6) : key;
            if (key == "refuse_logins" || key == "drop_after_login") {
                const auto b = parseBool(value);
                if (!b) return fail("expected true or false");
                (key == "refuse_logins" ? f.refuseLogins : f.dropAfterLogin) = *b;
            } else if (key == "login_delay_ms" || key == "drop_after_statements") {
                const auto n = parseInt(value);
                if (!n) return fail("expected a number");
                (key == "login_delay_ms" ? f.loginDelayMs : f.dropAfterStatements) =
                    static_cast<int>(*n);
            } else if (base == "delay" || base == "deny") {
                const auto n = parseInt(head);
                if (!n || pattern.empty()) return fail("expected NUMBER | PATTERN");
                sf.action = base == "delay" ? StatementFault::Action::Delay
                                            : StatementFault::Action::PermissionError;
                (base == "delay" ? sf.delayMs : sf.errorNumber) = static_cast<int>(*n);
                f.statements.push_back(sf);
            } else if (base == "drop_connection") {
                if (pattern.empty()) return fail("expected a pattern");
                sf.action = StatementFault::Action::DropConnection;
                f.statements.push_back(sf);
            } else if (base == "drop_database") {
                if (head.empty() || pattern.empty()) return fail("expected DATABASE | PATTERN");
                sf.action = StatementFault::Action::DropDatabase;
                sf.database = head;
                f.statements.push_back(sf);
            } else {
                return fail("unknown fault " + key);
            }
        } else {
            return fail("key outside a section");
        }
    }
    if (section == "database" && !db) return fail("database section without name");
    flushFile();
    flushLogin();
    if (state.logins.empty()) state.logins = defaultLogins;
    for (const Login& l : state.logins) {
        if (l.user.empty()) return fail("a login without user");
    }
    for (const Database& d : state.databases) {
        for (const DbFile& df : d.files) {
            if (df.logicalName.empty()) return fail("a file without name in " + d.name);
        }
    }
    return state;
}

std::optional<State> loadStateFile(const std::string& path, Faults* faults, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseState(text.str(), faults, error);
}

}  // namespace karvath::standin
