// The whole dialogue on arbitrary input bytes: it must end (at the end of the input), begin
// with the language menu and finish with one of the three ways of leaving.
#include "floating_point.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    run_dialogue(in, out);
    const std::string output = out.str();
    const bool left = output.ends_with("\nCredit to: Vantelli Edmondo and Corbaro Ludano\n") ||
                      output.ends_with("\nSviluppato da: Vantelli Edmondo e Corbaro Ludano\n") ||
                      output.ends_with("Credit to Vantelli Edmondo and Corbaro Ludano\n"
                                       "Sviluppato da Vantelli Edmondo e Ludano Corbaro\n");
    const bool menu_first = output.starts_with("Select the languages/Seleziona la lingua: \n"
                                               "Select 1 to choose english\nSeleziona 2 per scegliere italiano\n\n"
                                               "--------------------------------->Choose/Scelta: ");
    if (!menu_first || !left) {
        std::abort();
    }
    return 0;
}
