#include "Sql.h"

#include <algorithm>
#include <charconv>

#include "Catalogue.h"
#include "Text.h"

namespace karvath::standin {

namespace {

using Kind = SqlToken::Kind;
using tds::Column;
using tds::ColumnType;
using tds::Value;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '@' || c == '#' ||
           u >= 0x80;  // letters of other scripts, e.g. 销售库
}
bool isWordChar(char c) { return isWordStart(c) || isDigit(c) || c == '$'; }

// Reads a quoted run starting after the opening mark; a doubled closing mark stands for one.
// Returns false when the run never closes.
bool readQuoted(std::string_view sql, std::size_t& i, char close, std::string& out) {
    while (i < sql.size()) {
        const char c = sql[i++];
        if (c == close) {
            if (i < sql.size() && sql[i] == close) {
                out += close;
                ++i;
                continue;
            }
            return true;
        }
        out += c;
    }
    return false;
}

}  // namespace

TokenizeResult tokenize(std::string_view sql) {
    TokenizeResult r;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (isSpace(c)) {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else if ((c == 'N' || c == 'n') && i + 1 < sql.size() && sql[i + 1] == '\'') {
            i += 2;
            SqlToken t{Kind::NString, {}};
            if (!readQuoted(sql, i, '\'', t.text)) {
                r.unclosed = t.text;
                break;
            }
            r.tokens.push_back(std::move(t));
        } else if (c == '\'' || c == '[' || c == '"') {
            ++i;
            SqlToken t{c == '\'' ? Kind::String : Kind::Quoted, {}};
            if (!readQuoted(sql, i, c == '[' ? ']' : c, t.text)) {
                r.unclosed = t.text;
                break;
            }
            r.tokens.push_back(std::move(t));
        } else if (isDigit(c)) {
            const std::size_t start = i;
            while (i < sql.size() && (isDigit(sql[i]) || sql[i] == '.')) ++i;
            r.tokens.push_back({Kind::Number, std::string(sql.substr(start, i - start))});
        } else if (isWordStart(c)) {
            const std::size_t start = i;
            while (i < sql.size() && isWordChar(sql[i])) ++i;
            r.tokens.push_back({Kind::Word, std::string(sql.substr(start, i - start))});
        } else {
            r.tokens.push_back({Kind::Symbol, std::string(1, c)});
            ++i;
        }
    }
    r.tokens.push_back({Kind::End, {}});
    return r;
}

namespace {

struct SelectItem {
    bool count = false;
    bool star = false;
    std::string column;  // as spelled; empty for count(*)
    std::optional<std::string> alias;
};

struct Operand {
    enum class Kind { Literal, DbId, CurrentDbId } kind = Kind::Literal;
    Value value;
};

struct Condition {
    std::string column;
    Operand operand;
};

struct Statement {
    enum class Kind { Select, Use, AlterRecovery, ShrinkFile, Set } kind = Kind::Set;
    // SELECT
    std::vector<SelectItem> items;
    std::vector<std::string> table;
    std::optional<Condition> where;
    // USE / ALTER DATABASE
    std::string database;
    Recovery recovery = Recovery::Full;
    // DBCC SHRINKFILE
    std::string file;  // logical name, or a file id spelled as a number
    bool fileById = false;
    std::int64_t targetMb = 0;
    bool truncateOnly = false;
    bool noInfoMsgs = false;
};

bool startsStatement(const SqlToken& t) {
    if (t.kind != Kind::Word) return false;
    for (const char* kw : {"SELECT", "USE", "ALTER", "DBCC", "SET"}) {
        if (equalsNoCase(t.text, kw)) return true;
    }
    return false;
}

class Parser {
public:
    explicit Parser(const std::vector<SqlToken>& tokens) : t_(tokens) {}

