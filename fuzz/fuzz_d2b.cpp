// D2B on an arbitrary text (the first byte picks the language): the number it reads must be
// the stream extraction's, and the result must be the out-of-range message or a field text,
// sign | 8 exponent digits | 23 fraction digits (fewer only after the error message).
#include "decimal_to_binary/d2b.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool binary_digits(const std::string& text, std::size_t from, std::size_t count)
{
    if (text.size() < from + count) {
        return false;
    }
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] != '0' && text[i] != '1') {
            return false;
        }
    }
    return true;
}

bool is_field_text(const std::string& result, bool error_written)
{
    const bool frame = result.size() >= 11 && binary_digits(result, 0, 1) && result[1] == '|' &&
                       binary_digits(result, 2, 8) && result[10] == '|';
    const std::size_t fraction = result.size() - 11;
    return frame && binary_digits(result, 11, fraction) && (fraction == 23 || (error_written && fraction < 23));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const int lang = data[0] % 2 == 0 ? 1 : 2;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::ostringstream messages;
    D2B d2b(lang, messages);

    std::istringstream stream(text);
    double expected = 0.0;
    stream >> expected;
    const double read = d2b.stringToDouble(text);
    if (read != expected || std::signbit(read) != std::signbit(expected)) {
        std::abort();
    }

    d2b.setK(text);
    const std::string result = d2b.convert();
    const std::string error = lang == 2 ? "ERRORE " : "ERROR ";
    const bool error_written = messages.str() == error;
    if (!messages.str().empty() && !error_written) {
        std::abort();
    }
    const std::string out_of_range = lang == 2 ? "Numero fuori dal range " : "Number out of range ";
    if (result != out_of_range && !is_field_text(result, error_written)) {
        std::abort();
    }
    return 0;
}
