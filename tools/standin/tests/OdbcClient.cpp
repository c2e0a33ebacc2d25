#include "OdbcClient.h"

#include <fstream>

#include "Text.h"

namespace karvath::standin::test {

namespace {

std::vector<SQLWCHAR> wide(const std::string& utf8) {
    const std::u16string s = utf8ToUtf16(utf8);
    std::vector<SQLWCHAR> out(s.begin(), s.end());
    out.push_back(0);
    return out;
}

std::string narrow(const SQLWCHAR* text, std::size_t units) {
    return utf16ToUtf8(std::u16string(text, text + units));
}

std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diagnostic> out;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, message,
                                            static_cast<SQLSMALLINT>(std::size(message)), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        out.push_back({narrow(state, 5), static_cast<long>(native),
                       narrow(message, static_cast<std::size_t>(std::min<SQLSMALLINT>(
                                           length, std::size(message) - 1)))});
    }
    return out;
}

}  // namespace

bool Result::hasNative(long number) const {
    for (const Diagnostic& d : diagnostics) {
        if (d.nativeError == number) return true;
    }
    return false;
}

std::string Result::messages() const {
    std::string out;
    for (const Diagnostic& d : diagnostics) {
        out += "[" + d.sqlState + "] " + std::to_string(d.nativeError) + " " + d.message + "\n";
    }
    return out;
}

OdbcConnection::OdbcConnection() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
}

OdbcConnection::~OdbcConnection() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

bool OdbcConnection::connect(const std::string& connectionString, int loginTimeout) {
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(loginTimeout)), 0);
    std::vector<SQLWCHAR> in = wide(connectionString);
    SQLWCHAR out[2048];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, in.data(), SQL_NTS, out,
                                           static_cast<SQLSMALLINT>(std::size(out)), &outLength,
                                           SQL_DRIVER_NOPROMPT);
    connectDiagnostics_ = diagnostics(SQL_HANDLE_DBC, dbc_);
    connected_ = SQL_SUCCEEDED(rc);
    return connected_;
}

Result OdbcConnection::execute(const std::string& sql, int queryTimeout) {
    Result r;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
        r.diagnostics = diagnostics(SQL_HANDLE_DBC, dbc_);
        return r;
    }
    SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(queryTimeout)), 0);
    std::vector<SQLWCHAR> text = wide(sql);
    SQLRETURN rc = SQLExecDirectW(stmt, text.data(), SQL_NTS);
    auto collect = [&] {
        for (Diagnostic& d : diagnostics(SQL_HANDLE_STMT, stmt)) r.diagnostics.push_back(d);
    };
    collect();
    r.ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    while (r.ok && rc != SQL_NO_DATA) {
        SQLSMALLINT count = 0;
        SQLNumResultCols(stmt, &count);
        if (count > 0 && r.columns.empty()) {
            for (SQLUSMALLINT c = 1; c <= count; ++c) {
                SQLWCHAR name[256] = {};
                SQLSMALLINT nameLength = 0;
                SQLSMALLINT type = 0;
                SQLULEN size = 0;
                SQLSMALLINT digits = 0;
                SQLSMALLINT nullable = 0;
                SQLDescribeColW(stmt, c, name, static_cast<SQLSMALLINT>(std::size(name)),
                                &nameLength, &type, &size, &digits, &nullable);
                r.columns.push_back(narrow(name, static_cast<std::size_t>(nameLength)));
                r.types.push_back(type);
            }
        }
        if (count > 0) {
            while (true) {
                rc = SQLFetch(stmt);
                if (rc == SQL_NO_DATA) {
                    collect();  // messages that follow the last row
                    break;
                }
                if (!SQL_SUCCEEDED(rc)) {
                    collect();
                    r.ok = false;
                    break;
                }
                std::vector<std::optional<std::string>> row;
                for (SQLUSMALLINT c = 1; c <= count; ++c) {
                    SQLWCHAR buffer[1024];
                    SQLLEN indicator = 0;
                    SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
                    if (indicator == SQL_NULL_DATA) {
                        row.emplace_back();
                    } else {
                        row.emplace_back(
                            narrow(buffer, static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR)));
                    }
                }
                r.rows.push_back(std::move(row));
            }
        }
        if (!r.ok) break;
        rc = SQLMoreResults(stmt);
        collect();
        if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) r.ok = false;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return r;
}

std::string OdbcConnection::currentCatalog() {
    SQLWCHAR name[256] = {};
    SQLINTEGER length = 0;
    if (!SQL_SUCCEEDED(
            SQLGetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, name, sizeof name, &length))) {
        return {};
    }
    return narrow(name, static_cast<std::size_t>(length) / sizeof(SQLWCHAR));
}

std::string karvathConnectionString(const std::string& dsnDir, int port, const std::string& user,
                                    const std::string& password, const std::string& workstation,
                                    const std::string& extra) {
    const std::string server = "127.0.0.1," + std::to_string(port);
    const std::string dsn = dsnDir + "/~sqlsrv.dsn";
    std::ofstream(dsn, std::ios::binary)
        << "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=" << server << "\r\nUID=" << user
        << "\r\nDATABASE=master\r\nWSID=" << workstation << "\r\n";
    return "ODBC;FILEDSN=" + dsn + ";DRIVER=SQL Server;SERVER=" + server + ";UID=" + user +
           ";PWD=" + password + ";DATABASE=master;WSID=" + workstation + ";" + extra;
}

}  // namespace karvath::standin::test
