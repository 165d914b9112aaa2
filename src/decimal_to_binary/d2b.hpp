#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>
#include <utility>

// One decimal-to-binary conversion: a decimal text and the three fields of its binary32 pattern,
// sign | exponent biased by 127 | 23 fraction digits. Fraction digits are cut off, never
// rounded, and only normal patterns and zero come out.
//
// The text is read once, when it is stored: its whole value, as the stream's formatted
// extraction of a double reads it, and its integer part and fraction. A plain decimal
// ("12.375", ".5", "1.2.3") gives the digits before its first point and the value of the
// digits after it; any other text ("1.5e3", "15e-1", "1x.5") gives the whole value's
// magnitude truncated and the rest.
class D2B {
public:
    explicit D2B(int lang, std::ostream& out = std::cout) : lang(lang), out(out) { setK(""); }

    void setK(std::string k)
    {
        K = std::move(k);
        reading = read_decimal(K);
    }

    // The number at the start of the text, exactly as `std::istringstream >> double` reads it:
    // 0.0 when there is none, the largest finite double of its sign when it is too large.
    double stringToDouble(std::string t) { return scan_number(t, 0).value; }

    // The integer part, with the sign of the value; saturates at the int limits.
    int intDec()
    {
        const double limit = std::numeric_limits<int>::max();
        const double whole = std::min(reading.whole, limit);
        return static_cast<int>(std::signbit(reading.value) ? -whole : whole);
    }

    // "0" and the text from its first point on; empty when the text has no point.
    std::string fractTrunc(std::string s)
    {
        const std::size_t point = s.find('.');
        std::string fraction;
        if (point != std::string::npos) {
            fraction.assign(1, '0').append(s, point);
        }
        return fraction;
    }

    double fractDec() { return reading.fraction; }

    std::string intConverter(int n)
    {
        // The magnitude as unsigned, so that even the most negative int has one.
        const unsigned int m = n < 0 ? 0U - static_cast<unsigned int>(n) : static_cast<unsigned int>(n);
        return bit_text(m, m == 0 ? 1 : static_cast<int>(std::bit_width(m)));
    }

    std::string intBin() { return intConverter(intDec()); }

    // The first 46 binary digits of the fraction, or the empty text after the error message
    // when the fraction reads as 1.0.
    std::string fractBin()
    {
        const double fraction = fractDec();
        if (fraction >= 1.0) {
            out << (lang == 2 ? "ERRORE " : "ERROR ");
            return "";
        }
        return binary_digits(fraction, 46);
    }

    // The fraction field of a value whose integer part is 0; sets `exp`.
    std::string find1()
    {
        exp = 0;
        const std::string digits = fractBin();
        for (std::size_t i = 0; i < 23 && i < digits.size(); ++i) {
            if (digits[i] == '1') {
                exp = -static_cast<int>(i + 1);
                return digits.substr(i + 1, 23);
            }
        }
        const double fraction = fractDec();
        if (digits.empty() || fraction == 0.0) {
            return std::string(23, '0');
        }
        // Below 2^-23 no 1 stands among the first 23 digits: take the true exponent and the
        // 23 digits behind the leading 1 straight from the double.
        int power = 0;
        const double significand = std::frexp(fraction, &power);  // in [0.5, 1)
        exp = power - 1;
        return binary_digits(2.0 * significand - 1.0, 23);
    }

    // The fraction field; sets `exp` to the power of two of the leading 1.
    std::string mantix()
    {
        const std::string int_digits = intBin();
        if (int_digits == "0") {
            return find1();
        }
        const std::size_t length = int_digits.size();
        exp = static_cast<int>(length) - 1;
        const std::string fraction_digits = fractBin();
        return int_digits.substr(1) + fraction_digits.substr(0, length < 24 ? 24 - length : 0);
    }

    // The exponent field, 8 digits, from the `exp` that `mantix` left.
    std::string exponent()
    {
        if (reading.value == 0.0) {
            return "00000000";
        }
        const std::string digits = intConverter(exp + 127);
        if (digits.size() > 8) {
            out << (lang == 1 ? "ERROR EXP TOO LONG" : "ERRORE ESPONENTE TROPPO LUNGO");
            return "";
        }
        return std::string(8 - digits.size(), '0') + digits;
    }

