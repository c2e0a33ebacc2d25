#pragma once

#include <string>

#include "core/DateTime.h"

class Platform;

// The only ways in which numbers and times become texts and typed texts become
// numbers. Every text is GBK bytes.
//
// toText has one overload per kind of value; any other argument type (long,
// size_t, bool, char ...) is refused at compile time so that a value is never
// written by the rules of another kind by accident. intText, floatText and
// doubleText name the kind explicitly.

std::string intText(int value);        // "%d"
std::string floatText(float value);    // rounded to six digits, then the %.6g layout
std::string doubleText(double value);  // the %.13g layout

inline std::string toText(int value) { return intText(value); }
inline std::string toText(float value) { return floatText(value); }
inline std::string toText(double value) { return doubleText(value); }
std::string toText(const DateTime& time);
template <typename T>
std::string toText(T) = delete;

// The general layout: P significant digits, exponent form "1.5e+013" with a
// three-digit exponent outside [-4, P), trailing zeros removed.
std::string generalText(double value, int precision);

// Rounds halves away from zero at `decimals` places (negative: tens, hundreds ...),
// nudging the scaled value by 1e-12 so 1.005 rounds to 1.01.
double roundDecimals(double x, int decimals);

// "2021年3月15日9时2分3秒", trailing zero units left out.
std::string timeText(const DateTime& time);

// The leading decimal integer of a typed text; full-width digits and signs count,
// overflow wraps around in 32 bits, no digits give 0.
int textToInt(const std::string& text);

// The local wall-clock time.
DateTime currentTime(Platform& os);
