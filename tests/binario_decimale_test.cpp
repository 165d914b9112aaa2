// The binary direction's edges that the check of all bit patterns does not reach: texts that are
// not 32 binary digits, patterns outside the window (which the dialogue never evaluates), the
// special classes, the Italian texts and a record used again.

#include "binary_to_decimal/binario_decimale.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

bool accepts(const std::string& text)
{
    Binario_Decimale record(1);
    record.set_val(text);
    return record.verifica();
}

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
    for (const auto& [text, accepted] : rows) {
        EXPECT_EQ(accepts(text), accepted) << '"' << text << '"';
    }
}

TEST(Fields, ExtractorsReadOnlyCharactersThatExist)
{
    Binario_Decimale record(1);
    record.set_val("0100000010101");
    record.scomposizione();
    EXPECT_EQ(record.mantissa, (std::array<std::int32_t, 23>{0, 1, 0, 1}));
    EXPECT_EQ(record.trova_esponente(), 129);
    // Too short: the exponent bits it lacks keep the previous text's, the fraction bits are 0.
    record.set_val("1011");
    record.scomposizione();
    EXPECT_EQ(record.segno, -1);
    EXPECT_EQ(record.trova_esponente(), 0b01100001);
    EXPECT_EQ(record.mantissa, (std::array<std::int32_t, 23>{}));
}

// Outside the window: past 23 stored bits the integer digits go on with zeros; a zero of either
// sign shows the plain digit 0.
TEST(Conversione, PatternsOutsideTheWindow)
{
    const std::vector<std::vector<std::string>> rows{
        {"010010110" + std::string(22, '0') + "1", "1,00000000000000000000001 * 2^23", "100000000000000000000001", "8.38861e+06"},
        {"0100101111", "1,1 * 2^24", "1100000000000000000000000", "2.51658e+07"},
        {"111111110" + std::string(23, '1'), "1,11111111111111111111111 * 2^127", std::string(24, '1') + std::string(104, '0'), "-3.40282e+38"},
        {"0000000011", "1,1 * 2^-126", "0," + std::string(125, '0') + "11", "1.76324e-38"},
        {"000000000", "0", "0", "0"},
        {"100000000", "0", "0", "-0"},
    };
    for (const auto& row : rows) {
        const std::string lines = "\n" + row[1] + "\n" + row[2] + "\n\n";
        EXPECT_EQ(conversion_of(row[0], 1), lines + "Final result: " + row[3]) << row[0];
        EXPECT_EQ(conversion_of(row[0], 2), lines + "Risultato finale: " + row[3]) << row[0];
    }
}

TEST(Conversione, SpecialClassesWriteOnlyTheirMessage)
{
    const std::vector<std::vector<std::string>> rows{
        {"0000000001", "Subnormal number\n", "Numero denormalizzato\n"},
        {"011111111", "+infinity\n", "+infinito\n"},
        {"111111111", "-infinity\n", "-infinito\n"},
        {"111111111" + std::string(22, '0') + "1", "It's not a number\n", "Non \xc3\xa8 un numero\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(conversion_of(row[0], 1), row[1]) << row[0];
        EXPECT_EQ(conversion_of(row[0], 2), row[2]) << row[0];
    }
}

TEST(Conversione, RecordUsedAgainEvaluatesLikeAFreshOne)
{
    std::ostringstream out;
    Binario_Decimale record(1, out);
    for (const std::string text : {"2", "111111111", "0100000010101"}) {
        record.set_val(text);
        if (record.verifica()) {
            record.conversione();
        }
    }
    record.conversione();
    EXPECT_EQ(out.str(), conversion_of("0100000010101") + conversion_of("0100000010101"));
}

}  // namespace