    std::optional<std::vector<Statement>> batch() {
        std::vector<Statement> out;
        while (peek().kind != Kind::End) {
            if (symbol(';')) continue;
            Statement s;
            if (!statement(s)) return std::nullopt;
            if (peek().kind != Kind::End && !isSymbol(';') && !startsStatement(peek())) {
                return fail();
            }
            out.push_back(std::move(s));
        }
        return out;
    }

    // The text SQL Server names in "Incorrect syntax near '…'".
    std::string nearText() const {
        std::size_t at = failAt_;
        if (t_[at].kind == Kind::End && at > 0) --at;
        return t_[at].text;
    }

private:
    const SqlToken& peek(std::size_t ahead = 0) const {
        return t_[std::min(i_ + ahead, t_.size() - 1)];
    }
    bool isWord(const char* kw, std::size_t ahead = 0) const {
        const SqlToken& t = peek(ahead);
        return t.kind == Kind::Word && equalsNoCase(t.text, kw);
    }
    bool isSymbol(char c, std::size_t ahead = 0) const {
        const SqlToken& t = peek(ahead);
        return t.kind == Kind::Symbol && t.text[0] == c;
    }
    bool word(const char* kw) {
        if (!isWord(kw)) return false;
        ++i_;
        return true;
    }
    bool symbol(char c) {
        if (!isSymbol(c)) return false;
        ++i_;
        return true;
    }
    bool name(std::string& out) {
        const SqlToken& t = peek();
        if (t.kind != Kind::Word && t.kind != Kind::Quoted) return false;
        out = t.text;
        ++i_;
        return true;
    }
    std::nullopt_t fail() {
        failAt_ = std::min(i_, t_.size() - 1);
        return std::nullopt;
    }
    bool failed() {
        fail();
        return false;
    }

    bool statement(Statement& s) {
        if (word("SELECT")) return select(s);
        if (word("USE")) {
            s.kind = Statement::Kind::Use;
            return name(s.database) || failed();
        }
        if (word("ALTER")) return alter(s);
        if (word("DBCC")) return shrink(s);
        if (word("SET")) {
            // Session options the driver sets after login; accepted and ignored.
            s.kind = Statement::Kind::Set;
            if (peek().kind != Kind::Word) return failed();
            while (peek().kind != Kind::End && !isSymbol(';') && !startsStatement(peek())) {
                ++i_;
            }
            return true;
        }
        return failed();
    }

    bool select(Statement& s) {
        s.kind = Statement::Kind::Select;
        do {
            SelectItem item;
            if (symbol('*')) {
                item.star = true;
            } else if (isWord("COUNT") && isSymbol('(', 1)) {
                i_ += 2;
                item.count = true;
                if (!symbol('*') && !name(item.column)) return failed();
                if (!symbol(')')) return failed();
            } else if (!name(item.column)) {
                return failed();
            }
            std::string alias;
            if (word("AS")) {
                if (peek().kind == Kind::String || peek().kind == Kind::NString) {
                    alias = peek().text;
                    ++i_;
                } else if (!name(alias)) {
                    return failed();
                }
                item.alias = alias;
            } else if (peek().kind == Kind::Quoted ||
                       (peek().kind == Kind::Word && !isWord("FROM"))) {
                name(alias);
                item.alias = alias;
            }
            s.items.push_back(std::move(item));
        } while (symbol(','));
        if (!word("FROM")) return failed();
        std::string part;
        if (!name(part)) return failed();
        s.table.push_back(part);
        while (symbol('.')) {
            if (isSymbol('.')) {
                s.table.emplace_back();
                continue;
            }
            if (!name(part)) return failed();
            s.table.push_back(part);
        }
        if (word("WHERE")) {
            Condition c;
            if (!name(c.column) || !symbol('=') || !operand(c.operand)) return failed();
            s.where = std::move(c);
        }
        return true;
    }

