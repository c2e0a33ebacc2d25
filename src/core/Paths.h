#pragma once

#include <string>

class Platform;

// Where the program's files are, derived once at start from the executable's
// own path. Paths are in the file system's encoding (UTF-8 on Linux).
struct Paths {
    std::string runDirectory;    // no trailing separator; "C:" for C:\x.exe, "" for /x
    std::string executableName;  // the part after the last separator

    static Paths fromExecutable(const std::string& executablePath);
    static Paths current(Platform& os);
};

// runDirectory + "/配置文件.ini"
std::string settingsPath(const std::string& runDirectory);
// runDirectory + "/log.txt"
std::string activityLogPath(const std::string& runDirectory);
