// Binario_Decimale on an arbitrary text: every text that verifica accepts evaluates to a value
// whose magnitude lies in the window, and the operations are safe on every other text too.
#include "binary_to_decimal/binario_decimale.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::ostringstream out;
    Binario_Decimale record(1, out);
    record.set_val(text);
    if (!record.verifica()) {
        record.conversione();  // outside the driver's use, but it must stay safe
        return 0;
    }
    record.conversione();
    std::string label;
    double value = 0.0;
    std::istringstream printed(out.str().substr(out.str().rfind('\n') + 1));
    std::getline(printed, label, ':');
    printed >> value;
    const double lowest = text[0] == '1' ? std::ldexp(1.0, -13) : std::ldexp(1.0, -12);
    // The printed value has 6 significant digits: allow for its rounding at both ends.
    const double magnitude = std::fabs(value);
    if (label != "Final result" || magnitude < lowest * (1 - 1e-5) || magnitude > std::ldexp(1.0, 19) ||
        std::signbit(value) != (text[0] == '1')) {
        std::abort();
    }
    return 0;
}
