// The settings file reader and writer on arbitrary files, names and values:
// reading never fails hard; a write touches only its own key's line (or adds
// its line, or its section and line, at the documented place) and keeps every
// other byte; a value reads back as written, less blanks around it and one pair
// of enclosing quotes, cut at the 10239-byte cap.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FakePlatform.h"
#include "FuzzInput.h"
#include "VirtualClock.h"
#include "core/Settings.h"

namespace {

const std::string kPath = "/opt/karvath/settings.ini";

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string trimmed(std::string s) {
    std::size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// What a value reads back as, by the profile rules.
std::string expectedReadBack(const std::string& written) {
    std::string v = trimmed(written);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.substr(1, v.size() - 2);
    if (v.size() > kMaxSettingLength) {
        // Cut without splitting a two-byte character (lead bytes are 0x81 and up).
        std::size_t end = 0;
        while (true) {
            const bool lead = static_cast<unsigned char>(v[end]) >= 0x81 && end + 1 < v.size();
            const std::size_t next = end + (lead ? 2 : 1);
            if (next > kMaxSettingLength) break;
            end = next;
        }
        v.resize(end);
    }
    return v;
}

// A lead byte (0x81 and up) with no trail byte after it, counting characters
// from the start.
bool endsInHalfCharacter(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (static_cast<unsigned char>(s[i]) < 0x81) {
            ++i;
        } else if (i + 1 == s.size()) {
            return true;
        } else {
            i += 2;
        }
    }
    return false;
}

bool sameAsciiFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// Lines with their terminators; the last one may have none.
std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < s.size()) {
        const std::size_t lf = s.find('\n', at);
        const std::size_t end = lf == std::string::npos ? s.size() : lf + 1;
        out.push_back(s.substr(at, end - at));
        at = end;
    }
    return out;
}

bool terminated(const std::string& line) { return !line.empty() && line.back() == '\n'; }

std::string show(const std::string& before, const std::string& after, const std::string& section,
                 const std::string& key, const std::string& value) {
    auto q = [](const std::string& s) {
        std::string out;
        for (unsigned char c : s) {
            if (c >= 0x20 && c < 0x7F && c != '\\') {
                out += static_cast<char>(c);
            } else {
                static const char* hex = "0123456789abcdef";
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
        return "\"" + out + "\"";
    };
    return "section " + q(section) + " key " + q(key) + " value " + q(value) + "\nbefore " +
           q(before) + "\nafter  " + q(after);
}

// The write changed exactly what it may: one line replaced by "key=value" (the
// key as the file spells it), or one "key=value" line added, or a section line
// and a key line added at the end, an unterminated last line getting its CR LF.
void checkOnlyItsLineChanged(const std::string& before, const std::string& after,
                             const std::string& section, const std::string& key,
                             const std::string& value) {
    const std::string detail = show(before, after, section, key, value);
    const std::vector<std::string> a = lines(before), b = lines(after);
    std::size_t p = 0;
    while (p < a.size() && p < b.size() && a[p] == b[p]) ++p;
    std::size_t s = 0;
    while (s < a.size() - p && s < b.size() - p && a[a.size() - 1 - s] == b[b.size() - 1 - s]) ++s;
    std::vector<std::string> oldMid(a.begin() + p, a.end() - s);
    std::vector<std::string> newMid(b.begin() + p, b.end() - s);
    if (oldMid.empty() && newMid.empty()) return;  // the same value again

    const std::string keyLineEnd = "=" + value + "\r\n";
    auto isKeyLine = [&](const std::string& line, std::string_view spelledLike) {
        if (line.size() < keyLineEnd.size() ||
            line.compare(line.size() - keyLineEnd.size(), keyLineEnd.size(), keyLineEnd) != 0)
            return false;
        return sameAsciiFolded(line.substr(0, line.size() - keyLineEnd.size()), spelledLike);
    };
    const std::string k = trimmed(key), sec = trimmed(section);

    // Replaced in place: the old line held the key, spelled as the file spells it.
    if (oldMid.size() == 1 && newMid.size() == 1) {
        const std::string& newLine = newMid[0];
        FUZZ_CHECK(newLine.size() >= keyLineEnd.size(), detail);
        const std::string spelled = newLine.substr(0, newLine.size() - keyLineEnd.size());
        FUZZ_CHECK(isKeyLine(newLine, k) && oldMid[0].find(spelled) != std::string::npos, detail);
        return;
    }
    // Added: after an unterminated last line comes its CR LF first.
    std::size_t n = 0;
    if (oldMid.size() == 1) {
        FUZZ_CHECK(
            !terminated(oldMid[0]) && s == 0 && !newMid.empty() && newMid[0] == oldMid[0] + "\r\n",
            detail);
        n = 1;
    } else {
        FUZZ_CHECK(oldMid.empty(), detail);
    }
    const std::size_t added = newMid.size() - n;
    if (added == 1) {
        FUZZ_CHECK(newMid[n] == k + keyLineEnd, detail);
    } else {
        FUZZ_CHECK(added == 2 && s == 0 && newMid[n] == "[" + sec + "]\r\n" &&
                       newMid[n + 1] == k + keyLineEnd,
                   detail);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::string section = in.piece(24);
    const std::string key = in.piece(24);
    const std::string value = in.piece(kMaxSettingLength + 40);
    const bool haveFile = (in.byte() & 1) != 0;
    const std::string file = in.rest();

    VirtualClock clock;
    FakePlatform os(clock);
    if (haveFile) os.files[kPath] = file;

    // Reading anything, under any names, gives some text within the cap.
    const std::string readBefore = readSetting(os, kPath, section, key);
    FUZZ_CHECK(readBefore.size() <= kMaxSettingLength, show(file, "", section, key, value));
    FUZZ_CHECK(haveFile || readBefore.empty(), show(file, "", section, key, value));

    const bool written = writeSetting(os, kPath, section, key, value);
    const std::string before = haveFile ? file : std::string();
    const auto it = os.files.find(kPath);
    const std::string after = it == os.files.end() ? std::string() : it->second;
    if (!written) {
        // Refused (names or value that cannot be stored): nothing changed.
        FUZZ_CHECK(it == os.files.end() ? !haveFile : after == file,
                   show(before, after, section, key, value));
        const bool refusable =
            trimmed(section).empty() || trimmed(key).empty() ||
            section.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
            key.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
            value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
            key.find('=') != std::string::npos || trimmed(key)[0] == '[' ||
            endsInHalfCharacter(trimmed(section));
        FUZZ_CHECK(refusable, show(before, after, section, key, value));
        return 0;
    }
    FUZZ_CHECK(it != os.files.end(), show(before, after, section, key, value));
    checkOnlyItsLineChanged(before, after, section, key, value);
    FUZZ_CHECK(readSetting(os, kPath, section, key) == expectedReadBack(value),
               show(before, after, section, key, value) + "\nread back \"" +
                   readSetting(os, kPath, section, key) + "\"");
    return 0;
}
