// UTF-8 <-> UTF-16LE conversion and SQL Server style name comparison.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace karvath::standin {

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// `bytes` holds UTF-16LE code units (an odd trailing byte is ignored).
std::string utf16leToUtf8(const std::uint8_t* bytes, std::size_t byteCount);

// ASCII letters compare without case, everything else byte for byte (a CI collation's view of
// the names the stand-in deals with).
bool equalsNoCase(std::string_view a, std::string_view b);
std::string lowerAscii(std::string_view s);

}  // namespace karvath::standin
