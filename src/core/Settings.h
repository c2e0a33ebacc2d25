#pragma once

#include <string>

class Platform;

// The settings file: a Windows-style profile (INI) file of GBK text. `path` is
// the file's name in the file system's encoding; section, key and value are GBK.
// Nothing is cached: every call reads the file anew.

// The value of `key` in `section`; empty when the file, the section or the key
// is missing. Section and key match without regard to ASCII letter case,
// blanks around the value and one pair of enclosing quotes are dropped, and a
// value longer than kMaxSettingLength bytes is cut there.
std::string readSetting(Platform& os, const std::string& path, const std::string& section,
                        const std::string& key);

// Stores the value: rewrites the key's line in place, or adds the key as the
// last line of its section, or adds the section with the key at the end of the
// file. Every other line keeps its bytes. The file is replaced as a whole, so an
// interrupted write leaves the old file. False when nothing could be written;
// the file is then unchanged. Names and values holding a line break are refused,
// and so is a section name ending in half a two-byte character.
bool writeSetting(Platform& os, const std::string& path, const std::string& section,
                  const std::string& key, const std::string& value);

// Makes the file private to its owner, the stand-in for the hidden attribute:
// it holds the password in plain text. Later writes keep the file's permissions.
bool hideSettingsFile(Platform& os, const std::string& path);

inline constexpr std::size_t kMaxSettingLength = 10239;
