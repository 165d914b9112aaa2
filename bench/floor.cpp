// The floor of a scripted session: writes a recorded transcript of the program with the write
// calls the dialogue requires (one after every line break, one for every prompt that is waiting
// for an answer), after reading its whole standard input, and does nothing else.
// Usage: floor TRANSCRIPT < SESSION > OUTPUT

#include <unistd.h>

#include <array>
#include <fstream>
#include <string>
#include <string_view>

namespace {

// Text after which the program waits for an answer, so the pending output is flushed.
constexpr std::array<std::string_view, 6> prompts{
    "Choose/Scelta: ",        "--------------------------------->Scelta: ", "Insert binary value: ",
    "Inserisci valore in binario: ", "Insert decimal value: ", "Inserisci valore decimale: ",
};

bool ends_with_prompt(std::string_view text)
{
    for (const std::string_view prompt : prompts) {
        if (text.ends_with(prompt)) {
            return true;
        }
    }
    return false;
}

void write_all(std::string_view chunk)
{
    while (!chunk.empty()) {
        const ssize_t written = ::write(1, chunk.data(), chunk.size());
        if (written <= 0) {
            return;
        }
        chunk.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        return 2;
    }
    std::array<char, 1 << 16> block{};
    while (::read(0, block.data(), block.size()) > 0) {
    }
    // The transcript is streamed, so that the floor holds no more than one line of it.
    std::ifstream transcript(argv[1], std::ios::binary);
    std::string pending;
    while (transcript.read(block.data(), block.size()) || transcript.gcount() > 0) {
        for (std::streamsize i = 0; i < transcript.gcount(); ++i) {
            const char c = block[static_cast<std::size_t>(i)];
            pending += c;
            if (c == '\n' || (c == ' ' && ends_with_prompt(pending))) {
                write_all(pending);
                pending.clear();
            }
        }
    }
    write_all(pending);
    return 0;
}
