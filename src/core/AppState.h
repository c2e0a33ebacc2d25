#pragma once

#include <string>

// The program's one record, alive for the whole run and empty at start.
// Every text is GBK bytes.
struct AppState {
    std::string connectResult;     // "连接成功" or "连接失败", written by the connect workflow only
    std::string serverAddress;     // trimmed login of the last connect attempt that passed validation
    std::string userName;
    std::string password;
    std::string logFilePath;       // working storage of the log-status listings and measurements
    std::string logFileName;
    std::string selectedDatabase;  // the database chosen in 组合框_库名

    void release() { *this = AppState{}; }
};
