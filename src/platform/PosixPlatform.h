#pragma once

#include "platform/Platform.h"

// The platform on Linux and other POSIX systems.
//
// hostName() is the raw gethostname() result, however long; callers that need
// the 15-character rule apply it. computerName() stands in for the NetBIOS
// computer name: the host name as it is, or empty when it has more than 15
// characters. "Hidden" is owner-only permissions (0600). Start at logon is an
// XDG autostart entry, $XDG_CONFIG_HOME/autostart/karvath.desktop (default
// ~/.config/autostart). Every method is virtual, so tests may replace names.
class PosixPlatform : public Platform {
public:
    DateTime now() override;

    bool exists(const std::string& path) override;
    std::int64_t fileSize(const std::string& path) override;
    bool readFile(const std::string& path, std::string& bytes) override;
    bool replaceFile(const std::string& path, const std::string& bytes) override;
    bool writeFileExclusive(const std::string& path, const std::string& bytes) override;
    bool removeFile(const std::string& path) override;
    bool restrictToOwner(const std::string& path) override;
    std::string nativePath(const std::string& gbkPath) override;

    int countProcesses(const std::string& executableName) override;

    std::string hostName() override;
    std::string firstIPv4() override;
    std::string computerName() override;
    std::string tempDirectory() override;
    std::string executablePath() override;

    void setEnvironmentDefault(const std::string& name, const std::string& value) override;
    bool registerAtLogon(const std::string& executablePath) override;
    void unregisterAtLogon() override;

    // The pieces behind the methods above, open to tests.
    static std::string firstIPv4Of(const std::string& name);  // empty when it does not resolve
    static int countProcessesIn(const std::string& procDirectory, const std::string& name);
    static std::string autostartFile();  // full path of the desktop entry
    static std::string desktopExecArgument(const std::string& path);  // quoted and escaped
};
