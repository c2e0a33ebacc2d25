#include "sql/GbkText.h"

namespace {

bool isLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool isTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

bool isSpaceAt(std::string_view text, std::size_t i, std::size_t length) {
    if (length == 1) return text[i] == ' ';
    return text[i] == '\xA1' && text[i + 1] == '\xA1';
}

}  // namespace

std::size_t gbkCharLength(std::string_view text, std::size_t i) {
    if (i + 1 < text.size() && isLead(static_cast<unsigned char>(text[i])) &&
        isTrail(static_cast<unsigned char>(text[i + 1])))
        return 2;
    return 1;
}

std::size_t gbkCharCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += gbkCharLength(text, i)) ++count;
    return count;
}

std::string trimSpaces(std::string_view text) {
    std::size_t begin = text.size();
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = gbkCharLength(text, i);
        if (!isSpaceAt(text, i, length)) {
            if (begin == text.size()) begin = i;
            end = i + length;
        }
        i += length;
    }
    if (begin >= end) return {};
    return std::string(text.substr(begin, end - begin));
}

std::string fileNamePart(std::string_view path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t length = gbkCharLength(path, i);
        if (length == 1 && (path[i] == '\\' || path[i] == '/')) start = i + 1;
        i += length;
    }
    return std::string(path.substr(start));
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        const std::size_t length = gbkCharLength(out, i);
        if (length == 1 && out[i] >= 'A' && out[i] <= 'Z')
            out[i] = static_cast<char>(out[i] - 'A' + 'a');
        i += length;
    }
    return out;
}

std::string removeAll(std::string_view text, std::string_view what) {
    if (what.empty()) return std::string(text);
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, what.size()) == what) {
            i += what.size();
            continue;
        }
        const std::size_t length = gbkCharLength(text, i);
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}
