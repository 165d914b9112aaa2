// The binary direction's edges that the check of all bit patterns does not reach: texts that are
// not 32 binary digits, patterns outside the window (which the dialogue never evaluates), the
// special classes and the Italian texts. (That check also uses each record again and again, and
// the fuzzer evaluates texts of every shape.)

#include "binary_to_decimal/binario_decimale.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::string conversion_of(const std::string& text, int lingua = 1)
{
    std::ostringstream out;
    Binario_Decimale record(lingua, out);
    record.set_val(text);
    record.conversione();
    return out.str();
}

TEST(Verifica, AcceptsNineToThirtyTwoBinaryDigitsInTheWindowForTheirSign)
{
    const std::string nine = "010000001";
    const std::vector<std::pair<std::string, bool>> rows{
        {"", false}, {"01000000", false}, {nine, true}, {nine + std::string(23, '1'), true},
        {nine + std::string(24, '0'), false}, {nine + "2", false}, {"-" + nine, false}, {"0100 00001", false},
        {std::string("0100000\0" "01", 10), false}, {"0100000010\xc3\xa8", false},
        // The lowest exponent is -12 for sign bit 0 and -13 for sign bit 1; the highest is 18.
        {"001110011", true}, {"001110010", false}, {"101110010", true}, {"101110001", false},
        {"010010001", true}, {"110010010", false}, {"000000000", false}, {"111111111", false},
    };
    Binario_Decimale record(1);
    for (const auto& [text, accepted] : rows) {
        record.set_val(text);
        EXPECT_EQ(record.verifica(), accepted) << '"' << text << '"';
    }
}

// Outside the window: past 23 stored bits the integer digits go on with zeros; a zero of either
// sign shows the plain digit 0.
TEST(Conversione, PatternsOutsideTheWindow)
{
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> rows{
        {"0100101111", "1,1 * 2^24", "1100000000000000000000000", "2.51658e+07"},
        {"111111110" + std::string(23, '1'), "1," + std::string(23, '1') + " * 2^127",
         std::string(24, '1') + std::string(104, '0'), "-3.40282e+38"},
        {"0000000011", "1,1 * 2^-126", "0," + std::string(125, '0') + "11", "1.76324e-38"},
        {"000000000", "0", "0", "0"}, {"100000000", "0", "0", "-0"},
    };
    for (const auto& [text, normalised, digits, value] : rows) {
        const std::string lines = "\n" + normalised + "\n" + digits + "\n\n";
        EXPECT_EQ(conversion_of(text, 1), lines + "Final result: " + value) << text;
        EXPECT_EQ(conversion_of(text, 2), lines + "Risultato finale: " + value) << text;
    }
}

TEST(Conversione, SpecialClassesWriteOnlyTheirMessage)
{
    for (const auto& [text, english, italian] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"0000000001", "Subnormal number\n", "Numero denormalizzato\n"},
             {"011111111", "+infinity\n", "+infinito\n"}, {"111111111", "-infinity\n", "-infinito\n"},
             {"1111111110001", "It's not a number\n", "Non \xc3\xa8 un numero\n"},
             {"0111111111", "It's not a number\n", "Non \xc3\xa8 un numero\n"}}) {
        EXPECT_EQ(conversion_of(text, 1), english) << text;
        EXPECT_EQ(conversion_of(text, 2), italian) << text;
    }
}

}  // namespace
