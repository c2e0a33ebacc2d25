#pragma once

#include <string>
#include <string_view>

// Conversions between the program's GBK texts and the encodings of the toolkit
// (UTF-16) and the file system (UTF-8). They never fail: a GBK byte sequence that
// is not a character becomes U+FFFD, a character GBK cannot hold becomes "?",
// and broken UTF-8 or UTF-16 becomes U+FFFD or "?" likewise. Thread-safe.
std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view text);
std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);

// UTF-8 <-> UTF-16 without GBK in between; broken input becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view text);
