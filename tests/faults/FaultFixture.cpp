#include "FaultFixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "core/Paths.h"

namespace faults {

using karvath::standin::Database;
using karvath::standin::Recovery;
using karvath::standin::State;

SilentListener::SilentListener() {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (socket_ < 0 ||
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_, 8) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
        while (!stop_) {
            pollfd p{socket_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            clients_.push_back(client);  // held open, never read or answered
            ++accepted_;
        }
    });
}

SilentListener::~SilentListener() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int client : clients_) ::close(client);
    if (socket_ >= 0) ::close(socket_);
}

Immutable::Immutable(std::string path) : path_(std::move(path)) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags |= FS_IMMUTABLE_FL;
        set_ = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
}

Immutable::~Immutable() { lift(); }

void Immutable::lift() {
    if (!set_) return;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0) set_ = false;
    }
    ::close(fd);
}

State systemState(const std::string& dataDir) {
    State s = State::withSystemDatabases();
    s.dataDir = dataDir;
    return s;
}

Database& addRealLog(State& s, const std::string& utf8Name, const std::string& utf8File,
                     std::int64_t pages, std::int64_t minPages, Recovery recovery) {
    Database& db = s.addDatabase(utf8Name, recovery);
    db.files[1].realFile = utf8File;
    db.files[1].sizePages = pages;
    db.files[1].minPages = minPages;
    db.files[1].activePages = minPages;
    return db;
}

FaultTest::FaultTest() {
    db.setLoginTimeout(kTimeoutSeconds);
    db.setQueryTimeout(kTimeoutSeconds);
    view.setSink(&dispatcher);
}

void FaultTest::serve(State s) {
    standin_ = std::make_unique<Standin>(std::move(s));
    ASSERT_TRUE(standin_->started()) << standin_->server().lastError();
}

void FaultTest::start() { view.loadWindow(Window::Main, false); }

void FaultTest::typeLogin(const std::string& server, const std::string& password) {
    view.type(编辑框_IP, server);
    view.type(编辑框_用户名, Standin::kLogin);
    view.type(编辑框_密码, password);
}

void FaultTest::connect(bool local) {
    if (local) os.ipv4 = serverText();
    typeLogin(serverText());
    view.click(按钮_连接);
    ASSERT_FALSE(view.messages().empty());
    ASSERT_EQ(view.messages().back().text, "连接成功");
}

void FaultTest::choose(const std::string& gbkName) {
    const Texts all = items();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i] == gbkName) view.choose(组合框_库名, static_cast<int>(i));
    ASSERT_EQ(state.selectedDatabase, gbkName);
}

void FaultTest::armDailyCheck(int hour, int minute, int second) {
    view.click(选择框_每天);
    view.type(编辑框_时, std::to_string(hour));
    view.type(编辑框_分, std::to_string(minute));
    view.type(编辑框_秒, std::to_string(second));
    view.click(选择框1);
    ASSERT_EQ(view.state(时钟1).period, 1000);
}

namespace {

const std::string kForeignLines = "[备注]\r\n说明=手工写的一行\r\nkeep=this line\r\n";

}  // namespace

void FaultTest::seedHistory() {
    std::ofstream(settingsFile(), std::ios::binary) << kForeignLines;
    view.appendText(编辑框_log, kSeededLog);
}

void FaultTest::expectHistoryKept() {
    EXPECT_NE(settingsBytes().find(kForeignLines), std::string::npos) << settingsBytes();
    EXPECT_EQ(activityLog().rfind(kSeededLog, 0), 0u) << activityLog();
}

void FaultTest::expectReadyToConnect() {
    EXPECT_EQ(view.state(按钮_连接).text, "连接");
    EXPECT_TRUE(view.state(按钮_连接).enabled);
    for (Control box : {编辑框_IP, 编辑框_用户名, 编辑框_密码, 按钮_获取本机ip})
        EXPECT_TRUE(view.state(box).enabled) << box;
    EXPECT_FALSE(view.state(按钮_一键清理).enabled);
    EXPECT_FALSE(view.state(透明标签_log状态).enabled);
}

void FaultTest::expectCleanupFinished() {
    EXPECT_TRUE(view.state(按钮_一键清理).enabled);
    EXPECT_EQ(view.state(按钮_一键清理).text, "一键清理");
    EXPECT_EQ(view.state(透明标签_loading).text, "Loading");
    EXPECT_EQ(view.state(进度条1).position, 100);
}

std::string FaultTest::settingsFile() const { return settingsPath(os.directory()); }

std::string FaultTest::settingsBytes() const {
    std::ifstream in(settingsFile(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string FaultTest::logFile() const { return activityLogPath(os.directory()); }

Texts FaultTest::statementsSince(std::size_t from) {
    const Texts all = server().statementTexts();
    Texts out;
    for (std::size_t i = from; i < all.size(); ++i) {
        const std::string& sql = all[i];
        bool query = false;
        for (const char* q :
             {"select database_id,name,physical_name AS CurrentLocation", "SELECT count(NAME) FROM",
              "SELECT NAME FROM", "SELECT count(name) FROM", "SELECT Name FROM"})
            query = query || sql.rfind(q, 0) == 0;
        if (!query) out.push_back(sql);
    }
    return out;
}

}  // namespace faults
