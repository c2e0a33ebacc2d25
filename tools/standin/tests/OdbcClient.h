// A small ODBC client for the stand-in's tests: unixODBC + FreeTDS through the wide functions.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>
#include <vector>

namespace karvath::standin::test {

struct Diagnostic {
    std::string sqlState;
    long nativeError = 0;
    std::string message;
};

struct Result {
    bool ok = false;
    std::vector<std::string> columns;
    std::vector<SQLSMALLINT> types;  // SQL data types of the columns
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::vector<Diagnostic> diagnostics;  // errors and informational messages

    bool hasNative(long number) const;
    std::string messages() const;
};

class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // SQLDriverConnectW without prompting, login timeout in seconds.
    bool connect(const std::string& connectionString, int loginTimeout = 15);
    // SQLExecDirectW; every result set is read with SQLGetData(SQL_C_WCHAR).
    Result execute(const std::string& sql, int queryTimeout = 15);
    std::string currentCatalog();
    const std::vector<Diagnostic>& connectDiagnostics() const { return connectDiagnostics_; }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
    std::vector<Diagnostic> connectDiagnostics_;
};

// "ODBC;FILEDSN=<dir>/~sqlsrv.dsn;DRIVER=SQL Server;SERVER=127.0.0.1,<port>;UID=..;PWD=..;
// DATABASE=master;WSID=..;" with the DSN file written beside it as the product writes it.
std::string karvathConnectionString(const std::string& dsnDir, int port, const std::string& user,
                                    const std::string& password,
                                    const std::string& workstation = "PC01",
                                    const std::string& extra = "");

}  // namespace karvath::standin::test
