#include "core/Settings.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "platform/Platform.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool isLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x81; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters match regardless of case; two-byte GBK characters match byte for
// byte, so a trail byte that looks like a letter is never folded.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (isLeadByte(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (foldAscii(a[i]) != foldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// The position of the last "]" that is a character of its own, not the trail
// byte of a two-byte character; npos when there is none.
std::size_t lastClosingBracket(std::string_view s) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (isLeadByte(s[i]) && i + 1 < s.size()) {
            ++i;
        } else if (s[i] == ']') {
            found = i;
        }
    }
    return found;
}

// The longest prefix of at most `limit` bytes that does not split a two-byte character.
std::string_view cutAt(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) return s;
    std::size_t end = 0;
    while (end < limit) {
        const std::size_t width = isLeadByte(s[end]) && end + 1 < s.size() ? 2 : 1;
        if (end + width > limit) break;
        end += width;
    }
    return s.substr(0, end);
}

struct Line {
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // end of its content, without CR LF or LF
    std::size_t next = 0;   // first byte of the following line
    bool terminated = false;
};

enum class Kind { Blank, Section, Entry };

struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;   // section name or key, trimmed
    std::string_view value;  // trimmed; empty for a line without "="
};

Parsed parseLine(std::string_view content) {
    Parsed parsed;
    const std::string_view text = trim(content);
    if (text.empty()) return parsed;
    if (text.front() == '[') {
        const std::size_t close = lastClosingBracket(text);
        if (close != std::string_view::npos) {
            parsed.kind = Kind::Section;
            parsed.name = trim(text.substr(1, close - 1));
            return parsed;
        }
    }
    parsed.kind = Kind::Entry;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        parsed.name = text;
    } else {
        parsed.name = trim(text.substr(0, equals));
        parsed.value = trim(text.substr(equals + 1));
    }
    return parsed;
}

// Walks the file line by line; LF and CR LF both end a line.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

    std::optional<Line> next() {
        if (pos_ >= bytes_.size()) return std::nullopt;
        Line line;
        line.begin = pos_;
        const void* lf = std::memchr(bytes_.data() + pos_, '\n', bytes_.size() - pos_);
        if (lf) {
            const std::size_t at = static_cast<const char*>(lf) - bytes_.data();
            line.end = at > pos_ && bytes_[at - 1] == '\r' ? at - 1 : at;
            line.next = at + 1;
            line.terminated = true;
        } else {
            line.end = bytes_.size();
            line.next = bytes_.size();
        }
        pos_ = line.next;
        return line;
    }

    std::string_view content(const Line& line) const {
        return bytes_.substr(line.begin, line.end - line.begin);
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

// Where a key sits in the file: the first section of that name and the first
// line of the key in it.
struct Location {
    bool sectionFound = false;
    std::optional<Line> keyLine;
    std::string_view keyName;  // as the file spells it
    std::string_view value;
    Line lastFilledLine;  // last non-blank line of the section, its header included
};

Location locate(std::string_view bytes, std::string_view section, std::string_view key) {
    Location where;
    LineReader reader(bytes);
    bool inSection = false;
    while (auto line = reader.next()) {
        const Parsed parsed = parseLine(reader.content(*line));
        if (parsed.kind == Kind::Section) {
            if (inSection) break;  // only the first section of that name counts
            if (sameName(parsed.name, section)) {
                inSection = true;
                where.sectionFound = true;
                where.lastFilledLine = *line;
            }
            continue;
        }
        if (!inSection || parsed.kind == Kind::Blank) continue;
        where.lastFilledLine = *line;
        if (sameName(parsed.name, key)) {
            where.keyLine = *line;
            where.keyName = parsed.name;
            where.value = parsed.value;
            break;
        }
    }
    return where;
}

// A name whose last byte is a lead byte without its trail byte: in a section
// line it would take the closing "]" as its trail byte, so the section could
// never be found again and every write would add it anew.
bool endsInHalfCharacter(std::string_view s) {
    bool half = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        half = isLeadByte(s[i]) && i + 1 == s.size();
        if (isLeadByte(s[i])) ++i;
    }
    return half;
}

bool hasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::string readSetting(Platform& os, const std::string& path, const std::string& section,
                        const std::string& key) {
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    if (sectionName.empty() || keyName.empty()) return {};
    std::string bytes;
    if (!os.readFile(path, bytes)) return {};
    const Location where = locate(bytes, sectionName, keyName);
    if (!where.keyLine) return {};
    return std::string(cutAt(unquote(where.value), kMaxSettingLength));
}

bool writeSetting(Platform& os, const std::string& path, const std::string& section,
                  const std::string& key, const std::string& value) {
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    if (sectionName.empty() || keyName.empty() || endsInHalfCharacter(sectionName) ||
        hasLineBreakOrNul(section) || hasLineBreakOrNul(key) || hasLineBreakOrNul(value) ||
        keyName.find('=') != std::string_view::npos || keyName.front() == '[') {
        return false;
    }

    std::string old;
    const bool existed = os.exists(path);
    if (existed && !os.readFile(path, old)) return false;  // never overwrite what cannot be read

    const Location where = locate(old, sectionName, keyName);
    std::string updated;
    updated.reserve(old.size() + section.size() + key.size() + value.size() + 8);
    const std::string_view bytes = old;
    if (where.keyLine) {
        const Line& line = *where.keyLine;
        updated.append(bytes.substr(0, line.begin));
        updated.append(where.keyName).append("=").append(value).append("\r\n");
        updated.append(bytes.substr(line.next));
    } else if (where.sectionFound) {
        const Line& after = where.lastFilledLine;
        updated.append(bytes.substr(0, after.next));
        if (!after.terminated) updated.append("\r\n");
        updated.append(keyName).append("=").append(value).append("\r\n");
        updated.append(bytes.substr(after.next));
    } else {
        updated = old;
        if (!updated.empty() && updated.back() != '\n') updated.append("\r\n");
        updated.append("[").append(sectionName).append("]\r\n");
        updated.append(keyName).append("=").append(value).append("\r\n");
    }
    if (existed && updated == old) return true;
    return os.replaceFile(path, updated);
}

bool hideSettingsFile(Platform& os, const std::string& path) { return os.restrictToOwner(path); }
