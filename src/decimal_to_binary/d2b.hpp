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
// The text is read once, when it is stored, as the stream's formatted extraction of a double
// reads it; the fields are those of that value cut off to a float. The digits written after the
// first point of a plain decimal are read on their own only to find the one error: a fraction
// of so many nines that it reads as 1.0 ("0.99999999999999999").
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

    // The fraction of the whole value, or the 1.0 that a plain decimal's fraction reads as.
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

    // The number at `from`, read as the stream's extraction reads it: blanks, an optional sign,
    // digits with at most one point, then "e" or "E", an optional sign and digits. A number that
    // breaks off ("5e", "-", ".") reads as 0.0, and so does any other start ("inf", "x1").
    // from_chars reads the same grammar, rounding correctly as strtod does, except that it takes
    // no plus sign, stops in front of an exponent without digits and leaves a value beyond the
    // double range to strtod.
    static Number scan_number(const std::string& t, std::size_t from)
    {
        Number number;
        const char* const end = t.data() + t.size();
        const char* begin = t.data() + std::min(from, t.size());
        while (begin != end && (*begin == ' ' || (*begin >= '\t' && *begin <= '\r'))) {
            ++begin;
        }
        const char* const first = begin + (begin != end && *begin == '+' ? 1 : 0);
        const char* const digits = first + (begin != end && *begin == '-' ? 1 : 0);
        if (digits == end || !(is_digit(*digits) || *digits == '.')) {
            return number;
        }
        double value = 0.0;
        const auto [stop, error] = std::from_chars(first, end, value);
        const auto length = static_cast<std::size_t>(stop - first);
        const auto* point = static_cast<const char*>(std::memchr(first, '.', length));
        number.exponent_part = std::memchr(first, 'e', length) != nullptr || std::memchr(first, 'E', length) != nullptr;
        const bool exponent_breaks_off = !number.exponent_part && stop != end && (*stop == 'e' || *stop == 'E');
        if (error == std::errc::invalid_argument || exponent_breaks_off) {
            return number;
        }
        if (error == std::errc::result_out_of_range) {
            value = std::strtod(std::string(begin, stop).c_str(), nullptr);
        }
        number.point = point == nullptr ? std::string::npos : static_cast<std::size_t>(point - t.data());
        number.value = std::isinf(value) ? std::copysign(std::numeric_limits<double>::max(), value) : value;
        return number;
    }

    static Reading read_decimal(const std::string& k)
    {
        const Number number = scan_number(k, 0);
        Reading reading;
        reading.value = number.value;
        reading.whole = std::trunc(std::fabs(number.value));
        reading.fraction = std::fabs(number.value) - reading.whole;
        // A plain decimal's fraction as written, read like "0" and the text from its point on,
        // can round up to 1.0: the one error. Only a fraction that begins with sixteen nines does.
        const bool plain = number.point != std::string::npos && !number.exponent_part;
        const bool sixteen_nines = plain && k.compare(number.point + 1, 16, "9999999999999999") == 0;
        if (sixteen_nines && scan_number(k, number.point).value >= 1.0) {
            reading.fraction = 1.0;
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
