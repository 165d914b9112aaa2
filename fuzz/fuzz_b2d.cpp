// Binario_Decimale on an arbitrary text: verifica accepts exactly the texts of 9 to 32 binary
// digits whose pattern (missing fraction bits 0) lies in the window, and an accepted text's
// output is the reference's. conversione must stay safe on every other text too.
#include "binary_to_decimal/binario_decimale.hpp"
#include "reference.hpp"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::ostringstream out;
    Binario_Decimale record(1, out);
    record.set_val(text);
    const bool accepted = record.verifica();
    record.conversione();  // on a rejected text outside the driver's use, but it must stay safe

    const bool shape = size >= 9 && size <= 32 && text.find_first_not_of("01") == std::string::npos;
    const auto bits = shape ? static_cast<std::uint32_t>(std::stoul(text, nullptr, 2) << (32 - size)) : 0U;
    std::string expected;
    if (accepted) {
        reference::write_conversion(bits, expected);
    }
    if (accepted != (shape && reference::in_window(bits)) || (accepted && out.str() != expected)) {
        std::abort();
    }
    return 0;
}
