// The whole dialogue on arbitrary input bytes: it must end (at the end of the input), begin
// with the language menu and finish with one of the three ways of leaving.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

int run_dialogue(std::istream& in, std::ostream& out);

namespace {

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    if (run_dialogue(in, out) != 0) {
        std::abort();
    }
    const std::string output = out.str();
    const std::string menu = "Select the languages/Seleziona la lingua: \nSelect 1 to choose english\n"
                             "Seleziona 2 per scegliere italiano\n\n--------------------------------->Choose/Scelta: ";
    const bool left = ends_with(output, "\nCredit to: Vantelli Edmondo and Corbaro Ludano\n") ||
                      ends_with(output, "\nSviluppato da: Vantelli Edmondo e Corbaro Ludano\n") ||
                      ends_with(output, "Credit to Vantelli Edmondo and Corbaro Ludano\n"
                                        "Sviluppato da Vantelli Edmondo e Ludano Corbaro\n");
    if (output.compare(0, menu.size(), menu) != 0 || !left) {
        std::abort();
    }
    return 0;
}
