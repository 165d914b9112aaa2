#pragma once

#include "decimal_to_binary/d2b.hpp"

// What the long checks compare the program with: results built from a float's own bits, and the
// machine's conversion of a double to float toward zero. Also the loop that runs a check over
// many cases on every core.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfenv>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace reference {

// The lowest `length` (at most 32) bits, most significant first, into a reused text: all 32
// written four at a time, then the last `length` kept.
inline void write_bits(std::uint32_t bits, int length, std::string& text)
{
    static constexpr std::string_view nibbles = "0000000100100011010001010110011110001001101010111100110111101111";
    char digits[32];
    for (char* nibble = std::end(digits); nibble != std::begin(digits); bits >>= 4) {
        nibble -= 4;
        std::memcpy(nibble, &nibbles[4 * (bits & 0xFU)], 4);
    }
    text.assign(std::end(digits) - length, static_cast<std::size_t>(length));
}

// "sign|exponent|fraction", as the decimal direction writes a pattern, into a reused text.
inline void write_fields(std::uint32_t bits, std::string& text)
{
    write_bits(bits, 32, text);
    text.insert(9, 1, '|').insert(1, 1, '|');
}

inline int exponent_of(std::uint32_t bits) { return static_cast<int>((bits >> 23) & 0xFFU) - 127; }

// The patterns the binary direction accepts: exponent -12..18, or -13..18 when negative.
inline bool in_window(std::uint32_t bits)
{
    const int e = exponent_of(bits);
    return e >= ((bits >> 31) != 0 ? -13 : -12) && e <= 18;
}

// The binary direction's whole output for an accepted pattern, into a reused text: the
// normalised line, the exact binary expansion with a comma, and the value as the stream prints a
// double by default (as printf's %.6g does).
inline void write_conversion(std::uint32_t bits, std::string& text)
{
    const int e = exponent_of(bits);
    thread_local std::string significand;
    write_bits((bits & 0x7FFFFFU) | 0x800000U, 24, significand);
    // The leading 1 and the fraction bits up to the last 1.
    const std::string_view digits(significand.data(), significand.find_last_of('1') + 1);
    const std::size_t length = digits.size();
    text.assign("\n1,").append(digits.substr(1)).append(" * 2^").append(std::to_string(e)).append("\n");
    if (e < 0) {
        text.append("0,").append(static_cast<std::size_t>(-e - 1), '0').append(digits);
    } else {
        const auto whole = static_cast<std::size_t>(e + 1);
        text.append(digits.substr(0, whole)).append(whole > length ? whole - length : 0, '0');
        if (whole < length) {
            text.append(",").append(digits.substr(whole));
        }
    }
    char value[32];
    const auto printed = std::to_chars(value, std::end(value), static_cast<double>(std::bit_cast<float>(bits)),
                                       std::chars_format::general, 6);
    text.append("\n\nFinal result: ").append(value, printed.ptr);
}

// Kept out of line, so that the compiler cannot move the arithmetic past the rounding-mode reset.
[[gnu::noinline]] inline float sum_to_float(double whole, double fraction)
{
    return static_cast<float>(whole + fraction);
}

