#include "BareOdbcListing.h"

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

namespace {

std::u16string wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
SQLWCHAR* w(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

struct Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    ~Handles() {
        if (dbc) {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

// Runs a query on a fresh statement; the caller fetches, then closes it.
SQLHSTMT query(SQLHDBC dbc, const std::u16string& sql) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) return SQL_NULL_HSTMT;
    std::u16string text = sql;
    if (!SQL_SUCCEEDED(SQLExecDirectW(stmt, w(text), SQL_NTS))) {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return SQL_NULL_HSTMT;
    }
    return stmt;
}

void finish(SQLHSTMT stmt) {
    while (SQLMoreResults(stmt) == SQL_SUCCESS) {
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

std::u16string text(SQLHSTMT stmt, SQLUSMALLINT column) {
    SQLWCHAR buf[512];
    SQLLEN len = 0;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_WCHAR, buf, sizeof buf, &len)) ||
        len == SQL_NULL_DATA)
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(buf),
                          static_cast<std::size_t>(len) / sizeof(SQLWCHAR));
}

}  // namespace

int bareOdbcListing(const std::string& server, const std::string& login,
                    const std::string& password) {
    Handles h;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h.env))) return -1;
    SQLSetEnvAttr(h.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h.env, &h.dbc))) return -1;
    std::u16string connect = wide("DRIVER=SQL Server;SERVER=" + server + ";UID=" + login +
                                  ";PWD=" + password + ";DATABASE=master;");
    if (!SQL_SUCCEEDED(SQLDriverConnectW(h.dbc, nullptr, w(connect), SQL_NTS, nullptr, 0, nullptr,
                                         SQL_DRIVER_NOPROMPT)))
        return -1;

    SQLHSTMT count = query(h.dbc, u"SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES");
    if (!count) return -1;
    SQLINTEGER n = 0;
    if (SQL_SUCCEEDED(SQLFetch(count))) SQLGetData(count, 1, SQL_C_SLONG, &n, 0, nullptr);
    finish(count);

    // One pending result per connection: the names are read whole first.
    SQLHSTMT names = query(h.dbc, u"SELECT NAME FROM MASTER.DBO.SYSDATABASES");
    if (!names) return -1;
    std::vector<std::u16string> list;
    while (SQL_SUCCEEDED(SQLFetch(names))) list.push_back(text(names, 1));
    finish(names);

    int listed = 0;
    for (SQLINTEGER i = 0; i < n && i < static_cast<SQLINTEGER>(list.size()); ++i) {
        const std::u16string sql =
            u"select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
            u"sys.master_files where database_id=db_id(N'" +
            list[static_cast<std::size_t>(i)] + u"');";
        SQLHSTMT files = query(h.dbc, sql);
        if (!files) continue;
        std::u16string path;
        SQLINTEGER pages = 0;
        if (SQL_SUCCEEDED(SQLFetch(files)) && SQL_SUCCEEDED(SQLFetch(files))) {
            path = text(files, 3);
            SQLGetData(files, 5, SQL_C_SLONG, &pages, 0, nullptr);
        }
        finish(files);
        if (!path.empty()) ++listed;
    }
    return listed;
}
