#include "sql/OdbcSession.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <climits>
#include <cstring>
#include <utility>

#include "platform/Gbk.h"

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use 16-bit SQLWCHAR");

ConnectText buildConnectText(const std::string& dsnPath, const std::string& server,
                             const std::string& login, const std::string& password,
                             const std::string& database, const std::string& workstation) {
    ConnectText t;
    t.dsnContent = "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=" + server;
    t.connectionString = "ODBC;FILEDSN=" + dsnPath + ";DRIVER=SQL Server;SERVER=" + server;
    if (!login.empty()) {
        t.dsnContent += "\r\nUID=" + login;
        t.connectionString += ";UID=" + login;
    }
    if (!password.empty()) t.connectionString += ";PWD=" + password;
    if (!database.empty()) {
        t.dsnContent += "\r\nDATABASE=" + database;
        t.connectionString += ";DATABASE=" + database;
    }
    if (!workstation.empty()) {
        t.dsnContent += "\r\nWSID=" + workstation;
        t.connectionString += ";WSID=" + workstation;
    }
    t.dsnContent += "\r\n";
    t.connectionString += ";";
    return t;
}

namespace {

// One ODBC handle, freed with its owner.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
    }
    ~Handle() { reset(); }
    Handle(Handle&& o) noexcept : type_(o.type_), handle_(std::exchange(o.handle_, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            reset();
            type_ = o.type_;
            handle_ = std::exchange(o.handle_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
    void reset() {
        if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
        handle_ = SQL_NULL_HANDLE;
    }

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

std::u16string wide(const std::string& gbk) { return gbkToUtf16(gbk); }

SQLWCHAR* sqlw(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

SQLPOINTER intAttr(long value) { return reinterpret_cast<SQLPOINTER>(value); }

}  // namespace

struct OdbcSession::Connection {
    Handle env;  // declared first: freed after the connection handle
    Handle dbc;
    bool connected = false;

    ~Connection() {
        if (connected) SQLDisconnect(dbc.get());
    }
};

struct OdbcSession::Table {
    std::vector<std::string> names;  // GBK
    std::vector<std::vector<FieldValue>> rows;
    std::size_t current = 0;  // rows.size() once moved past the last row
};

namespace {

using Table = OdbcSession::Table;

// A statement handle with the session's query timeout.
Handle newStatement(SQLHDBC dbc, int queryTimeout) {
    Handle stmt(SQL_HANDLE_STMT, dbc);
    if (stmt) SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT, intAttr(queryTimeout), 0);
    return stmt;
}

bool execute(SQLHSTMT stmt, const std::string& sql, SQLRETURN& rc) {
    std::u16string text = wide(sql);
    rc = SQLExecDirectW(stmt, sqlw(text), static_cast<SQLINTEGER>(text.size()));
    // SQL_NO_DATA: the statement ran and produced nothing (ALTER DATABASE with FreeTDS).
    return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
}

}  // namespace

FieldValue::Kind fieldKindOf(int sqlType) {
    using K = FieldValue::Kind;
    switch (sqlType) {
        case SQL_INTEGER:
            return K::Int;
        case SQL_SMALLINT:
            return K::Short;
        case SQL_TINYINT:
            return K::Byte;
        case SQL_REAL:
            return K::Float;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return K::Double;
        case SQL_BIT:
            return K::Bool;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIME:
        case SQL_TIMESTAMP:
        case -154:  // SQL_SS_TIME2, SQL Server's time
        case -155:  // SQL_SS_TIMESTAMPOFFSET, datetimeoffset
            return K::DateTime;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return K::Bytes;
        default:
            // The character types, numeric, decimal, bigint, and anything the
            // driver adds (uniqueidentifier, xml, sql_variant) read as text.
            return K::Text;
    }
}

namespace {

// Reads a text or binary column in pieces; false on a driver error.
// Sets isNull for a NULL value.
bool readLong(SQLHSTMT stmt, SQLUSMALLINT col, bool binary, std::string& out, bool& isNull) {
    constexpr SQLLEN kChunk = 512;  // bytes; catalogue texts mostly fit in one piece
    std::u16string text;
    std::string bytes;
    std::vector<char> buf(kChunk + sizeof(SQLWCHAR));
    isNull = false;
    for (;;) {
        SQLLEN ind = 0;
        SQLRETURN rc =
            SQLGetData(stmt, col, binary ? SQL_C_BINARY : SQL_C_WCHAR, buf.data(), kChunk, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) return false;
        if (ind == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        // Room for data in this call: text leaves space for its terminator.
        SQLLEN room = binary ? kChunk : kChunk - static_cast<SQLLEN>(sizeof(SQLWCHAR));
        SQLLEN got = (ind == SQL_NO_TOTAL || ind > room) ? room : ind;
        if (binary) {
            bytes.append(buf.data(), static_cast<std::size_t>(got));
        } else {
            std::size_t n = static_cast<std::size_t>(got) / sizeof(char16_t);
            std::size_t at = text.size();
            text.resize(at + n);
            std::memcpy(text.data() + at, buf.data(), n * sizeof(char16_t));
        }
        if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: truncated, more to come
    }
    out = binary ? std::move(bytes) : utf16ToGbk(text);
    return true;
}

bool readValue(SQLHSTMT stmt, SQLUSMALLINT col, FieldValue::Kind kind, FieldValue& v) {
    using K = FieldValue::Kind;
    SQLLEN ind = 0;
    SQLRETURN rc = SQL_SUCCESS;
    v.kind = kind;
    switch (kind) {
        case K::Int: {
            SQLINTEGER x = 0;
            rc = SQLGetData(stmt, col, SQL_C_SLONG, &x, 0, &ind);
            v.integer = x;
            break;
        }
        case K::Short: {
            SQLSMALLINT x = 0;
            rc = SQLGetData(stmt, col, SQL_C_SSHORT, &x, 0, &ind);
            v.integer = x;
            break;
        }
        case K::Byte: {
            SQLCHAR x = 0;
            rc = SQLGetData(stmt, col, SQL_C_UTINYINT, &x, 0, &ind);
            v.integer = x;
            break;
        }
        case K::Bool: {
            SQLCHAR x = 0;
            rc = SQLGetData(stmt, col, SQL_C_BIT, &x, 0, &ind);
            v.integer = x;
            break;
        }
        case K::Float: {
            SQLREAL x = 0;
            rc = SQLGetData(stmt, col, SQL_C_FLOAT, &x, 0, &ind);
            v.real = x;
            break;
        }
        case K::Double: {
            SQLDOUBLE x = 0;
            rc = SQLGetData(stmt, col, SQL_C_DOUBLE, &x, 0, &ind);
            v.real = x;
            break;
        }
        case K::Text:
        case K::DateTime:
        case K::Bytes: {
            bool isNull = false;
            if (!readLong(stmt, col, kind == K::Bytes, v.text, isNull)) return false;
            if (isNull) v = FieldValue{};
            return true;
        }
    }
    if (!SQL_SUCCEEDED(rc)) return false;
    if (ind == SQL_NULL_DATA) v = FieldValue{};
    return true;
}

// Reads the current result of stmt whole (names, kinds, every row).
bool readTable(SQLHSTMT stmt, SQLSMALLINT columns, Table& table) {
    std::vector<FieldValue::Kind> kinds;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        std::u16string name(128, u'\0');
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        for (;;) {
            SQLRETURN rc = SQLDescribeColW(stmt, c, reinterpret_cast<SQLWCHAR*>(name.data()),
                                           static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                           &type, &size, &digits, &nullable);
            if (!SQL_SUCCEEDED(rc)) return false;
            if (nameLength < static_cast<SQLSMALLINT>(name.size())) break;
            name.assign(static_cast<std::size_t>(nameLength) + 1, u'\0');
        }
        name.resize(static_cast<std::size_t>(nameLength));
        table.names.push_back(utf16ToGbk(name));
        kinds.push_back(fieldKindOf(type));
    }
    for (;;) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc)) return false;
        std::vector<FieldValue> row(kinds.size());
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            if (!readValue(stmt, static_cast<SQLUSMALLINT>(i + 1), kinds[i], row[i])) return false;
        }
        table.rows.push_back(std::move(row));
    }
}

