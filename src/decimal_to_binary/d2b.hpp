#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
// ("12.375", ".5", "1.2.3") gives the digits written before its first point and the digits
// after it read as a number of their own, "0.ddd"; any other text ("1.5e3", "15e-1", "1x.5")
// gives the whole value's magnitude truncated and the rest. The fields are the integer part's
// digits and the fraction's, cut off.
class D2B {
public:
    explicit D2B(int lang, std::ostream& out = std::cout) : lang(lang), out(out) {}

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

    // The fraction as read; 1.0 or more only for a plain decimal's nines ("0.99999999999999999").
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
    std::string fractBin() { return fraction_error() ? "" : bit_text(cut_off(reading.fraction, 46), 46); }

    // The fraction field of a value whose integer part is 0; sets `exp`.
    std::string find1() { return field_text(field_below_one()); }

    // The fraction field; sets `exp` to the power of two of the leading 1.
    std::string mantix() { return field_text(fraction_field()); }

    // The exponent field, 8 digits, from the `exp` that `mantix` left.
    std::string exponent()
    {
        if (reading.value == 0.0) {
            return "00000000";
        }
        // Written as intConverter writes it: the sign of a biased exponent below 0 is dropped.
        const unsigned int biased = static_cast<unsigned int>(std::abs(exp + 127));
        if (std::bit_width(biased) > 8) {
            out << (lang == 1 ? "ERROR EXP TOO LONG" : "ERRORE ESPONENTE TROPPO LUNGO");
            return "";
        }
        return bit_text(biased, 8);
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
        // As mantix, exponent and sign, in this order, written into one buffer first.
        const Field m = fraction_field();
        const std::string e = exponent();
        const std::string s = sign();
        char text[11 + 64];
        char* end = std::copy(s.begin(), s.end(), text);
        *end++ = '|';
        end = std::copy(e.begin(), e.end(), end);
        *end++ = '|';
        return std::string(text, write_bits(end, m.bits, m.length));
    }

    std::string K;
    int lang;
    int exp = 0;

private:
    struct Number {
        double value = 0.0;
        std::size_t digits = 0;  // the first character after the sign
        std::size_t point = std::string::npos;
        bool exponent_part = false;
    };

    struct Field {
        std::uint64_t bits = 0;
        int length = 0;
    };

    struct Reading {
        double value = 0.0;
        double whole = 0.0;  // magnitude of the integer part
        double fraction = 0.0;
    };

    static bool is_digit(char c) { return c >= '0' && c <= '9'; }
    static bool is_sign(char c) { return c == '+' || c == '-'; }

    // The number at `from`, read as the stream's extraction reads it: blanks, an optional sign,
    // digits with at most one point, then "e" or "E" (after a digit), an optional sign and
    // digits. A number that breaks off ("5e", "-", ".") reads as 0.0, and so does any other
    // start ("inf", "x1"); a value beyond the double range as the largest finite double.
    static Number scan_number(const std::string& t, std::size_t from)
    {
        Number number;
        std::size_t i = std::min(from, t.size());
        while (i < t.size() && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r'))) {
            ++i;
        }
        const std::size_t first = i + (i < t.size() && t[i] == '+' ? 1 : 0);
        i += i < t.size() && is_sign(t[i]) ? 1 : 0;
        number.digits = i;
        bool mantissa_digit = false;
        bool exponent_digit = false;
        for (; i < t.size(); ++i) {
            const char c = t[i];
            if (is_digit(c)) {
                (number.exponent_part ? exponent_digit : mantissa_digit) = true;
            } else if (c == '.' && number.point == std::string::npos && !number.exponent_part) {
                number.point = i;
            } else if ((c == 'e' || c == 'E') && mantissa_digit && !number.exponent_part) {
                number.exponent_part = true;
                i += i + 1 < t.size() && is_sign(t[i + 1]) ? 1 : 0;
            } else {
                break;
            }
        }
        if (!mantissa_digit || number.exponent_part != exponent_digit) {
            return {};
        }
        const double value = to_double(t.data() + first, t.data() + i);
        number.value = std::isinf(value) ? std::copysign(std::numeric_limits<double>::max(), value) : value;
        return number;
    }