    bool operand(Operand& o) {
        const SqlToken& t = peek();
        if (t.kind == Kind::String || t.kind == Kind::NString) {
            o.value = t.text;
            ++i_;
            return true;
        }
        if (t.kind == Kind::Number || (isSymbol('-') && peek(1).kind == Kind::Number)) {
            const bool negative = symbol('-');
            std::int64_t v = 0;
            const std::string& n = peek().text;
            std::from_chars(n.data(), n.data() + n.size(), v);
            o.value = negative ? -v : v;
            ++i_;
            return true;
        }
        if (isWord("DB_ID") && isSymbol('(', 1)) {
            i_ += 2;
            if (symbol(')')) {
                o.kind = Operand::Kind::CurrentDbId;
                return true;
            }
            const SqlToken& arg = peek();
            if (arg.kind != Kind::String && arg.kind != Kind::NString) return false;
            o.kind = Operand::Kind::DbId;
            o.value = arg.text;
            ++i_;
            return symbol(')');
        }
        return false;
    }

    bool alter(Statement& s) {
        s.kind = Statement::Kind::AlterRecovery;
        if (!word("DATABASE") || !name(s.database) || !word("SET") || !word("RECOVERY")) {
            return failed();
        }
        const SqlToken& t = peek();
        const auto r = t.kind == Kind::Word ? parseRecovery(t.text) : std::nullopt;
        if (!r) return failed();
        s.recovery = *r;
        ++i_;
        return true;
    }

    bool shrinkOption(Statement& s) {
        if (word("TRUNCATEONLY")) {
            s.truncateOnly = true;
            return true;
        }
        return word("NOTRUNCATE");
    }

    bool shrink(Statement& s) {
        s.kind = Statement::Kind::ShrinkFile;
        if (!word("SHRINKFILE") || !symbol('(')) return failed();
        const SqlToken& f = peek();
        if (f.kind == Kind::Number) {
            s.fileById = true;
        } else if (f.kind != Kind::String && f.kind != Kind::NString && f.kind != Kind::Word &&
                   f.kind != Kind::Quoted) {
            return failed();
        }
        s.file = f.text;
        ++i_;
        if (symbol(',')) {
            if (peek().kind == Kind::Number) {
                std::from_chars(peek().text.data(), peek().text.data() + peek().text.size(),
                                s.targetMb);
                ++i_;
                if (symbol(',') && !shrinkOption(s)) return failed();
            } else if (!shrinkOption(s)) {
                return failed();
            }
        }
        if (!symbol(')')) return failed();
        if (word("WITH")) {
            if (!word("NO_INFOMSGS")) return failed();
            s.noInfoMsgs = true;
        }
        return true;
    }