// The magnitude that the decimal direction reads from a text that the stream reads as `value`, as
// a whole number and a fraction: for a plain decimal whose integer digits are not all zero, those
// digits and the double nearest to "0." and its digits after the point; for any other text, the
// double nearest to the whole text, split.
inline std::pair<double, double> value_read(std::string_view text, double value)
{
    // Where the characters from `from` on stop being of a kind (a set's find_first_not_of is slow).
    const auto skip = [text](std::size_t from, auto of_kind) {
        return static_cast<std::size_t>(std::find_if_not(text.begin() + from, text.end(), of_kind) - text.begin());
    };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t start = skip(0, [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
    const std::size_t digits = start + (start < text.size() && (text[start] == '-' || text[start] == '+') ? 1 : 0);
    const std::size_t point = skip(digits, digit);
    const std::size_t end = skip(std::min(point + 1, text.size()), digit);
    const bool plain = value != 0.0 && point < text.size() && text[point] == '.' &&
                       (end == text.size() || (text[end] != 'e' && text[end] != 'E'));
    if (!plain || text.find_first_not_of('0', digits) >= point) {
        return {std::trunc(std::fabs(value)), std::fabs(value) - std::trunc(std::fabs(value))};
    }
    thread_local std::string number;
    const double fraction = std::strtod(number.assign(1, '0').append(text.substr(point, end - point)).c_str(), nullptr);
    return {std::strtod(number.assign(text.substr(digits, point - digits)).c_str(), nullptr), fraction};
}

// The decimal direction's result for a text that the stream reads as `value`: the pattern of the
// magnitude read, cut off to a float toward zero, with the sign bit of the text's first
// character, or the out-of-range message when the whole value lies outside zero and the normal
// floats below 2^23.
inline std::string decimal_result(const std::string& text, double value)
{
    const double magnitude = std::fabs(value);
    if (magnitude >= 8388608.0 || (magnitude != 0.0 && magnitude < std::numeric_limits<float>::min())) {
        return "Number out of range ";
    }
    const auto [whole, fraction] = value_read(text, value);
    std::fesetround(FE_TOWARDZERO);  // a sum and a conversion toward zero cut off like one
    const float cut_off = sum_to_float(whole, fraction);
    std::fesetround(FE_TONEAREST);
    std::string result;
    write_fields(std::bit_cast<std::uint32_t>(cut_off) | (text.starts_with('-') ? 0x80000000U : 0U), result);
    return result;
}

// What is wrong with the decimal direction's conversion of `text` in language `lang`, or nothing:
// the number it reads must be the stream extraction's, and the result the reference's for it.
// Only a plain decimal whose fraction as written reads as 1.0 takes the error path instead: the
// message, then the fields of its integer digits alone (for 0, those of 1 with no fraction).
inline std::string decimal_problem(int lang, const std::string& text)
{
    double value = 0.0;
    std::istringstream(text) >> value;
    std::ostringstream messages;
    D2B d2b(lang, messages);
    const double read = d2b.stringToDouble(text);
    d2b.setK(text);
    const std::string result = d2b.convert();  // first: it writes the message
    const std::string actual = messages.str() + result;
    std::string expected = decimal_result(text, value);
    expected = lang == 2 && expected == "Number out of range " ? "Numero fuori dal range " : expected;
    double written_fraction = 0.0;  // read only where it matters: it is what takes the error path
    if (messages.tellp() != 0) {
        std::istringstream(std::string(1, '0').append(text, std::min(text.find('.'), text.size()))) >> written_fraction;
    }
    const bool short_or_one = result.size() < 34 || result.ends_with("|01111111|" + std::string(23, '0'));
    const bool error_path = actual.starts_with(lang == 2 ? "ERRORE " : "ERROR ") && written_fraction >= 1.0 && short_or_one;
    if (read == value && std::signbit(read) == std::signbit(value) && (actual == expected || error_path)) {
        return "";
    }
    return text + " gives \"" + actual + "\", expected \"" + expected + "\"";
}

// Runs `check(index)` for every index below `total` on every core and reports the first
// failures (the check returns what is wrong, or nothing); on a terminal a progress line on
// standard error says how far it is, about once a second. Prints the summary line and returns
// the number of failures.
template <class Check>
std::uint64_t run(const char* what, std::uint64_t total, Check check)
{
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    constexpr std::uint64_t chunk = 1 << 12;
    std::atomic<std::uint64_t> next{0};
    std::atomic<std::uint64_t> failures{0};
    std::mutex lock;
    double shown = 0.0;
    auto worker = [&] {
        for (std::uint64_t begin; (begin = next.fetch_add(chunk)) < total;) {
            for (std::uint64_t index = begin; index < std::min(begin + chunk, total); ++index) {
                const std::string problem = check(index);
                if (!problem.empty() && failures++ < 20) {
                    const std::lock_guard<std::mutex> guard(lock);
                    std::printf("FAIL %s\n", problem.c_str());
                }
            }
            const std::unique_lock<std::mutex> guard(lock, std::try_to_lock);
            if (isatty(STDERR_FILENO) != 0 && guard.owns_lock() && seconds() >= shown + 1.0) {
                shown = seconds();
                std::fprintf(stderr, "\r%s: %5.1f%%", what, 100.0 * static_cast<double>(begin) / static_cast<double>(total));
            }
        }
    };
    std::vector<std::thread> pool;
    std::generate_n(std::back_inserter(pool), std::max(1U, std::thread::hardware_concurrency()), [&] { return std::thread(worker); });
    std::for_each(pool.begin(), pool.end(), [](std::thread& thread) { thread.join(); });
    std::fputs(isatty(STDERR_FILENO) != 0 ? "\n" : "", stderr);
    std::printf("%" PRIu64 " %s checked, %" PRIu64 " failures, %.1f s\n", total, what, failures.load(), seconds());
    return failures.load();
}

}  // namespace reference
