#include "core/Paths.h"

#include "platform/Platform.h"

namespace {

// File names on disk are UTF-8 whatever the execution character set.
std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

}  // namespace

Paths Paths::fromExecutable(const std::string& executablePath) {
    // A POSIX path only knows "/"; a Windows path may mix "\" and "/".
    const bool posix = !executablePath.empty() && executablePath.front() == '/';
    const std::size_t cut = posix ? executablePath.rfind('/') : executablePath.find_last_of("\\/");
    if (cut == std::string::npos) return Paths{"", executablePath};
    return Paths{executablePath.substr(0, cut), executablePath.substr(cut + 1)};
}

Paths Paths::current(Platform& os) { return fromExecutable(os.executablePath()); }

std::string settingsPath(const std::string& runDirectory) {
    return runDirectory + utf8(u8"/配置文件.ini");
}

std::string activityLogPath(const std::string& runDirectory) {
    return runDirectory + utf8(u8"/log.txt");
}
