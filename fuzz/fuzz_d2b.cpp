// D2B on an arbitrary text, the first byte picking the language: the number it reads must be the
// stream extraction's and the result the reference's, or the error path of a plain decimal whose
// fraction as written reads as 1.0 (reference::decimal_problem).
#include "reference.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size - (size > 0 ? 1 : 0));
    if (size > 0 && !reference::decimal_problem(data[0] % 2 == 0 ? 1 : 2, text).empty()) {
        std::abort();
    }
    return 0;
}