// Fetches every row of every remaining result; false when any of them failed.
bool drain(SQLHSTMT stmt) {
    for (;;) {
        SQLSMALLINT columns = 0;
        if (SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns)) && columns > 0) {
            SQLRETURN rc;
            while (SQL_SUCCEEDED(rc = SQLFetch(stmt))) {
            }
            if (rc != SQL_NO_DATA) return false;
        }
        SQLRETURN rc = SQLMoreResults(stmt);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc)) return false;
    }
}

}  // namespace

OdbcSession::OdbcSession(Platform& platform) : platform_(platform) {
    // FreeTDS, when not told which protocol to speak, retries a login that
    // timed out in Sybase's TDS 5.0, and its logout from a server that never
    // answers then waits for ever: a silent server would hang the program
    // past every timeout. SQL Server speaks TDS 7, so say so, unless the
    // user's environment has chosen a version already.
    platform_.setEnvironmentDefault("TDSVER", "7.4");
}

OdbcSession::~OdbcSession() { closeConnection(); }

bool OdbcSession::openConnection(const std::string& server, const std::string& login,
                                 const std::string& password, const std::string& database) {
    const std::string workstation = platform_.computerName();
    const std::string dsnPath = platform_.tempDirectory() + "~sqlsrv.dsn";
    // The platform's paths are UTF-8; the connection string is GBK like every other text.
    const ConnectText text =
        buildConnectText(utf8ToGbk(dsnPath), server, login, password, database, workstation);
    platform_.writeFileExclusive(dsnPath, text.dsnContent);  // unchecked: the attempt goes on

    auto fresh = std::make_unique<Connection>();
    fresh->env = Handle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (fresh->env) {
        SQLSetEnvAttr(fresh->env.get(), SQL_ATTR_ODBC_VERSION, intAttr(SQL_OV_ODBC3), 0);
        fresh->dbc = Handle(SQL_HANDLE_DBC, fresh->env.get());
    }
    if (fresh->dbc) {
        SQLHDBC dbc = fresh->dbc.get();
        SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, intAttr(loginTimeout_), 0);
        SQLSetConnectAttr(dbc, SQL_ATTR_ACCESS_MODE, intAttr(SQL_MODE_READ_WRITE), 0);
        std::u16string in = wide(text.connectionString);
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        SQLRETURN rc = SQLDriverConnectW(
            dbc, nullptr, sqlw(in), static_cast<SQLSMALLINT>(in.size()), out,
            static_cast<SQLSMALLINT>(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
        fresh->connected = SQL_SUCCEEDED(rc);
    }

    platform_.removeFile(dsnPath);
    if (!fresh->connected) return false;
    closeConnection();
    connection_ = std::move(fresh);
    return true;
}

void OdbcSession::closeConnection() {
    // Handles of the released result sets are not given out again.
    const long next = static_cast<long>(firstHandle_) + static_cast<long>(tables_.size());
    firstHandle_ = next > INT_MAX / 2 ? 1 : static_cast<ResultSet>(next);
    tables_.clear();
    connection_.reset();
}

ResultSet OdbcSession::runQuery(const std::string& sql) {
    if (sql.empty() || !connection_) return 0;
    Handle stmt = newStatement(connection_->dbc.get(), queryTimeout_);
    if (!stmt) return 0;
    SQLRETURN rc;
    if (!execute(stmt.get(), sql, rc)) return 0;

    Table table;
    if (rc != SQL_NO_DATA) {
        // The first result with columns is the result set; counts before it are skipped.
        for (;;) {
            SQLSMALLINT columns = 0;
            if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns))) return 0;
            if (columns > 0) {
                if (!readTable(stmt.get(), columns, table)) return 0;
                break;
            }
            rc = SQLMoreResults(stmt.get());
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) return 0;
        }
        // Whatever follows is read and dropped so the connection is free for the next query.
        SQLRETURN more = SQLMoreResults(stmt.get());
        if (SQL_SUCCEEDED(more)) drain(stmt.get());
    }
    tables_.push_back(std::move(table));
    return firstHandle_ + static_cast<ResultSet>(tables_.size()) - 1;
}

