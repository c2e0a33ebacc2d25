// toText of floats (six significant digits) and doubles (thirteen): any value
// gives a text of the %g layout that reads back as a number within the
// precision. Subnormal floats are left out of the round trip: the six-digit
// rounding starts from the exponent field, which reads -127 for all of them,
// so they keep fewer digits; only the layout is checked for them.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "core/Format.h"

namespace {

// "-"? digits ("." digits without a trailing zero)? ("e" sign three-or-more digits)?,
// with at most `precision` significant digits; returns false otherwise.
bool hasLayout(const std::string& t, int precision) {
    std::size_t i = 0;
    if (i < t.size() && t[i] == '-') ++i;
    const std::size_t mantissaStart = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    if (i == mantissaStart) return false;
    std::string digits = t.substr(mantissaStart, i - mantissaStart);
    if (i < t.size() && t[i] == '.') {
        const std::size_t f = ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        if (i == f || t[i - 1] == '0') return false;
        digits += t.substr(f, i - f);
    }
    bool exponent = false;
    if (i < t.size() && t[i] == 'e') {
        exponent = true;
        ++i;
        if (i >= t.size() || (t[i] != '+' && t[i] != '-')) return false;
        const std::size_t e = ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        if (i - e < 3) return false;
        if (t.substr(mantissaStart, 1) == "0") return false;  // 1 <= mantissa < 10
        if (t.find('.') != std::string::npos && t.find('.') != mantissaStart + 1) return false;
    }
    if (i != t.size()) return false;
    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos) return t == "0";
    const std::size_t significant = digits.size() - firstSignificant;
    (void)exponent;
    return significant <= static_cast<std::size_t>(precision);
}

void checkText(double value, const std::string& text, int precision, bool roundTrip) {
    const std::string detail = "value " + std::to_string(value) + " (%a " + [&] {
        char b[64];
        std::snprintf(b, sizeof b, "%a", value);
        return std::string(b);
    }() + ") gave \"" + text + "\"";
    if (std::isnan(value)) {
        FUZZ_CHECK(text == "nan", detail);
        return;
    }
    if (std::isinf(value)) {
        FUZZ_CHECK(text == (value < 0 ? "-inf" : "inf"), detail);
        return;
    }
    FUZZ_CHECK(hasLayout(text, precision), detail);
    if (!roundTrip) return;
    const double back = std::strtod(text.c_str(), nullptr);
    // Rounding to P significant digits moves a value by at most half a unit in
    // its P-th digit, which is at most 5 * 10^-P of the value; allow a little
    // for the double arithmetic of the rounding and the parse.
    const double bound = 5 * std::pow(10.0, -precision) * std::fabs(value) * (1 + 1e-9);
    FUZZ_CHECK(std::fabs(back - value) <= bound, detail);
    FUZZ_CHECK(value != 0 || text == "0", detail);
    FUZZ_CHECK((value < 0) == (text[0] == '-'), detail);
}

}  // namespace

// Input: a float, a double and a float, packed little-endian (16 bytes).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 4) {
        float f;
        std::memcpy(&f, data, 4);
        const bool normalOrZero = f == 0 || std::fpclassify(f) == FP_NORMAL;
        checkText(f, toText(f), 6, normalOrZero);
    }
    if (size >= 12) {
        double d;
        std::memcpy(&d, data + 4, 8);
        checkText(d, toText(d), 13, true);
    }
    // A float turned into a double by arithmetic, as the callers do.
    if (size >= 16) {
        float f;
        std::memcpy(&f, data + 12, 4);
        const double d = static_cast<double>(f) / 1000;
        checkText(d, toText(d), 13, true);
    }
    return 0;
}
