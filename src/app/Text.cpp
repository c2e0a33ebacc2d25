#include "app/Text.h"

#include "platform/Gbk.h"

QString fromGbk(std::string_view gbk) {
    const std::u16string text = gbkToUtf16(gbk);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toGbk(const QString& text) {
    return utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<std::size_t>(text.size())));
}

std::string cutGbk(std::string_view gbk, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < gbk.size()) {
        // Lead bytes 0x81..0xFE start a two-byte character.
        const unsigned char lead = static_cast<unsigned char>(gbk[i]);
        const std::size_t width = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        if (i + width > maxBytes || i + width > gbk.size()) break;
        i += width;
    }
    return std::string(gbk.substr(0, i));
}
