// Checks the binary-to-decimal direction against the machine's own decoding of the same bits.
// For every bit pattern visited, as a 32-character text:
// - verifica accepts it exactly when its exponent lies in the window for its sign;
// - an accepted pattern's normalised line, read as 1,f * 2^e, and its digit line, read as a
//   binary number, both equal the float exactly, without superfluous digits;
// - the printed value equals the float printed with the stream's default formatting;
// - with --prefixes, every shorter text (9 to 31 characters) evaluates exactly like the
//   32-character text padded with "0".
// Usage: b2d_exhaustive [--stride N] [--threads N] [--prefixes]

#include "binary_to_decimal/binario_decimale.hpp"

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    std::uint64_t stride = 1;
    unsigned threads = 2;
    bool prefixes = false;
};

constexpr std::uint64_t all_patterns = std::uint64_t{1} << 32;

std::string text_of(std::uint32_t bits)
{
    std::string text(32, '0');
    for (int i = 0; i < 32; ++i) {
        if (((bits >> (31 - i)) & 1U) != 0) {
            text[static_cast<std::size_t>(i)] = '1';
        }
    }
    return text;
}

bool in_window(std::uint32_t bits)
{
    const int e = static_cast<int>((bits >> 23) & 0xFFU) - 127;
    const int lowest = (bits >> 31) != 0 ? -13 : -12;
    return e >= lowest && e <= 18;
}

// The value of binary digits with an optional comma; NaN when anything else is there.
double read_binary(const std::string& digits)
{
    double value = 0.0;
    int fraction_weight = 0;
    for (const char c : digits) {
        if (c == ',' && fraction_weight == 0) {
            fraction_weight = -1;
        } else if (c == '0' || c == '1') {
            if (fraction_weight == 0) {
                value = 2 * value + (c - '0');
            } else {
                value += (c - '0') * std::ldexp(1.0, fraction_weight--);
            }
        } else {
            return std::nan("");
        }
    }
    return value;
}

std::string conversion_of(const std::string& text, bool& accepted)
{
    std::ostringstream out;
    Binario_Decimale record(1, out);
    record.set_val(text);
    accepted = record.verifica();
    if (accepted) {
        record.conversione();
    }
    return out.str();
}

// Empty when the output is right for the pattern, otherwise what is wrong.
std::string check(std::uint32_t bits)
{
    bool accepted = false;
    const std::string output = conversion_of(text_of(bits), accepted);
    if (accepted != in_window(bits)) {
        return accepted ? "accepted outside the window" : "rejected inside the window";
    }
    if (!accepted) {
        return output.empty() ? "" : "output for a rejected pattern";
    }
    const float value = std::bit_cast<float>(bits);
    const double magnitude = std::fabs(static_cast<double>(value));
    // "\n1,F * 2^E\nDIGITS\n\nFinal result: VALUE"
    const std::size_t first = output.find('\n', 1);
    const std::size_t second = output.find('\n', first + 1);
    if (output[0] != '\n' || first == std::string::npos || second == std::string::npos ||
        output.compare(second, 2, "\n\n") != 0) {
        return "layout";
    }
    const std::string norm = output.substr(1, first - 1);
    const std::string digits = output.substr(first + 1, second - first - 1);
    const std::string result = output.substr(second + 2);

    int power = 0;
    char fraction[40] = "";
    if (std::sscanf(norm.c_str(), "1,%39[01] * 2^%d", fraction, &power) != 2 &&
        std::sscanf(norm.c_str(), "1, * 2^%d", &power) != 1) {
        return "normalised line unreadable";
    }
    const std::string fraction_digits = fraction;
    if (!fraction_digits.empty() && fraction_digits.back() == '0') {
        return "normalised line has trailing zeros";
    }
    if (std::ldexp(read_binary("1," + fraction_digits), power) != magnitude ||
        norm != "1," + fraction_digits + " * 2^" + std::to_string(power)) {
        return "normalised line";
    }
    const std::size_t comma = digits.find(',');
    const bool leading_zero = digits.size() > 1 && digits[0] == '0' && digits[1] != ',';
    const bool trailing_zero = comma != std::string::npos && (digits.back() == '0' || comma + 1 == digits.size());
    if (read_binary(digits) != magnitude || leading_zero || trailing_zero) {
        return "digit line";
    }
    std::ostringstream expected;
    expected << "Final result: " << value;
    return result == expected.str() ? "" : "value";
}

std::string check_prefixes(std::uint32_t bits)
{
    const std::string full = text_of(bits);
    for (std::size_t length = 9; length < 32; ++length) {
        const std::string prefix = full.substr(0, length);
        const std::string padded = prefix + std::string(32 - length, '0');
        bool prefix_accepted = false;
        bool padded_accepted = false;
        if (conversion_of(prefix, prefix_accepted) != conversion_of(padded, padded_accepted) ||
            prefix_accepted != padded_accepted) {
            return "prefix of " + std::to_string(length) + " characters";
        }
    }
    return "";
}

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--stride") == 0 && i + 1 < argc) {
            options.stride = std::strtoull(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            options.threads = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--prefixes") == 0) {
            options.prefixes = true;
        }
    }
    if (options.stride == 0) {
        options.stride = 1;
    }
    if (options.threads == 0) {
        options.threads = 1;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    const std::uint64_t total = (all_patterns + options.stride - 1) / options.stride;
    constexpr std::uint64_t chunk = 1 << 16;
    std::atomic<std::uint64_t> next_chunk{0};
    std::atomic<std::uint64_t> checked{0};
    std::atomic<std::uint64_t> failures{0};
    std::mutex report;
    auto worker = [&] {
        for (;;) {
            const std::uint64_t begin = next_chunk.fetch_add(1) * chunk;
            if (begin >= total) {
                return;
            }
            const std::uint64_t end = std::min(begin + chunk, total);
            for (std::uint64_t index = begin; index < end; ++index) {
                const auto bits = static_cast<std::uint32_t>(index * options.stride);
                std::string problem = check(bits);
                if (problem.empty() && options.prefixes) {
                    problem = check_prefixes(bits);
                }
                if (!problem.empty() && failures.fetch_add(1) < 20) {
                    const std::lock_guard<std::mutex> lock(report);
                    std::printf("FAIL %s: %s\n", text_of(bits).c_str(), problem.c_str());
                }
            }
            const std::uint64_t done = checked.fetch_add(end - begin) + (end - begin);
            if (total > 50 * chunk && (done / chunk) % (total / chunk / 20 + 1) == 0) {
                const std::lock_guard<std::mutex> lock(report);
                std::fprintf(stderr, "%5.1f%% of %llu patterns\n", 100.0 * static_cast<double>(done) / static_cast<double>(total),
                             static_cast<unsigned long long>(total));
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < options.threads; ++t) {
        pool.emplace_back(worker);
    }
    for (std::thread& thread : pool) {
        thread.join();
    }
    std::printf("%llu patterns checked (stride %llu%s), %llu failures\n", static_cast<unsigned long long>(checked.load()),
                static_cast<unsigned long long>(options.stride), options.prefixes ? ", with prefixes" : "",
                static_cast<unsigned long long>(failures.load()));
    return failures.load() == 0 ? 0 : 1;
}
