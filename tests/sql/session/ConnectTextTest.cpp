#include <gtest/gtest.h>

#include <string>

#include "sql/OdbcSession.h"

namespace {

struct Case {
    const char* name;
    std::string dsnPath, server, login, password, database, workstation;
    std::string connectionString;
    std::string dsnContent;
};

class ConnectTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(ConnectTextTest, BuildsStringAndDsnContent) {
    const Case& c = GetParam();
    const ConnectText t =
        buildConnectText(c.dsnPath, c.server, c.login, c.password, c.database, c.workstation);
    EXPECT_EQ(t.connectionString, c.connectionString);
    EXPECT_EQ(t.dsnContent, c.dsnContent);
    EXPECT_EQ(t.dsnContent.find("PWD"), std::string::npos);
    if (!c.password.empty()) {
        EXPECT_EQ(t.dsnContent.find(c.password), std::string::npos) << "password in the DSN file";
    }
}

const Case kCases[] = {
    {"AllParts", "C:\\Temp\\~sqlsrv.dsn", "10.0.0.5", "sa", "pw!9", "master", "PC01",
     "ODBC;FILEDSN=C:\\Temp\\~sqlsrv.dsn;DRIVER=SQL Server;SERVER=10.0.0.5;UID=sa;PWD=pw!9;"
     "DATABASE=master;WSID=PC01;",
     "[ODBC]\r\nDRIVER=SQL "
     "Server\r\nSERVER=10.0.0.5\r\nUID=sa\r\nDATABASE=master\r\nWSID=PC01\r\n"},
    {"EmptyServerKeepsKeyword", "/tmp/~sqlsrv.dsn", "", "sa", "x", "master", "PC01",
     "ODBC;FILEDSN=/tmp/~sqlsrv.dsn;DRIVER=SQL Server;SERVER=;UID=sa;PWD=x;DATABASE=master;"
     "WSID=PC01;",
     "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=\r\nUID=sa\r\nDATABASE=master\r\nWSID=PC01\r\n"},
    {"EmptyLoginLeavesUidOut", "/tmp/~sqlsrv.dsn", "db1", "", "x", "master", "PC01",
     "ODBC;FILEDSN=/tmp/~sqlsrv.dsn;DRIVER=SQL Server;SERVER=db1;PWD=x;DATABASE=master;WSID=PC01;",
     "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=db1\r\nDATABASE=master\r\nWSID=PC01\r\n"},
    {"EmptyPasswordLeavesPwdOut", "/tmp/~sqlsrv.dsn", "db1", "sa", "", "master", "PC01",
     "ODBC;FILEDSN=/tmp/~sqlsrv.dsn;DRIVER=SQL Server;SERVER=db1;UID=sa;DATABASE=master;WSID=PC01;",
     "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=db1\r\nUID=sa\r\nDATABASE=master\r\nWSID=PC01\r\n"},
    {"NoComputerNameNoWsid", "/tmp/~sqlsrv.dsn", "db1", "sa", "x", "master", "",
     "ODBC;FILEDSN=/tmp/~sqlsrv.dsn;DRIVER=SQL Server;SERVER=db1;UID=sa;PWD=x;DATABASE=master;",
     "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=db1\r\nUID=sa\r\nDATABASE=master\r\n"},
    {"EmptyDatabaseLeftOut", "/tmp/~sqlsrv.dsn", "db1", "sa", "x", "", "PC01",
     "ODBC;FILEDSN=/tmp/~sqlsrv.dsn;DRIVER=SQL Server;SERVER=db1;UID=sa;PWD=x;WSID=PC01;",
     "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=db1\r\nUID=sa\r\nWSID=PC01\r\n"},
    {"OnlyServer", "~sqlsrv.dsn", "127.0.0.1,1433", "", "", "", "",
     "ODBC;FILEDSN=~sqlsrv.dsn;DRIVER=SQL Server;SERVER=127.0.0.1,1433;",
     "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=127.0.0.1,1433\r\n"},
    // GBK bytes pass through untouched.
    {"GbkTexts", "/tmp/~sqlsrv.dsn", "服务器", "销售员", "口令9", "销售库", "PC01",
     "ODBC;FILEDSN=/tmp/~sqlsrv.dsn;DRIVER=SQL Server;SERVER=服务器;UID=销售员;PWD=口令9;"
     "DATABASE=销售库;WSID=PC01;",
     "[ODBC]\r\nDRIVER=SQL "
     "Server\r\nSERVER=服务器\r\nUID=销售员\r\nDATABASE=销售库\r\nWSID=PC01\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConnectTextTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
