#include "Tds.h"

#include <algorithm>

#include "Text.h"

namespace karvath::standin::tds {

namespace {

std::uint16_t le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t le32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

constexpr std::uint8_t kTokColMetadata = 0x81;
constexpr std::uint8_t kTokError = 0xAA;
constexpr std::uint8_t kTokInfo = 0xAB;
constexpr std::uint8_t kTokLoginAck = 0xAD;
constexpr std::uint8_t kTokFeatureExtAck = 0xAE;
constexpr std::uint8_t kTokRow = 0xD1;
constexpr std::uint8_t kTokEnvChange = 0xE3;
constexpr std::uint8_t kTokDone = 0xFD;
constexpr std::uint8_t kTokDoneProc = 0xFE;
constexpr std::uint8_t kTokDoneInProc = 0xFF;
constexpr std::uint8_t kTokReturnStatus = 0x79;
constexpr std::uint8_t kTokReturnValue = 0xAC;
constexpr std::uint8_t kTypeIntN = 0x26;

constexpr std::uint8_t kTypeInt2 = 0x34;
constexpr std::uint8_t kTypeInt4 = 0x38;
constexpr std::uint8_t kTypeNVarChar = 0xE7;

}  // namespace

Bytes framePackets(std::uint8_t type, const Bytes& payload, std::uint32_t packetSize,
                   std::uint16_t spid) {
    const std::size_t chunk = std::max<std::size_t>(packetSize, 512) - kHeaderSize;
    Bytes out;
    out.reserve(payload.size() + (payload.size() / chunk + 1) * kHeaderSize);
    std::size_t pos = 0;
    std::uint8_t packetId = 1;
    do {
        const std::size_t n = std::min(chunk, payload.size() - pos);
        const bool last = pos + n == payload.size();
        const std::size_t len = n + kHeaderSize;
        out.push_back(type);
        out.push_back(last ? kStatusEom : 0);
        out.push_back(static_cast<std::uint8_t>(len >> 8));  // big-endian length
        out.push_back(static_cast<std::uint8_t>(len));
        out.push_back(static_cast<std::uint8_t>(spid >> 8));
        out.push_back(static_cast<std::uint8_t>(spid));
        out.push_back(packetId++);
        out.push_back(0);
        out.insert(out.end(), payload.begin() + static_cast<std::ptrdiff_t>(pos),
                   payload.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < payload.size());
    return out;
}

void TokenWriter::u16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
}
void TokenWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void TokenWriter::u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void TokenWriter::ucs2(const std::u16string& s) {
    for (char16_t c : s) u16(static_cast<std::uint16_t>(c));
}
void TokenWriter::bVarchar(std::string_view utf8) {
    std::u16string s = utf8ToUtf16(utf8);
    if (s.size() > 255) s.resize(255);
    u8(static_cast<std::uint8_t>(s.size()));
    ucs2(s);
}
void TokenWriter::usVarchar(std::string_view utf8) {
    std::u16string s = utf8ToUtf16(utf8);
    if (s.size() > 65535) s.resize(65535);
    u16(static_cast<std::uint16_t>(s.size()));
    ucs2(s);
}

void TokenWriter::envChange(EnvChangeType type, std::string_view newValue,
                            std::string_view oldValue) {
    u8(kTokEnvChange);
    const std::size_t lengthAt = out_.size();
    u16(0);
    u8(type);
    bVarchar(newValue);
    bVarchar(oldValue);
    const std::size_t len = out_.size() - lengthAt - 2;
    out_[lengthAt] = static_cast<std::uint8_t>(len);
    out_[lengthAt + 1] = static_cast<std::uint8_t>(len >> 8);
}

void TokenWriter::envChangeCollation() {
    u8(kTokEnvChange);
    u16(1 + 1 + sizeof kCollation + 1);
    u8(kEnvCollation);
    u8(sizeof kCollation);
    out_.insert(out_.end(), std::begin(kCollation), std::end(kCollation));
    u8(0);
}

void TokenWriter::message(bool error, std::int32_t number, std::uint8_t state,
                          std::uint8_t severity, std::string_view text,
                          std::string_view serverName) {
    u8(error ? kTokError : kTokInfo);
    const std::size_t lengthAt = out_.size();
    u16(0);
    u32(static_cast<std::uint32_t>(number));
    u8(state);
    u8(severity);
    usVarchar(text);
    bVarchar(serverName);
    bVarchar("");  // procedure name
    if (version_ >= kTds72) {
        u32(1);  // line number
    } else {
        u16(1);
    }
    const std::size_t len = out_.size() - lengthAt - 2;
    out_[lengthAt] = static_cast<std::uint8_t>(len);
    out_[lengthAt + 1] = static_cast<std::uint8_t>(len >> 8);
}

void TokenWriter::loginAck(std::uint32_t tdsVersion) {
    static constexpr std::string_view kProgName = "Microsoft SQL Server";
    u8(kTokLoginAck);
    u16(static_cast<std::uint16_t>(1 + 4 + 1 + 2 * kProgName.size() + 4));
    u8(1);  // SQL_TSQL
    // The version travels big-endian here, unlike in LOGIN7.
    for (int i = 3; i >= 0; --i) u8(static_cast<std::uint8_t>(tdsVersion >> (8 * i)));
    bVarchar(kProgName);
    u8(16);  // 16.0.1000, SQL Server 2022
    u8(0);
    u8(0x03);
    u8(0xE8);
}

void TokenWriter::featureExtAck() {
    u8(kTokFeatureExtAck);
    u8(0xFF);  // no features acknowledged
}

void TokenWriter::colMetadata(const std::vector<Column>& columns) {
    u8(kTokColMetadata);
    u16(static_cast<std::uint16_t>(columns.size()));
    for (const Column& c : columns) {
        if (wide()) {
            u32(0);  // user type
        } else {
            u16(0);
        }
        switch (c.type) {
            case ColumnType::Int:
                u16(0);  // flags: not nullable
                u8(kTypeInt4);
                break;
            case ColumnType::SmallInt:
                u16(0);
                u8(kTypeInt2);
                break;
            case ColumnType::NVarChar:
                u16(0x0001);  // nullable
                u8(kTypeNVarChar);
                u16(static_cast<std::uint16_t>(c.maxChars * 2));
                out_.insert(out_.end(), std::begin(kCollation), std::end(kCollation));
                break;
        }
        bVarchar(c.name);
    }
}

void TokenWriter::row(const std::vector<Column>& columns, const std::vector<Value>& values) {
    u8(kTokRow);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Value& v = i < values.size() ? values[i] : Value{};
        switch (columns[i].type) {
            case ColumnType::Int: {
                const auto* n = std::get_if<std::int64_t>(&v);
                u32(static_cast<std::uint32_t>(n ? *n : 0));
                break;
            }
            case ColumnType::SmallInt: {
                const auto* n = std::get_if<std::int64_t>(&v);
                u16(static_cast<std::uint16_t>(n ? *n : 0));
                break;
            }
            case ColumnType::NVarChar: {
                const auto* s = std::get_if<std::string>(&v);
                if (!s) {
                    u16(0xFFFF);  // NULL
                    break;
                }
                std::u16string w = utf8ToUtf16(*s);
                if (w.size() > static_cast<std::size_t>(columns[i].maxChars)) {
                    w.resize(static_cast<std::size_t>(columns[i].maxChars));
                }
                u16(static_cast<std::uint16_t>(w.size() * 2));
                ucs2(w);
                break;
            }
        }
    }
}

