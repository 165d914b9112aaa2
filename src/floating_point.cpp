// The console program: language choice, then passes of the main menu, one conversion dialogue
// and the restart question, until the user leaves at the menu or at the restart question.
// Every line break is std::endl, so each line reaches the screen as it is written, and the
// input is tied to the output, so a prompt shows before the program waits.

#include <array>
#include <cstdio>
#include <iostream>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>

#include "binary_to_decimal/binario_decimale.hpp"
#include "decimal_to_binary/d2b.hpp"
#include "floating_point.hpp"
#include "platform.hpp"

namespace {

constexpr const char* choose_prompt = "--------------------------------->Choose/Scelta: ";
constexpr const char* menu_prompt = "--------------------------------->Scelta: ";

struct Texts {
    const char* menu_binary;
    const char* menu_decimal;
    const char* menu_leave;
    const char* binary_prompt;
    const char* invalid_value;
    const char* decimal_prompt;
    const char* result_prefix;
    const char* menu_exit_credit;
};

constexpr Texts english{
    "Press 1 to convert binary-decimal",
    "Press 2 to convert decimal-binary",
    "Press another button to esc",
    "Insert binary value: ",
    "Insert a valid number!",
    "Insert decimal value: ",
    "The binary number is: ",
    "Credit to: Vantelli Edmondo and Corbaro Ludano",
};

constexpr Texts italian{
    "Premi 1 per la conversione binario-decimale",
    "Premi 2 per la conversione decimale-binario",
    "Premi un altro tasto per uscire",
    "Inserisci valore in binario: ",
    "Inserire un numero valido!",
    "Inserisci valore decimale: ",
    "Il numero in binario è: ",
    "Sviluppato da: Vantelli Edmondo e Corbaro Ludano",
};

const Texts& texts_for(int lang) { return lang == 1 ? english : italian; }

// False when no answer can come any more: only white space is left in the input, the input
// cannot be read, or the output has failed and nobody would see the next prompt. The sentry
// of a formatted read flushes the prompt and skips the white space, as the read itself would.
bool answer_can_come(std::istream& in, const std::ostream& out)
{
    if (!out) {
        return false;
    }
    const std::istream::sentry skip_white_space(in);
    return static_cast<bool>(skip_white_space);
}

void write_closing_credits(std::ostream& out)
{
    out << "Credit to Vantelli Edmondo and Corbaro Ludano" << std::endl
        << "Sviluppato da Vantelli Edmondo e Ludano Corbaro" << std::endl;
}

// The input ended while the program waited for an answer: end the open line and leave.
void leave_at_end_of_input(std::ostream& out)
{
    out << std::endl;
    write_closing_credits(out);
}

// Returns 1 (English) or 2 (Italian), or 0 when the input ends first. A wrong answer is
// worked off one character per attempt: the stream is cleared and one character discarded.
int choose_language(std::istream& in, std::ostream& out)
{
    for (;;) {
        out << "Select the languages/Seleziona la lingua: " << std::endl
            << "Select 1 to choose english" << std::endl
            << "Seleziona 2 per scegliere italiano" << std::endl
            << std::endl
            << choose_prompt;
        if (!answer_can_come(in, out)) {
            return 0;
        }
        int lang = -1;
        in >> lang;
        in.clear();
        in.get();
        if (lang == 1 || lang == 2) {
            return lang;
        }
        out << std::endl
            << std::endl
            << "Error!!!" << std::endl
            << "Errore!!!" << std::endl
            << std::endl
            << "Select 1 or 2 to choose the languages!!!" << std::endl
            << "Scegli 1 o 2 per scegliere la lingua!!!" << std::endl
            << std::endl;
    }
}

// Asks for bit patterns until one is valid and writes its conversion. False when the input
// ends first.
bool binary_to_decimal(std::istream& in, std::ostream& out, int lang)
{
    const Texts& texts = texts_for(lang);
    std::string token;
    Binario_Decimale converter(lang, out);
    for (;;) {
        out << texts.binary_prompt;
        if (!answer_can_come(in, out)) {
            return false;
        }
        in >> token;
        converter.set_val(token);
        if (converter.verifica()) {
            converter.conversione();
            return true;
        }
        out << texts.invalid_value << std::endl;
    }
}

// Converts one decimal token; the result line stays open. False when the input ends first.
bool decimal_to_binary(std::istream& in, std::ostream& out, int lang)
{
    const Texts& texts = texts_for(lang);
    std::string token;
    D2B converter(lang, out);
    out << texts.decimal_prompt;
    if (!answer_can_come(in, out)) {
        return false;
    }
    in >> token;
    converter.setK(token);
    // Converted before the prefix is written: an error message of the converter stands first.
    const std::string result = converter.convert();
    out << texts.result_prefix << result;
    return true;
}

enum class Restart { again, leave, input_ended };

// The restart question, always in both languages; only the answer "0" starts another pass.
Restart ask_restart(std::istream& in, std::ostream& out)
{
    out << std::endl
        << "Would you like to restart the program?" << std::endl
        << "Press 0 to continue, another to esc: " << std::endl
        << std::endl
        << "Vuoi eseguire nuovamente il programma? " << std::endl
        << "0 per continuare, qualsiasi altro tasto per uscire: " << std::endl
        << choose_prompt;
    if (!answer_can_come(in, out)) {
        return Restart::input_ended;
    }
    std::string answer;
    in >> answer;
    return answer == "0" ? Restart::again : Restart::leave;
}

// The rest of the answer's line is discarded, one character; at the end of the input there is
// none, and a terminal would wait for one.
void menu_exit(std::istream& in, std::ostream& out, const Texts& texts)
{
    if (!in.eof()) {
        in.clear();
        in.get();
    }
    out << std::endl << texts.menu_exit_credit << std::endl;
}

}  // namespace