    // Taken from the text, not the value: "-0" and "-abc" give "1".
    std::string sign() { return !K.empty() && K[0] == '-' ? "1" : "0"; }

    std::string convert()
    {
        const double magnitude = std::fabs(reading.value);
        const bool too_large = !(magnitude < 8388608.0);
        const bool too_small = magnitude != 0.0 && magnitude < std::numeric_limits<float>::min();
        if (too_large || too_small) {
            return lang == 2 ? "Numero fuori dal range " : "Number out of range ";
        }
        const std::string m = mantix();
        const std::string e = exponent();
        return sign() + "|" + e + "|" + m;
    }

    std::string K;
    int lang;
    int exp = 0;

private:
    struct Number {
        double value = 0.0;
        std::size_t digits_begin = 0;  // first character after the sign
        std::size_t point = std::string::npos;
        bool exponent_part = false;
    };

    struct Reading {
        double value = 0.0;
        double whole = 0.0;  // magnitude of the integer part
        double fraction = 0.0;
    };

    static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
    static bool is_digit(char c) { return c >= '0' && c <= '9'; }
    static bool is_sign(char c) { return c == '+' || c == '-'; }

    // Scans from `from` the longest prefix the stream's extraction takes: blanks, a sign,
    // digits with at most one point, then "e" or "E" (only after a digit), a sign and digits.
    // That prefix is then converted whole, or it reads as 0.0 ("5e", "-", ".").
    static Number scan_number(const std::string& t, std::size_t from)
    {
        Number number;
        std::size_t i = from;
        while (i < t.size() && is_blank(t[i])) {
            ++i;
        }
        const std::size_t begin = i;
        if (i < t.size() && is_sign(t[i])) {
            ++i;
        }
        number.digits_begin = i;
        bool digit_seen = false;
        for (; i < t.size(); ++i) {
            const char c = t[i];
            if (is_digit(c)) {
                digit_seen = true;
            } else if (c == '.' && number.point == std::string::npos && !number.exponent_part) {
                number.point = i;
            } else if ((c == 'e' || c == 'E') && digit_seen && !number.exponent_part) {
                number.exponent_part = true;
                if (i + 1 < t.size() && is_sign(t[i + 1])) {
                    ++i;
                }
            } else {
                break;
            }
        }
        number.value = convert_prefix(t, begin, i);
        return number;
    }

    static double convert_prefix(const std::string& t, std::size_t begin, std::size_t end)
    {
        // strtod knows more forms than the extraction ("0x10", "inf"): it sees the prefix alone.
        const std::string prefix = t.substr(begin, end - begin);
        char* stop = nullptr;
        const double value = std::strtod(prefix.c_str(), &stop);
        if (prefix.empty() || stop != prefix.c_str() + prefix.size()) {
            return 0.0;
        }
        if (std::isinf(value)) {
            return std::copysign(std::numeric_limits<double>::max(), value);
        }
        return value;
    }

    static Reading read_decimal(const std::string& k)
    {
        const Number number = scan_number(k, 0);
        Reading reading;
        reading.value = number.value;
        const bool plain = number.point != std::string::npos && !number.exponent_part;
        if (plain && number.value != 0.0) {
            for (std::size_t i = number.digits_begin; i < number.point; ++i) {
                reading.whole = reading.whole * 10.0 + (k[i] - '0');
            }
            // The fraction reads like "0" and the text from the point on.
            reading.fraction = scan_number(k, number.point).value;
        } else {
            reading.whole = std::trunc(std::fabs(number.value));
            reading.fraction = std::fabs(number.value) - reading.whole;
        }
        return reading;
    }

    // `count` binary digits of a value in [0, 1), cut off: those of the integer part of
    // v * 2^count, a product that is exact, as any scaling by a power of two is.
    static std::string binary_digits(double v, int count)
    {
        return bit_text(static_cast<std::uint64_t>(std::ldexp(v, count)), count);
    }

    // The lowest `length` bits of `value`, most significant first.
    static std::string bit_text(std::uint64_t value, int length)
    {
        std::string digits(static_cast<std::size_t>(length), '0');
        for (int i = 0; i < length; ++i) {
            if (((value >> (length - 1 - i)) & 1U) != 0) {
                digits[static_cast<std::size_t>(i)] = '1';
            }
        }
        return digits;
    }

    Reading reading;
    std::ostream& out;
};
