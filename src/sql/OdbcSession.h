#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "sql/SqlSession.h"

// What one connection attempt writes to the DSN file and hands to the driver
// manager. All texts GBK.
struct ConnectText {
    std::string dsnContent;        // never holds the password
    std::string connectionString;  // starts with "ODBC;FILEDSN=", ends with ";"
};

// dsnPath as it appears in the string; the other four as the caller passes them.
// Empty login, password, database or workstation leave their keyword out; the
// server keyword is always there.
ConnectText buildConnectText(const std::string& dsnPath, const std::string& server,
                             const std::string& login, const std::string& password,
                             const std::string& database, const std::string& workstation);

// The kind a column of this ODBC SQL type reads as.
FieldValue::Kind fieldKindOf(int odbcSqlType);

// The session over an ODBC driver manager (unixODBC + FreeTDS here), talking to
// it only through the wide (UTF-16) functions so that GBK names survive whatever
// the process locale is.
//
// FreeTDS allows one pending result per connection, and the listings read a
// names result between other queries, so runQuery reads its whole first result
// set into memory; it stays readable until the session is closed or reopened.
// Handles are never reused within a session: a handle from before a reopen names
// no result set afterwards. A result set moved past its last row reads as empty
// texts. A NULL reads as an empty text.
class OdbcSession : public SqlSession {
public:
    static constexpr int kDefaultTimeoutSeconds = 15;

    explicit OdbcSession(Platform& platform);
    ~OdbcSession() override;
    OdbcSession(const OdbcSession&) = delete;
    OdbcSession& operator=(const OdbcSession&) = delete;

    // Seconds; the product keeps 15. A new login timeout applies from the next
    // openConnection, a new query timeout from the next query or statement.
    void setLoginTimeout(int seconds) { loginTimeout_ = seconds; }
    void setQueryTimeout(int seconds) { queryTimeout_ = seconds; }

    bool openConnection(const std::string& server, const std::string& login,
                        const std::string& password, const std::string& database) override;
    void closeConnection() override;
    ResultSet runQuery(const std::string& sql) override;
    void moveNext(ResultSet rs) override;
    FieldValue readField(ResultSet rs, const std::string& column) override;
    FieldValue readField(ResultSet rs, int position) override;
    bool executeStatement(const std::string& sql) override;

    bool isOpen() const { return connection_ != nullptr; }

    struct Connection;  // environment and connection handles
    struct Table;       // one result set, read whole

private:
    Table* find(ResultSet rs);

    Platform& platform_;
    int loginTimeout_ = kDefaultTimeoutSeconds;
    int queryTimeout_ = kDefaultTimeoutSeconds;
    std::unique_ptr<Connection> connection_;
    std::vector<Table> tables_;
    ResultSet firstHandle_ = 1;  // handle of tables_[0]
};