void TokenWriter::done(std::uint16_t status, std::uint16_t curCmd, std::uint64_t rowCount) {
    u8(inProc_ ? kTokDoneInProc : kTokDone);
    u16(inProc_ ? status | kDoneMore : status);  // DONEPROC still follows
    u16(curCmd);
    if (wide()) {
        u64(rowCount);
    } else {
        u32(static_cast<std::uint32_t>(rowCount));
    }
}

void TokenWriter::doneProc(std::uint16_t status) {
    u8(kTokDoneProc);
    u16(status);
    u16(0xE0);  // EXECUTE
    if (wide()) {
        u64(0);
    } else {
        u32(0);
    }
}

void TokenWriter::returnStatus(std::int32_t value) {
    u8(kTokReturnStatus);
    u32(static_cast<std::uint32_t>(value));
}

void TokenWriter::returnValueInt(std::uint16_t ordinal, std::string_view name, std::int32_t value) {
    u8(kTokReturnValue);
    u16(ordinal);
    bVarchar(name);
    u8(0x01);  // output parameter
    if (wide()) {
        u32(0);
    } else {
        u16(0);
    }
    u16(0x0001);  // nullable
    u8(kTypeIntN);
    u8(4);
    u8(4);
    u32(static_cast<std::uint32_t>(value));
}

namespace {

// Reads RPC parameter values of the types the driver sends; false on anything else.
class RpcReader {
public:
    RpcReader(const Bytes& b, std::size_t at) : b_(b), at_(at) {}

    bool atEnd() const { return at_ >= b_.size(); }
    bool batchSeparator() const { return b_[at_] == 0x80 || b_[at_] == 0xFF; }

    bool header(RpcRequest& r) {
        std::uint16_t nameLen = 0;
        if (!u16(nameLen)) return false;
        if (nameLen == 0xFFFF) {
            if (!u16(r.procId)) return false;
        } else if (!ucs2(nameLen, r.procName)) {
            return false;
        }
        std::uint16_t flags = 0;
        return u16(flags);
    }

