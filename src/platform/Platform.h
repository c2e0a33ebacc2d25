#pragma once

#include <cstdint>
#include <string>

#include "core/DateTime.h"

// The only door to the operating system. Paths are in the file system's own
// encoding (UTF-8 on Linux); file contents are raw bytes.
class Platform {
public:
    virtual ~Platform() = default;

    // Local wall-clock time, seconds truncated.
    virtual DateTime now() = 0;

    // Files.
    virtual bool exists(const std::string& path) = 0;               // file or directory
    virtual std::int64_t fileSize(const std::string& path) = 0;     // -1 when no file is there
    virtual bool readFile(const std::string& path, std::string& bytes) = 0;
    // Replaces the file's content so that a crash leaves either the old or the
    // new file, never a half-written one; keeps the old file's permissions.
    virtual bool replaceFile(const std::string& path, const std::string& bytes) = 0;
    // One write with exclusive access, creating or truncating the file.
    virtual bool writeFileExclusive(const std::string& path, const std::string& bytes) = 0;
    virtual bool removeFile(const std::string& path) = 0;
    // Makes the file private to its owner: the stand-in for a hidden attribute.
    virtual bool restrictToOwner(const std::string& path) = 0;
    // A text path (GBK, as the server reports it) in the file system's encoding.
    virtual std::string nativePath(const std::string& gbkPath) = 0;

    // Processes: how many running processes have this executable file name;
    // 0 when the process list cannot be read.
    virtual int countProcesses(const std::string& executableName) = 0;

    // Names and places.
    virtual std::string hostName() = 0;        // the machine's standard host name, empty on failure
    virtual std::string firstIPv4() = 0;       // first IPv4 address the host name resolves to, dotted; empty on failure
    virtual std::string computerName() = 0;    // at most 15 characters, empty on failure
    virtual std::string tempDirectory() = 0;   // with its trailing separator, empty on failure
    virtual std::string executablePath() = 0;  // full path of the running executable

    // Sets a variable of this process's environment unless it is set already
    // (the ODBC driver reads its defaults there).
    virtual void setEnvironmentDefault(const std::string& name, const std::string& value) = 0;

    // Start at logon for the current user.
    virtual bool registerAtLogon(const std::string& executablePath) = 0;
    virtual void unregisterAtLogon() = 0;
};