// The whole run over the given streams.
void run_dialogue(std::istream& in, std::ostream& out)
{
    const int lang = choose_language(in, out);
    if (lang == 0) {
        leave_at_end_of_input(out);
        return;
    }
    const Texts& texts = texts_for(lang);
    for (;;) {
        out << std::endl
            << texts.menu_binary << std::endl
            << texts.menu_decimal << std::endl
            << texts.menu_leave << std::endl
            << menu_prompt;
        int answer = 0;  // stays 0 at the end of input, which leads to the menu exit
        if (answer_can_come(in, out)) {
            in >> answer;
        } else if (!out) {
            return;  // nobody sees the output any more: do not wait for the menu exit's key
        }
        bool converted = false;
        if (answer == 1) {
            converted = binary_to_decimal(in, out, lang);
        } else if (answer == 2) {
            converted = decimal_to_binary(in, out, lang);
        } else {
            menu_exit(in, out, texts);
            return;
        }
        if (!converted) {
            leave_at_end_of_input(out);
            return;
        }
        switch (ask_restart(in, out)) {
        case Restart::again:
            break;
        case Restart::leave:
            write_closing_credits(out);
            return;
        case Restart::input_ended:
            leave_at_end_of_input(out);
            return;
        }
    }
}

#ifndef FLOATING_POINT_NO_MAIN
namespace {

// Standard input and output as plain buffered streams. The dialogue flushes every line break
// and, through the tie, every prompt before a read: each flush is one write and nothing else
// writes. A failed write fails the output stream, for main to report.
class ConsoleOutput : public std::streambuf {
public:
    ConsoleOutput() { setp(buffer.data(), buffer.data() + buffer.size()); }

    const platform::StandardOutput& device() const { return output; }

protected:
    int_type overflow(int_type c) override
    {
        if (sync() != 0) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            sputc(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }

    int sync() override
    {
        if (output.failure() != 0) {
            return -1;
        }
        for (const char* next = pbase(); next < pptr();) {
            const long written = output.write(next, static_cast<std::size_t>(pptr() - next));
            if (written < 0) {
                return -1;
            }
            next += written;
        }
        setp(buffer.data(), buffer.data() + buffer.size());
        return 0;
    }

private:
    platform::StandardOutput output;
    std::array<char, 1 << 14> buffer{};
};

// Once a read has reported the end of the input or failed, the input stays ended: a terminal
// answers the next read by waiting for another Ctrl-D, which the user should not have to press.
class ConsoleInput : public std::streambuf {
public:
    const platform::StandardInput& device() const { return input; }

protected:
    int_type underflow() override
    {
        const long got = ended ? 0 : input.read(buffer.data(), buffer.size());
        if (got <= 0) {
            ended = true;
            return traits_type::eof();
        }
        setg(buffer.data(), buffer.data(), buffer.data() + got);
        return traits_type::to_int_type(buffer[0]);
    }

private:
    platform::StandardInput input;
    bool ended = false;
    std::array<char, 1 << 14> buffer{};
};

void report(const char* what, int failure)
{
    std::fprintf(stderr, "floating_point: %s error: %s\n", what, platform::failure_text(failure).c_str());
}

}  // namespace

// Status 0, or 1 after a failed write (the dialogue stops there) or a failed read (the dialogue
// ends as at the end of the input).
int main()
{
    ConsoleInput input_buffer;
    ConsoleOutput output_buffer;
    std::istream in(&input_buffer);
    std::ostream out(&output_buffer);
    in.tie(&out);
    run_dialogue(in, out);
    out.flush();
    if (output_buffer.device().failure() != 0) {
        report("write", output_buffer.device().failure());
        return 1;
    }
    if (input_buffer.device().failure() != 0) {
        report("read", input_buffer.device().failure());
        return 1;
    }
    return 0;
}
#endif
