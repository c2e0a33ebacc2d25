#pragma once

#include <QString>
#include <string>
#include <string_view>

// The GBK boundary: the logic's texts are GBK bytes, Qt's are UTF-16.
QString fromGbk(std::string_view gbk);
std::string toGbk(const QString& text);

// The bytes of a GBK text cut to at most maxBytes without splitting a
// double-byte character.
std::string cutGbk(std::string_view gbk, std::size_t maxBytes);
