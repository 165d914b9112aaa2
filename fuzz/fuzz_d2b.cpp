// D2B on an arbitrary text (the first byte picks the language): the number it reads must be the
// stream extraction's, and the result the reference's: the pattern of the magnitude read (for a
// plain decimal of 1 or more its integer digits and its fraction as written, otherwise the whole
// value) cut off to a float, signed by the text's first character, or the out-of-range message.
// Only a plain decimal whose fraction as written reads as 1.0 takes the error path instead, with
// the error message and a short field text.
#include "decimal_to_binary/d2b.hpp"
#include "reference.hpp"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const int lang = data[0] % 2 == 0 ? 1 : 2;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    double value = 0.0;
    std::istringstream(text) >> value;
    std::ostringstream messages;
    D2B d2b(lang, messages);
    const double read = d2b.stringToDouble(text);
    d2b.setK(text);
    const std::string result = d2b.convert();

    double written_fraction = 0.0;  // read only where it matters: it is what takes the error path
    if (!messages.str().empty()) {
        std::istringstream("0" + text.substr(std::min(text.find('.'), text.size()))) >> written_fraction;
    }
    const bool error_path = messages.str() == (lang == 2 ? "ERRORE " : "ERROR ") && result.size() < 34 &&
                            written_fraction >= 1.0;
    std::string expected = reference::decimal_result(text, value);
    if (lang == 2 && expected == "Number out of range ") {
        expected = "Numero fuori dal range ";
    }
    const bool right = result == expected && messages.str().empty();
    if (read != value || std::signbit(read) != std::signbit(value) || !(error_path || right)) {
        std::abort();
    }
    return 0;
}
