// MS-TDS framing and the server-side token stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace karvath::standin::tds {

using Bytes = std::vector<std::uint8_t>;

enum PacketType : std::uint8_t {
    kSqlBatch = 0x01,
    kPreTds7Login = 0x02,
    kRpc = 0x03,
    kTabularResult = 0x04,
    kAttention = 0x06,
    kTransactionManager = 0x0E,
    kLogin7 = 0x10,
    kSspi = 0x11,
    kPrelogin = 0x12,
};

inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::uint8_t kStatusEom = 0x01;
inline constexpr std::uint32_t kDefaultPacketSize = 4096;

inline constexpr std::uint32_t kTds71 = 0x71000001;
inline constexpr std::uint32_t kTds72 = 0x72090002;
inline constexpr std::uint32_t kTds73A = 0x730A0003;
inline constexpr std::uint32_t kTds73B = 0x730B0003;
inline constexpr std::uint32_t kTds74 = 0x74000004;

enum DoneStatus : std::uint16_t {
    kDoneFinal = 0x0000,
    kDoneMore = 0x0001,
    kDoneError = 0x0002,
    kDoneCount = 0x0010,
    kDoneAttn = 0x0020,
    kDoneSrvError = 0x0100,
};

enum EnvChangeType : std::uint8_t {
    kEnvDatabase = 1,
    kEnvLanguage = 2,
    kEnvPacketSize = 4,
    kEnvCollation = 7,
};

// A result column of the few types the catalogue needs.
enum class ColumnType { Int, SmallInt, NVarChar };
struct Column {
    std::string name;
    ColumnType type = ColumnType::Int;
    int maxChars = 128;  // NVarChar only
};
using Value = std::variant<std::monostate, std::int64_t, std::string>;  // monostate = NULL

// Wraps `payload` into packets of at most `packetSize` bytes each, the last one marked EOM.
Bytes framePackets(std::uint8_t type, const Bytes& payload, std::uint32_t packetSize,
                   std::uint16_t spid);

// Builds a token stream for one response message. Field widths follow the negotiated version.
class TokenWriter {
public:
    explicit TokenWriter(std::uint32_t tdsVersion) : version_(tdsVersion) {}

    void envChange(EnvChangeType type, std::string_view newValue, std::string_view oldValue);
    void envChangeCollation();
    // INFO (error = false) or ERROR.
    void message(bool error, std::int32_t number, std::uint8_t state, std::uint8_t severity,
                 std::string_view text, std::string_view serverName);
    void loginAck(std::uint32_t tdsVersion);
    void featureExtAck();
    void colMetadata(const std::vector<Column>& columns);
    void row(const std::vector<Column>& columns, const std::vector<Value>& values);
    void done(std::uint16_t status, std::uint16_t curCmd, std::uint64_t rowCount);
    // Inside a remote procedure call statements end with DONEINPROC, the call with DONEPROC.
    void setInProc(bool inProc) { inProc_ = inProc; }
    void doneProc(std::uint16_t status);
    void returnStatus(std::int32_t value);
    void returnValueInt(std::uint16_t ordinal, std::string_view name, std::int32_t value);

    const Bytes& bytes() const { return out_; }
    Bytes take() { return std::move(out_); }
    bool empty() const { return out_.empty(); }

private:
    bool wide() const { return version_ >= kTds72; }
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void ucs2(const std::u16string& s);
    void bVarchar(std::string_view utf8);
    void usVarchar(std::string_view utf8);

    std::uint32_t version_;
    bool inProc_ = false;
    Bytes out_;
};

// SQL_Latin1_General_CP1_CI_AS, the default server collation.
inline constexpr std::uint8_t kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

struct PreloginRequest {
    std::optional<std::uint8_t> encryption;
};
std::optional<PreloginRequest> parsePrelogin(const Bytes& payload);
Bytes preloginResponse();

inline constexpr std::uint8_t kEncryptOff = 0;
inline constexpr std::uint8_t kEncryptOn = 1;
inline constexpr std::uint8_t kEncryptNotSup = 2;
inline constexpr std::uint8_t kEncryptReq = 3;

struct Login7 {
    std::uint32_t tdsVersion = 0;
    std::uint32_t packetSize = 0;
    bool sspi = false;       // integrated security requested
    bool extension = false;  // feature extension block present
    std::string hostName;
    std::string user;
    std::string password;
    std::string appName;
    std::string serverName;
    std::string language;
    std::string database;
};
std::optional<Login7> parseLogin7(const Bytes& payload);

// The password as LOGIN7 carries it: each byte's nibbles swapped, then XOR 0xA5.
Bytes obfuscatePassword(std::string_view utf8);

// A remote procedure call (the first one of a request). FreeTDS's ODBC driver runs prepared
// statements through sp_prepexec / sp_execute.
struct RpcParam {
    std::string name;
    bool output = false;
    Value value;
};
struct RpcRequest {
    std::uint16_t procId = 0;  // 0 when called by name
    std::string procName;
    std::vector<RpcParam> params;
};
inline constexpr std::uint16_t kSpExecuteSql = 10;
inline constexpr std::uint16_t kSpPrepare = 11;
inline constexpr std::uint16_t kSpExecute = 12;
inline constexpr std::uint16_t kSpPrepExec = 13;
inline constexpr std::uint16_t kSpUnprepare = 15;
std::optional<RpcRequest> parseRpc(const Bytes& payload, std::uint32_t tdsVersion);

// The SQL text of a batch, skipping ALL_HEADERS (TDS 7.2+).
std::optional<std::string> batchText(const Bytes& payload, std::uint32_t tdsVersion);

}  // namespace karvath::standin::tds
