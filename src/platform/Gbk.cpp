#include "platform/Gbk.h"

#include <iconv.h>

#include <cerrno>

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// One iconv descriptor per thread and direction, so conversions may run on any thread.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns false with errno set at a sequence it
    // cannot convert, leaving `in` on it.
    template <typename Sink>
    bool run(const char*& in, std::size_t& inLeft, Sink&& sink) {
        char buffer[4096];
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            char* src = const_cast<char*>(in);
            const std::size_t result = iconv(cd_, &src, &inLeft, &out, &outLeft);
            const int error = errno;
            in = src;
            sink(buffer, static_cast<std::size_t>(out - buffer));
            if (result != static_cast<std::size_t>(-1)) continue;
            if (error == E2BIG && out != buffer) continue;
            errno = error;
            return false;
        }
        return true;
    }

    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

Iconv& fromGbk() {
    thread_local Iconv cd("UTF-16LE", "GBK");
    return cd;
}

Iconv& toGbk() {
    thread_local Iconv cd("GBK", "UTF-16LE");
    return cd;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

std::u16string gbkToUtf16(std::string_view gbk) {
    std::u16string out;
    out.reserve(gbk.size());
    Iconv& cd = fromGbk();
    if (!cd.valid()) {
        for (char c : gbk) out += static_cast<unsigned char>(c) < 0x80 ? char16_t(c) : kReplacement;
        return out;
    }
    cd.reset();
    const char* in = gbk.data();
    std::size_t left = gbk.size();
    auto sink = [&out](const char* bytes, std::size_t n) {
        for (std::size_t i = 0; i + 1 < n; i += 2) {
            out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
    };
    while (!cd.run(in, left, sink)) {
        out += kReplacement;
        if (errno != EILSEQ) break;  // a lead byte cut off by the end of the text
        // A lead byte with a proper trail byte is one unmapped character; any
        // other bad byte goes alone, so the ASCII byte after it survives.
        const auto lead = static_cast<unsigned char>(in[0]);
        const auto trail = left > 1 ? static_cast<unsigned char>(in[1]) : 0;
        const bool pair =
            lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
        const std::size_t skip = pair ? 2 : 1;
        in += skip;
        left -= skip;
        cd.reset();
    }
    return out;
}

std::string utf16ToGbk(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    std::string out;
    out.reserve(text.size() * 2);
    Iconv& cd = toGbk();
    if (!cd.valid()) {
        for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    cd.reset();
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    auto sink = [&out](const char* converted, std::size_t n) { out.append(converted, n); };
    while (!cd.run(in, left, sink)) {
        out += '?';
        if (errno != EILSEQ || left < 2) break;
        const std::size_t at = (bytes.size() - left) / 2;
        const bool pair =
            at + 1 < text.size() && isHighSurrogate(text[at]) && isLowSurrogate(text[at + 1]);
        const std::size_t skip = pair ? 4 : 2;
        in += skip;
        left -= skip;
        cd.reset();
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        int length = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            length = 1, c = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2, c = b0 & 0x1F, min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3, c = b0 & 0x0F, min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4, c = b0 & 0x07, min = 0x10000;
        }
        bool valid = length > 0 && i + length <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            valid = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        valid = valid && c >= min && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!valid) {
            out += kReplacement;
            ++i;
            continue;
        }
        appendUtf16(out, c);
        i += length;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string gbkToUtf8(std::string_view gbk) { return utf16ToUtf8(gbkToUtf16(gbk)); }

std::string utf8ToGbk(std::string_view utf8) { return utf16ToGbk(utf8ToUtf16(utf8)); }
