#include "core/Format.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/Platform.h"

namespace {

// Exact (correctly rounded) powers of ten for the float rounding; a float's
// decimal exponent never leaves [-45, 38].
double powerOfTen(int n) {
    static const double table[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
                                   1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29,
                                   1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39,
                                   1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46};
    if (n >= 0 && n < static_cast<int>(std::size(table))) return table[n];
    return std::pow(10.0, n);
}

std::string nonFiniteText(double value) {
    if (std::isnan(value)) return "nan";
    return value < 0 ? "-inf" : "inf";
}

void dropTrailingZeros(std::string& digits) {
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
}

}  // namespace

std::string intText(int value) { return std::to_string(value); }

std::string generalText(double value, int precision) {
    if (!std::isfinite(value)) return nonFiniteText(value);
    if (value == 0) return "0";  // negative zero too: it is not a negative value
    if (precision < 1) precision = 1;
    if (precision > 17) precision = 17;

    // %e yields the correctly rounded P significant digits and their exponent;
    // the layout is then built from those digits by hand.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, std::fabs(value));
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p) {
        if (*p != '.') digits += *p;
    }
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;

    std::string text = value < 0 ? "-" : "";
    if (exponent < -4 || exponent >= precision) {
        std::string rest = digits.substr(1);
        dropTrailingZeros(rest);
        text += digits[0];
        if (!rest.empty()) text += "." + rest;
        char expText[16];
        std::snprintf(expText, sizeof expText, "e%c%03d", exponent < 0 ? '-' : '+',
                      std::abs(exponent));
        text += expText;
        return text;
    }
    std::string whole, fraction;
    if (exponent >= 0) {
        whole = digits.substr(0, exponent + 1);
        fraction = digits.substr(exponent + 1);
    } else {
        whole = "0";
        fraction = std::string(-exponent - 1, '0') + digits;
    }
    dropTrailingZeros(fraction);
    text += whole;
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

std::string floatText(float value) {
    if (!std::isfinite(value)) return nonFiniteText(value);
    if (value == 0) return "0";

    // Round to six significant digits, halves away from zero, working on the
    // magnitude in double precision.
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const int binaryExponent = static_cast<int>((bits >> 23) & 0xFF) - 127;
    int k = static_cast<int>(binaryExponent * 0.30102999566398120);
    const double magnitude = std::fabs(static_cast<double>(value));
    double p = powerOfTen(std::abs(k));
    double y = k > 0 ? magnitude / p : magnitude * p;
    if (y >= 10) {
        p *= 10;
        k += 1;
        y *= 10000;
    } else if (y >= 1) {
        y *= 100000;
    } else {
        p *= 10;
        k -= 1;
        y *= 1000000;
    }
    double w = std::floor(y);
    if (y - w >= 0.5) w += 1;
    double rounded = k > 0 ? w * (p * 0.00001) : w / (p * 100000);
    if (value < 0) rounded = -rounded;
    return generalText(rounded, 6);
}

std::string doubleText(double value) { return generalText(value, 13); }

std::string toText(const DateTime& time) { return timeText(time); }

double roundDecimals(double x, int decimals) {
    if (x == 0) return x;
    const bool negative = x < 0;
    double s = std::fabs(x);
    if (decimals > 0) {
        s *= std::pow(10.0, decimals);
    } else if (decimals < 0) {
        s /= std::pow(10.0, -decimals);
    }
    const double t = s + 0.000000000001;
    double w = std::floor(t);
    if (t - w >= 0.5) w += 1;
    if (decimals > 0) {
        w /= std::pow(10.0, decimals);
    } else if (decimals < 0) {
        w *= std::pow(10.0, -decimals);
    }
    return negative ? -w : w;
}

std::string timeText(const DateTime& time) {
    std::string text = std::to_string(time.year) + "年" + std::to_string(time.month) + "月" +
                       std::to_string(time.day) + "日";
    if (time.second != 0) {
        text += std::to_string(time.hour) + "时" + std::to_string(time.minute) + "分" +
                std::to_string(time.second) + "秒";
    } else if (time.minute != 0) {
        text += std::to_string(time.hour) + "时" + std::to_string(time.minute) + "分";
    } else if (time.hour != 0) {
        text += std::to_string(time.hour) + "时";
    }
    return text;
}

namespace {

// Full-width forms (GBK A3A1-A3FE) become their ASCII forms, the full-width
// space A1A1 a space; other two-byte characters are kept whole so that a trail
// byte is never taken for a lead byte.
std::string narrowFullWidth(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x81 || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out += static_cast<char>(trail - 0x80);
        } else if (lead == 0xA1 && trail == 0xA1) {
            out += ' ';
        } else {
            out += text[i];
            out += text[i + 1];
        }
        ++i;
    }
    return out;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int textToInt(const std::string& text) {
    const std::string s = narrowFullWidth(text);
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;  // wraps around like the 32-bit original
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(s[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

DateTime currentTime(Platform& os) { return os.now(); }