    bool param(RpcParam& p) {
        std::uint8_t nameLen = 0;
        std::uint8_t status = 0;
        std::uint8_t type = 0;
        if (!u8(nameLen) || !ucs2(nameLen, p.name) || !u8(status) || !u8(type)) return false;
        p.output = (status & 0x01) != 0;
        switch (type) {
            case 0x26:    // INTN
            case 0x68:    // BITN
            case 0x6D: {  // FLTN
                std::uint8_t max = 0;
                std::uint8_t len = 0;
                if (!u8(max) || !u8(len) || len > 8 || !need(len)) return false;  // 1-8 bytes
                if (len != 0) p.value = integer(len);
                at_ += len;
                return true;
            }
            case 0x30:    // INT1
            case 0x34:    // INT2
            case 0x38:    // INT4
            case 0x7F: {  // INT8
                const std::size_t len = type == 0x30 ? 1 : type == 0x34 ? 2 : type == 0x38 ? 4 : 8;
                if (!need(len)) return false;
                p.value = integer(len);
                at_ += len;
                return true;
            }
            case 0xE7:    // NVARCHAR
            case 0xEF:    // NCHAR
            case 0xA7:    // BIGVARCHAR
            case 0xAF: {  // BIGCHAR
                std::uint16_t max = 0;
                if (!u16(max) || !need(5)) return false;
                at_ += 5;  // collation
                const bool wideChars = type == 0xE7 || type == 0xEF;
                if (max == 0xFFFF) return plp(p, wideChars);
                std::uint16_t len = 0;
                if (!u16(len)) return false;
                if (len == 0xFFFF) return true;  // NULL
                return text(len, wideChars, p);
            }
            case 0x63:    // NTEXT
            case 0x23: {  // TEXT
                std::uint32_t max = 0;
                std::uint32_t len = 0;
                if (!u32(max) || !need(5)) return false;
                at_ += 5;
                if (!u32(len)) return false;
                if (len == 0xFFFFFFFF) return true;
                return text(len, type == 0x63, p);
            }
            default:
                return false;
        }
    }

private:
    bool need(std::size_t n) const { return at_ + n <= b_.size(); }
    bool u8(std::uint8_t& v) {
        if (!need(1)) return false;
        v = b_[at_++];
        return true;
    }
    bool u16(std::uint16_t& v) {
        if (!need(2)) return false;
        v = le16(b_, at_);
        at_ += 2;
        return true;
    }
    bool u32(std::uint32_t& v) {
        if (!need(4)) return false;
        v = le32(b_, at_);
        at_ += 4;
        return true;
    }
    bool ucs2(std::size_t chars, std::string& out) {
        if (!need(chars * 2)) return false;
        out = utf16leToUtf8(b_.data() + at_, chars * 2);
        at_ += chars * 2;
        return true;
    }
    std::int64_t integer(std::size_t len) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < len; ++i)
            v |= static_cast<std::uint64_t>(b_[at_ + i]) << (8 * i);
        if (len < 8 && (v >> (8 * len - 1)) & 1) v |= ~std::uint64_t{0} << (8 * len);  // sign
        return static_cast<std::int64_t>(v);
    }
    bool text(std::size_t len, bool wideChars, RpcParam& p) {
        if (!need(len)) return false;
        if (wideChars) {
            p.value = utf16leToUtf8(b_.data() + at_, len);
        } else {
            p.value = std::string(b_.begin() + static_cast<std::ptrdiff_t>(at_),
                                  b_.begin() + static_cast<std::ptrdiff_t>(at_ + len));
        }
        at_ += len;
        return true;
    }
    // Partially length-prefixed data: a total length, then chunks up to an empty one.
    bool plp(RpcParam& p, bool wideChars) {
        if (!need(8)) return false;
        const std::uint64_t total =
            le32(b_, at_) | (static_cast<std::uint64_t>(le32(b_, at_ + 4)) << 32);
        at_ += 8;
        if (total == ~std::uint64_t{0}) return true;  // NULL
        Bytes data;
        while (true) {
            std::uint32_t chunk = 0;
            if (!u32(chunk)) return false;
            if (chunk == 0) break;
            if (!need(chunk)) return false;
            data.insert(data.end(), b_.begin() + static_cast<std::ptrdiff_t>(at_),
                        b_.begin() + static_cast<std::ptrdiff_t>(at_ + chunk));
            at_ += chunk;
        }
        if (wideChars) {
            p.value = utf16leToUtf8(data.data(), data.size());
        } else {
            p.value = std::string(data.begin(), data.end());
        }
        return true;
    }

    const Bytes& b_;
    std::size_t at_;
};

}  // namespace