    // The one step that differs between standard libraries: a number already scanned, rounded
    // to the nearest double. from_chars needs no copy, but not every library has it for double
    // (libc++ before 17); strtod, on a copy, rounds the same and also takes what lies beyond
    // the double range.
    static double to_double(const char* first, const char* last)
    {
#if defined(__cpp_lib_to_chars)
        double value = 0.0;
        if (std::from_chars(first, last, value).ec == std::errc{}) {
            return value;
        }
#endif
        return std::strtod(std::string(first, last).c_str(), nullptr);
    }

    static Reading read_decimal(const std::string& k)
    {
        const Number number = scan_number(k, 0);
        Reading reading;
        reading.value = number.value;
        const bool plain = number.point != std::string::npos && !number.exponent_part;
        if (plain && number.value != 0.0) {
            // Taken from the value, the integer part of 1.9999999999999999 would be 2.
            for (std::size_t i = number.digits; i < number.point; ++i) {
                reading.whole = reading.whole * 10.0 + (k[i] - '0');
            }
            reading.fraction = scan_number(k, number.point).value;  // read like "0.ddd"
        } else {
            reading.whole = std::trunc(std::fabs(number.value));
            reading.fraction = std::fabs(number.value) - reading.whole;
        }
        return reading;
    }

    // The 23 digits behind the leading 1 of a value whose integer part is 0, also below 2^-23,
    // where no 1 stands among the first 23 fraction digits; 23 zeros for zero. Sets `exp`.
    Field field_below_one()
    {
        exp = 0;
        if (fraction_error() || reading.fraction == 0.0) {
            return {0, 23};
        }
        int power = 0;
        const double significand = std::frexp(reading.fraction, &power);  // in [0.5, 1)
        exp = power - 1;
        return {cut_off(2.0 * significand - 1.0, 23), 23};
    }

    // The integer digits behind the leading 1, then fraction digits up to 23 digits in all.
    Field fraction_field()
    {
        const auto whole = static_cast<std::uint32_t>(std::abs(intDec()));
        if (whole == 0) {
            return field_below_one();
        }
        const int length = static_cast<int>(std::bit_width(whole));
        exp = length - 1;
        const std::uint64_t behind_leading_one = whole - (std::uint32_t{1} << exp);
        // After the error, or with 24 integer digits or more, the integer digits stand alone.
        if (fraction_error() || length >= 24) {
            return {behind_leading_one, exp};
        }
        const int fraction_digits = 24 - length;
        return {behind_leading_one << fraction_digits | cut_off(reading.fraction, fraction_digits), 23};
    }

    static std::string field_text(Field field) { return bit_text(field.bits, field.length); }

    // True, after writing the error message, when the fraction reads as 1.0.
    bool fraction_error()
    {
        if (reading.fraction < 1.0) {
            return false;
        }
        out << (lang == 2 ? "ERRORE " : "ERROR ");
        return true;
    }

    // The first `count` (at most 63) binary digits of a value in [0, 1), cut off: the integer
    // part of v * 2^count, a product that is exact, as any scaling by a power of two is.
    static std::uint64_t cut_off(double v, int count)
    {
        return static_cast<std::uint64_t>(v * static_cast<double>(std::uint64_t{1} << count));
    }

    // The lowest `length` bits of `value`, most significant first.
    static std::string bit_text(std::uint64_t value, int length)
    {
        char digits[64];
        return std::string(digits, write_bits(digits, value, length));
    }

    // Writes the lowest `length` (at most 64) bits of `value` at `at`, most significant first,
    // and returns their end: eight at a time, from the lowest byte up, into the end of a buffer.
    static char* write_bits(char* at, std::uint64_t value, int length)
    {
        char digits[64];
        for (char* byte = std::end(digits); byte > std::end(digits) - length; value >>= 8) {
            byte -= 8;
            std::memcpy(byte, byte_digits[value & 0xFFU].data(), 8);
        }
        return std::copy(std::end(digits) - length, std::end(digits), at);
    }

    // The eight binary digits of each byte, most significant first.
    static constexpr auto byte_digits = [] {
        std::array<std::array<char, 8>, 256> table{};
        for (std::size_t byte = 0; byte < table.size(); ++byte) {
            for (std::size_t digit = 0; digit < 8; ++digit) {
                table[byte][digit] = static_cast<char>('0' + ((byte >> (7 - digit)) & 1U));
            }
        }
        return table;
    }();

    Reading reading;
    std::ostream& out;
};
