#include "platform/PosixPlatform.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/Gbk.h"

namespace {

// Closes the descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(int fd, std::string& bytes) {
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    bytes.swap(content);
    return true;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isNumber(const char* s) {
    if (!*s) return false;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9') return false;
    }
    return true;
}

std::string readLink(const std::string& path) {
    std::string target(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The executable file name of a process: the target of its exe link (without
// the kernel's " (deleted)" mark for a replaced binary), else the first
// argument of its command line. Empty when neither can be read.
std::string processName(const std::string& processDirectory) {
    std::string exe = readLink(processDirectory + "/exe");
    if (!exe.empty()) {
        static const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.ends_with(deleted)) {
            exe.resize(exe.size() - deleted.size());
        }
        return baseName(exe);
    }
    Fd fd(::open((processDirectory + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC));
    std::string cmdline;
    if (!fd.valid() || !readAll(fd.get(), cmdline)) return {};
    const std::size_t nul = cmdline.find('\0');
    if (nul != std::string::npos) cmdline.resize(nul);
    return baseName(cmdline);
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

bool makeDirectories(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = directoryOf(path);
    if (parent != path && parent != "." && !makeDirectories(parent)) return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

DateTime PosixPlatform::now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    DateTime time;
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    time.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second stays within the minute
    time.dayOfWeek = local.tm_wday + 1;
    return time;
}

bool PosixPlatform::exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::int64_t PosixPlatform::fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool PosixPlatform::readFile(const std::string& path, std::string& bytes) {
    // Non-blocking open so that a FIFO in the file's place cannot hang the program.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return readAll(fd.get(), bytes);
}

bool PosixPlatform::replaceFile(const std::string& path, const std::string& bytes) {
    struct stat old {};
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    if (hadFile && !S_ISREG(old.st_mode)) return false;

    // The new content goes to a file beside the old one and is renamed over it
    // only once it is complete and on disk. Replacing an existing file, it starts
    // private and takes the old file's mode just before the rename.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temp = path + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, hadFile ? 0600 : 0666);
        if (raw < 0 && errno != EEXIST) return false;
    }
    Fd fd(raw);
    if (!fd.valid()) return false;
    bool ok = writeAll(fd.get(), bytes);
    if (ok && hadFile) {
        // Handing the file back to its owner only works for root; otherwise it is ours anyway.
        [[maybe_unused]] const int owned = ::fchown(fd.get(), old.st_uid, old.st_gid);
        ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    Fd directory(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.valid()) ::fsync(directory.get());
    return true;
}

bool PosixPlatform::writeFileExclusive(const std::string& path, const std::string& bytes) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) return false;
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    const bool ok = writeAll(fd.get(), bytes);
    return fd.close() && ok;
}

bool PosixPlatform::removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PosixPlatform::restrictToOwner(const std::string& path) {
    return ::chmod(path.c_str(), 0600) == 0;
}

std::string PosixPlatform::nativePath(const std::string& gbkPath) { return gbkToUtf8(gbkPath); }

int PosixPlatform::countProcesses(const std::string& executableName) {
    return countProcessesIn("/proc", executableName);
}

int PosixPlatform::countProcessesIn(const std::string& procDirectory, const std::string& name) {
    DIR* dir = ::opendir(procDirectory.c_str());
    if (!dir) return 0;
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isNumber(entry->d_name)) continue;
        const std::string process = processName(procDirectory + "/" + entry->d_name);
        if (!process.empty() && process == name) ++count;
    }
    ::closedir(dir);
    return count;
}

std::string PosixPlatform::hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string PosixPlatform::firstIPv4() {
    const std::string host = hostName();
    return host.empty() ? std::string() : firstIPv4Of(host);
}

std::string PosixPlatform::firstIPv4Of(const std::string& name) {
    if (name.empty()) return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
    std::string text;
    for (const addrinfo* a = found; a && text.empty(); a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr) continue;
        char buffer[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, buffer, sizeof buffer)) text = buffer;
    }
    ::freeaddrinfo(found);
    return text;
}

std::string PosixPlatform::computerName() {
    std::string name = hostName();
    return name.size() > 15 ? std::string() : name;
}

std::string PosixPlatform::tempDirectory() {
    std::string dir;
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
        dir = tmp;
    } else {
        dir = "/tmp";
    }
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string PosixPlatform::executablePath() { return readLink("/proc/self/exe"); }

std::string PosixPlatform::autostartFile() {
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        const std::string home = homeDirectory();
        if (home.empty()) return {};
        config = home + "/.config";
    }
    return config + "/autostart/karvath.desktop";
}

std::string PosixPlatform::desktopExecArgument(const std::string& path) {
    // Desktop Entry rules: an argument with a reserved character is quoted, and
    // inside the quotes " ` $ \ take a backslash. The string-value escaping comes
    // on top (a backslash is doubled again), and % is doubled as it starts field codes.
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = path.empty() || path.find_first_of(reserved) != std::string::npos;
    std::string argument;
    for (char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) argument += '\\';
        if (c == '%') argument += '%';
        argument += c;
    }
    if (quote) argument = "\"" + argument + "\"";
    std::string value;
    for (char c : argument) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

bool PosixPlatform::registerAtLogon(const std::string& executablePath) {
    const std::string file = autostartFile();
    if (file.empty() || executablePath.empty()) return false;
    if (!makeDirectories(directoryOf(file))) return false;
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Karvath\n"
        "Exec=" +
        desktopExecArgument(executablePath) +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    return replaceFile(file, entry);
}

void PosixPlatform::unregisterAtLogon() {
    const std::string file = autostartFile();
    if (!file.empty()) ::unlink(file.c_str());
}

void PosixPlatform::setEnvironmentDefault(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 0);
}