std::optional<RpcRequest> parseRpc(const Bytes& payload, std::uint32_t tdsVersion) {
    std::size_t start = 0;
    if (tdsVersion >= kTds72 && payload.size() >= 4) {
        const std::uint32_t total = le32(payload, 0);
        if (total < 4 || total > payload.size()) return std::nullopt;
        start = total;
    }
    RpcReader reader(payload, start);
    RpcRequest r;
    if (!reader.header(r)) return std::nullopt;
    while (!reader.atEnd() && !reader.batchSeparator()) {
        RpcParam p;
        if (!reader.param(p)) return std::nullopt;
        r.params.push_back(std::move(p));
    }
    return r;
}

std::optional<PreloginRequest> parsePrelogin(const Bytes& payload) {
    PreloginRequest req;
    std::size_t at = 0;
    while (true) {
        if (at >= payload.size()) return std::nullopt;
        const std::uint8_t option = payload[at];
        if (option == 0xFF) break;
        if (at + 5 > payload.size()) return std::nullopt;
        const std::size_t offset = (payload[at + 1] << 8) | payload[at + 2];
        const std::size_t length = (payload[at + 3] << 8) | payload[at + 4];
        if (offset + length > payload.size()) return std::nullopt;
        if (option == 0x01 && length >= 1) req.encryption = payload[offset];
        at += 5;
    }
    return req;
}

Bytes preloginResponse() {
    // VERSION, ENCRYPTION, INSTOPT, THREADID, MARS, then the terminator.
    struct Option {
        std::uint8_t id;
        Bytes data;
    };
    const Option options[] = {
        {0x00, {16, 0, 0x03, 0xE8, 0, 0}},
        {0x01, {kEncryptNotSup}},
        {0x02, {0}},
        {0x03, {}},
        {0x04, {0}},
    };
    Bytes out;
    std::size_t dataAt = std::size(options) * 5 + 1;
    Bytes data;
    for (const Option& o : options) {
        const std::size_t offset = dataAt + data.size();
        out.push_back(o.id);
        out.push_back(static_cast<std::uint8_t>(offset >> 8));
        out.push_back(static_cast<std::uint8_t>(offset));
        out.push_back(static_cast<std::uint8_t>(o.data.size() >> 8));
        out.push_back(static_cast<std::uint8_t>(o.data.size()));
        data.insert(data.end(), o.data.begin(), o.data.end());
    }
    out.push_back(0xFF);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes obfuscatePassword(std::string_view utf8) {
    Bytes out;
    for (char16_t c : utf8ToUtf16(utf8)) {
        for (std::uint8_t b : {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)}) {
            out.push_back(static_cast<std::uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5));
        }
    }
    return out;
}

std::optional<Login7> parseLogin7(const Bytes& p) {
    constexpr std::size_t kFixed = 86;  // through ibAtchDBFile/cchAtchDBFile (TDS 7.1)
    if (p.size() < kFixed) return std::nullopt;
    Login7 login;
    login.tdsVersion = le32(p, 4);
    login.packetSize = le32(p, 8);
    const std::uint8_t optionFlags2 = p[25];
    const std::uint8_t optionFlags3 = p[27];
    login.sspi = (optionFlags2 & 0x80) != 0;
    login.extension = login.tdsVersion >= kTds74 && (optionFlags3 & 0x10) != 0;

    auto text = [&](std::size_t at, std::string* out, bool password) {
        const std::size_t offset = le16(p, at);
        const std::size_t chars = le16(p, at + 2);
        if (offset + chars * 2 > p.size()) return false;
        Bytes raw(p.begin() + static_cast<std::ptrdiff_t>(offset),
                  p.begin() + static_cast<std::ptrdiff_t>(offset + chars * 2));
        if (password) {
            for (std::uint8_t& b : raw) {
                b ^= 0xA5;
                b = static_cast<std::uint8_t>((b << 4) | (b >> 4));
            }
        }
        *out = utf16leToUtf8(raw.data(), raw.size());
        return true;
    };
    if (!text(36, &login.hostName, false) || !text(40, &login.user, false) ||
        !text(44, &login.password, true) || !text(48, &login.appName, false) ||
        !text(52, &login.serverName, false) || !text(64, &login.language, false) ||
        !text(68, &login.database, false)) {
        return std::nullopt;
    }
    return login;
}

std::optional<std::string> batchText(const Bytes& payload, std::uint32_t tdsVersion) {
    std::size_t start = 0;
    if (tdsVersion >= kTds72 && payload.size() >= 4) {
        const std::uint32_t total = le32(payload, 0);
        if (total < 4 || total > payload.size()) return std::nullopt;
        start = total;
    }
    if ((payload.size() - start) % 2 != 0) return std::nullopt;
    return utf16leToUtf8(payload.data() + start, payload.size() - start);
}

}  // namespace karvath::standin::tds
