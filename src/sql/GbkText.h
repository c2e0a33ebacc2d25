#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Character-level work on GBK texts. A two-byte character's trail byte can look
// like an ASCII "\", "]" or letter, so everything here walks the text by
// characters: a lead byte 81-FE followed by a trail byte 40-7E or 80-FE is one
// character; every other byte, a lone lead byte included, is one on its own.

// The length in bytes (1 or 2) of the character that starts at byte i.
std::size_t gbkCharLength(std::string_view text, std::size_t i);

// The number of characters in the text.
std::size_t gbkCharCount(std::string_view text);

// The text without ASCII spaces and full-width spaces (A1 A1) at either end.
std::string trimSpaces(std::string_view text);

// The part after the last "\" or "/" character; the whole text when it has none.
std::string fileNamePart(std::string_view path);

// ASCII letters A-Z turned into a-z; two-byte characters are left alone.
std::string lowerAscii(std::string_view text);

// Every occurrence of `what` (an ASCII text) removed, scanning once from the
// left and matching only at character boundaries.
std::string removeAll(std::string_view text, std::string_view what);