OdbcSession::Table* OdbcSession::find(ResultSet rs) {
    if (rs < firstHandle_) return nullptr;
    const std::size_t index = static_cast<std::size_t>(rs - firstHandle_);
    return index < tables_.size() ? &tables_[index] : nullptr;
}

void OdbcSession::moveNext(ResultSet rs) {
    Table* t = find(rs);
    if (t && t->current < t->rows.size()) ++t->current;
}

FieldValue OdbcSession::readField(ResultSet rs, const std::string& column) {
    Table* t = find(rs);
    if (!t) return {};
    for (std::size_t i = 0; i < t->names.size(); ++i) {
        if (t->names[i] == column) return readField(rs, static_cast<int>(i + 1));
    }
    return {};
}

FieldValue OdbcSession::readField(ResultSet rs, int position) {
    Table* t = find(rs);
    if (!t || position < 1 || t->current >= t->rows.size()) return {};
    const auto& row = t->rows[t->current];
    const std::size_t index = static_cast<std::size_t>(position - 1);
    return index < row.size() ? row[index] : FieldValue{};
}

bool OdbcSession::executeStatement(const std::string& sql) {
    if (sql.empty() || !connection_) return false;
    Handle stmt = newStatement(connection_->dbc.get(), queryTimeout_);
    if (!stmt) return false;
    SQLRETURN rc;
    if (!execute(stmt.get(), sql, rc)) return false;
    if (rc == SQL_NO_DATA) return true;
    return drain(stmt.get());
}