    const std::vector<SqlToken>& t_;
    std::size_t i_ = 0;
    std::size_t failAt_ = 0;
};

// ---- execution ----

constexpr std::uint16_t kCmdSelect = 0xC1;
constexpr std::uint16_t kCmdDbcc = 0xC4;

enum class Table { SysDatabases, Databases, MasterFiles, DatabaseFiles };

struct ColumnDef {
    const char* name;
    ColumnType type;
    int maxChars;
};

const std::vector<ColumnDef>& columnsOf(Table t) {
    static const std::vector<ColumnDef> sysdatabases = {
        {"name", ColumnType::NVarChar, 128},
        {"dbid", ColumnType::SmallInt, 0},
        {"filename", ColumnType::NVarChar, 260},
    };
    static const std::vector<ColumnDef> databases = {
        {"name", ColumnType::NVarChar, 128},
        {"database_id", ColumnType::Int, 0},
        {"state_desc", ColumnType::NVarChar, 60},
        {"recovery_model", ColumnType::Int, 0},
        {"recovery_model_desc", ColumnType::NVarChar, 60},
    };
    static const std::vector<ColumnDef> files = {
        {"database_id", ColumnType::Int, 0},
        {"file_id", ColumnType::Int, 0},
        {"type", ColumnType::Int, 0},
        {"type_desc", ColumnType::NVarChar, 60},
        {"name", ColumnType::NVarChar, 128},
        {"physical_name", ColumnType::NVarChar, 260},
        {"state_desc", ColumnType::NVarChar, 60},
        {"size", ColumnType::Int, 0},
    };
    switch (t) {
        case Table::SysDatabases:
            return sysdatabases;
        case Table::Databases:
            return databases;
        case Table::MasterFiles:
        case Table::DatabaseFiles:
            return files;
    }
    return files;
}

int findColumn(Table t, std::string_view name) {
    const auto& cols = columnsOf(t);
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (equalsNoCase(cols[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

std::int64_t recoveryNumber(Recovery r) {
    switch (r) {
        case Recovery::Full:
            return 1;
        case Recovery::BulkLogged:
            return 2;
        case Recovery::Simple:
            return 3;
    }
    return 1;
}

void appendFileRows(const State& state, const Database& db, std::vector<std::vector<Value>>& rows) {
    for (const DbFile& f : db.files) {
        const bool log = f.type == FileType::Log;
        rows.push_back({std::int64_t{db.id}, std::int64_t{f.fileId}, std::int64_t{log ? 1 : 0},
                        std::string(log ? "LOG" : "ROWS"), f.logicalName, reportedPath(state, f),
                        std::string("ONLINE"), currentPages(state, f)});
    }
}

bool valuesEqual(const Value& a, const Value& b) {
    if (std::holds_alternative<std::monostate>(a) || std::holds_alternative<std::monostate>(b)) {
        return false;
    }
    const auto* as = std::get_if<std::string>(&a);
    const auto* bs = std::get_if<std::string>(&b);
    if (as && bs) return equalsNoCase(*as, *bs);
    const auto* ai = std::get_if<std::int64_t>(&a);
    const auto* bi = std::get_if<std::int64_t>(&b);
    if (ai && bi) return *ai == *bi;
    // int against text: the text is converted to a number
    const std::string& text = as ? *as : *bs;
    const std::int64_t number = ai ? *ai : *bi;
    std::int64_t parsed = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), parsed);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() && parsed == number;
}

class Executor {
public:
    Executor(State& state, Session& session, tds::TokenWriter& out)
        : state_(state), session_(session), out_(out) {}

    // Returns false when the statement failed (its error is written).
    bool run(const Statement& s, std::uint16_t more) {
        switch (s.kind) {
            case Statement::Kind::Select:
                return select(s, more);
            case Statement::Kind::Use:
                return use(s, more);
            case Statement::Kind::AlterRecovery:
                return alter(s, more);
            case Statement::Kind::ShrinkFile:
                return shrink(s, more);
            case Statement::Kind::Set:
                out_.done(more, 0, 0);
                return true;
        }
        return false;
    }

    void error(std::int32_t number, std::uint8_t state, std::uint8_t severity,
               const std::string& text) {
        out_.message(true, number, state, severity, text, session_.serverName);
    }
    void info(std::int32_t number, std::uint8_t severity, const std::string& text) {
        out_.message(false, number, 1, severity, text, session_.serverName);
    }

private:
    std::optional<Table> resolveTable(const std::vector<std::string>& parts) {
        const auto part = [&](std::size_t fromEnd) {
            return parts.size() > fromEnd ? lowerAscii(parts[parts.size() - 1 - fromEnd])
                                          : std::string();
        };
        const std::string object = part(0);
        const std::string schema = part(1);
        const std::string database = part(2);
        if (parts.size() <= 3 && (database.empty() || state_.findDatabase(database))) {
            if (object == "sysdatabases" &&
                (schema.empty() || schema == "dbo" || schema == "sys")) {
                return Table::SysDatabases;
            }
            if (schema == "sys" && object == "databases") return Table::Databases;
            if (schema == "sys" && object == "master_files") return Table::MasterFiles;
            if (schema == "sys" && object == "database_files") return Table::DatabaseFiles;
        }
        std::string shown;
        for (std::size_t i = 0; i < parts.size(); ++i) shown += (i ? "." : "") + parts[i];
        error(208, 1, 16, "Invalid object name '" + shown + "'.");
        return std::nullopt;
    }

    Value evaluate(const Operand& o) {
        switch (o.kind) {
            case Operand::Kind::Literal:
                return o.value;
            case Operand::Kind::DbId: {
                const Database* db = state_.findDatabase(std::get<std::string>(o.value));
                return db ? Value{std::int64_t{db->id}} : Value{};
            }
            case Operand::Kind::CurrentDbId: {
                const Database* db = state_.findDatabase(session_.database);
                return db ? Value{std::int64_t{db->id}} : Value{};
            }
        }
        return {};
    }

    bool select(const Statement& s, std::uint16_t more) {
        const auto table = resolveTable(s.table);
        if (!table) return false;
        // Resolve the select list to output columns.
        struct Out {
            int source;  // column index, -1 for count
            Column column;
        };
        std::vector<Out> outs;
        bool counting = false;
        for (const SelectItem& item : s.items) {
            if (item.star) {
                for (std::size_t i = 0; i < columnsOf(*table).size(); ++i) {
                    const ColumnDef& d = columnsOf(*table)[i];
                    outs.push_back({static_cast<int>(i), {d.name, d.type, d.maxChars}});
                }
                continue;
            }
            int source = -1;
            if (!item.column.empty()) {
                source = findColumn(*table, item.column);
                if (source < 0) {
                    error(207, 1, 16, "Invalid column name '" + item.column + "'.");
                    return false;
                }
            }
            if (item.count) {
                counting = true;
                outs.push_back({-1, {item.alias.value_or(""), ColumnType::Int, 0}});
            } else {
                const ColumnDef& d = columnsOf(*table)[static_cast<std::size_t>(source)];
                outs.push_back({source, {item.alias.value_or(item.column), d.type, d.maxChars}});
            }
        }
        if (counting && outs.size() != 1) {
            error(8120, 1, 16,
                  "Column is invalid in the select list because it is not contained in either "
                  "an aggregate function or the GROUP BY clause.");
            return false;
        }
        int whereColumn = -1;
        Value whereValue;
        if (s.where) {
            whereColumn = findColumn(*table, s.where->column);
            if (whereColumn < 0) {
                error(207, 1, 16, "Invalid column name '" + s.where->column + "'.");
                return false;
            }
            whereValue = evaluate(s.where->operand);
        }

        // Only the columns the statement reads are filled in; the others stay NULL.
        std::vector<bool> needed(columnsOf(*table).size(), false);
        for (const Out& o : outs) {
            if (o.source >= 0) needed[static_cast<std::size_t>(o.source)] = true;
        }
        if (whereColumn >= 0) needed[static_cast<std::size_t>(whereColumn)] = true;
        std::vector<std::vector<Value>> rows;
        switch (*table) {
            case Table::SysDatabases:
                rows.reserve(state_.databases.size());
                for (const Database& db : state_.databases) {
                    std::vector<Value>& r = rows.emplace_back(3);
                    if (needed[0]) r[0] = db.name;
                    if (needed[1]) r[1] = std::int64_t{db.id};
                    if (needed[2] && !db.files.empty()) r[2] = reportedPath(state_, db.files[0]);
                }
                break;
            case Table::Databases:
                rows.reserve(state_.databases.size());
                for (const Database& db : state_.databases) {
                    std::vector<Value>& r = rows.emplace_back(5);
                    if (needed[0]) r[0] = db.name;
                    if (needed[1]) r[1] = std::int64_t{db.id};
                    if (needed[2]) r[2] = std::string("ONLINE");
                    if (needed[3]) r[3] = recoveryNumber(db.recovery);
                    if (needed[4]) r[4] = std::string(recoveryName(db.recovery));
                }
                break;
            case Table::MasterFiles: {
                // A filter on database_id needs only that database's files.
                const bool byId = whereColumn == 0;
                for (const Database& db : state_.databases) {
                    if (byId && !valuesEqual(Value{std::int64_t{db.id}}, whereValue)) continue;
                    appendFileRows(state_, db, rows);
                }
                break;
            }
            case Table::DatabaseFiles: {
                const Database* db = state_.findDatabase(session_.database);
                if (db) appendFileRows(state_, *db, rows);
                break;
            }
        }
        if (whereColumn >= 0) {
            std::erase_if(rows, [&](const std::vector<Value>& r) {
                return !valuesEqual(r[static_cast<std::size_t>(whereColumn)], whereValue);
            });
        }

        std::vector<Column> columns;
        for (const Out& o : outs) columns.push_back(o.column);
        out_.colMetadata(columns);
        if (counting) {
            std::int64_t n = 0;
            for (const auto& r : rows) {
                if (outs[0].source < 0 || !std::holds_alternative<std::monostate>(
                                              r[static_cast<std::size_t>(outs[0].source)])) {
                    ++n;
                }
            }
            out_.row(columns, {n});
            out_.done(tds::kDoneCount | more, kCmdSelect, 1);
            return true;
        }
        std::vector<Value> values(outs.size());
        for (const auto& r : rows) {
            for (std::size_t i = 0; i < outs.size(); ++i) {
                values[i] = r[static_cast<std::size_t>(outs[i].source)];
            }
            out_.row(columns, values);
        }
        out_.done(tds::kDoneCount | more, kCmdSelect, rows.size());
        return true;
    }

    bool use(const Statement& s, std::uint16_t more) {
        const Database* db = state_.findDatabase(s.database);
        if (!db) {
            error(911, 1, 16,
                  "Database '" + s.database +
                      "' does not exist. Make sure that the name is entered correctly.");
            return false;
        }
        const std::string old = session_.database;
        session_.database = db->name;
        out_.envChange(tds::kEnvDatabase, db->name, old);
        info(5701, 0, "Changed database context to '" + db->name + "'.");
        out_.done(more, 0, 0);
        return true;
    }

    bool alter(const Statement& s, std::uint16_t more) {
        Database* db = state_.findDatabase(s.database);
        if (!db) {
            error(5011, 5, 14,
                  "User does not have permission to alter database '" + s.database +
                      "', the database does not exist, or the database is not in a state that "
                      "allows access checks.");
            error(5069, 1, 16, "ALTER DATABASE statement failed.");
            return false;
        }
        if (equalsNoCase(db->name, "tempdb") && s.recovery != Recovery::Simple) {
            error(5058, 1, 16, "Option 'RECOVERY' cannot be set in database 'tempdb'.");
            return false;
        }
        db->recovery = s.recovery;
        out_.done(more, 0, 0);
        return true;
    }

    bool shrink(const Statement& s, std::uint16_t more) {
        Database* db = state_.findDatabase(session_.database);
        if (!db) {
            error(911, 1, 16,
                  "Database '" + session_.database +
                      "' does not exist. Make sure that the name is entered correctly.");
            return false;
        }
        DbFile* file = nullptr;
        if (s.fileById) {
            for (DbFile& f : db->files) {
                if (std::to_string(f.fileId) == s.file) file = &f;
            }
        } else {
            file = db->findFile(s.file);
        }
        if (!file) {
            error(8985, 1, 16,
                  "Could not locate file '" + s.file + "' for database '" + db->name +
                      "' in sys.database_files. The file either does not exist, or was "
                      "dropped. ");
            return false;
        }
        // A log keeps its active part unless SIMPLE recovery lets a checkpoint clear it.
        const bool simpleLog = file->type == FileType::Log && db->recovery == Recovery::Simple;
        if (simpleLog) file->activePages = std::min(file->activePages, file->minPages);
        const std::int64_t floor = std::max(file->minPages, file->activePages);
        const std::int64_t target =
            s.truncateOnly ? floor : std::max(floor, s.targetMb * (1024 * 1024 / kPageBytes));
        const std::int64_t current = currentPages(state_, *file);
        const std::int64_t after = std::min(current, target);
        if (after < current && !resizeFile(state_, *file, after)) {
            error(5054, 1, 16, "Could not cleanup deferred deallocations from filegroup.");
            return false;
        }
        const std::vector<Column> columns = {
            {"DbId", ColumnType::SmallInt, 0},   {"FileId", ColumnType::Int, 0},
            {"CurrentSize", ColumnType::Int, 0}, {"MinimumSize", ColumnType::Int, 0},
            {"UsedPages", ColumnType::Int, 0},   {"EstimatedPages", ColumnType::Int, 0},
        };
        out_.colMetadata(columns);
        out_.row(columns, {std::int64_t{db->id}, std::int64_t{file->fileId},
                           currentPages(state_, *file), file->minPages, floor, floor});
        if (s.noInfoMsgs) {
            out_.done(tds::kDoneCount | more, kCmdDbcc, 1);
            return true;
        }
        // DBCC closes its result set, then reports completion.
        out_.done(tds::kDoneCount | tds::kDoneMore, kCmdDbcc, 1);
        info(2528, 10,
             "DBCC execution completed. If DBCC printed error messages, contact your system "
             "administrator.");
        out_.done(more, kCmdDbcc, 0);
        return true;
    }

    State& state_;
    Session& session_;
    tds::TokenWriter& out_;
};

}  // namespace

bool runBatch(std::string_view sql, State& state, Session& session, tds::TokenWriter& out) {
    const TokenizeResult tokens = tokenize(sql);
    Executor exec(state, session, out);
    if (tokens.unclosed) {
        exec.error(
            105, 1, 15,
            "Unclosed quotation mark after the character string '" + *tokens.unclosed + "'.");
        exec.error(102, 1, 15, "Incorrect syntax near '" + *tokens.unclosed + "'.");
        out.done(tds::kDoneError, 0, 0);
        return false;
    }
    Parser parser(tokens.tokens);
    const auto statements = parser.batch();
    if (!statements) {
        exec.error(102, 1, 15, "Incorrect syntax near '" + parser.nearText() + "'.");
        out.done(tds::kDoneError, 0, 0);
        return false;
    }
    if (statements->empty()) {
        out.done(tds::kDoneFinal, 0, 0);
        return true;
    }
    for (std::size_t i = 0; i < statements->size(); ++i) {
        const bool last = i + 1 == statements->size();
        if (!exec.run((*statements)[i], last ? 0 : tds::kDoneMore)) {
            // An error ends the batch.
            out.done(tds::kDoneError, 0, 0);
            return false;
        }
    }
    return true;
}

void denyBatch(std::string_view sql, int errorNumber, const Session& session,
               tds::TokenWriter& out) {
    const TokenizeResult tokens = tokenize(sql);
    std::string database = session.database;
    const auto& t = tokens.tokens;
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i].kind == Kind::Word &&
            (equalsNoCase(t[i].text, "DATABASE") || equalsNoCase(t[i].text, "USE")) &&
            (t[i + 1].kind == Kind::Word || t[i + 1].kind == Kind::Quoted)) {
            database = t[i + 1].text;
            break;
        }
    }
    if (errorNumber == 5011) {
        out.message(true, 5011, 5, 14,
                    "User does not have permission to alter database '" + database +
                        "', the database does not exist, or the database is not in a state "
                        "that allows access checks.",
                    session.serverName);
    } else {
        out.message(true, errorNumber, 1, 16,
                    "User does not have permission to perform this action.", session.serverName);
    }
    out.done(tds::kDoneError, 0, 0);
}

}  // namespace karvath::standin
