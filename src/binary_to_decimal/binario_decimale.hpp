#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>
#include <utility>

// One binary-to-decimal conversion. The typed text is a binary32 pattern, most significant bit
// first: character 0 the sign, 1 to 8 the exponent field (bias 127), 9 onward the fraction field;
// fraction bits missing at the end count as 0. Every bit is held in its own element.
class Binario_Decimale {
public:
    explicit Binario_Decimale(int lingua, std::ostream& out = std::cout) : lingua(lingua), out(out) {}

    void set_val(std::string testo) { val = std::move(testo); }

    // True when `val` is 9 to 32 binary digits whose exponent lies in the window for its sign:
    // -12..18 for a positive pattern, -13..18 for a negative one.
    bool verifica()
    {
        const bool binary = std::all_of(val.begin(), val.end(), [](char c) { return c == '0' || c == '1'; });
        if (!binary || val.size() < 9 || val.size() > 32) {
            return false;
        }
        set_esponente();
        const int e = trova_esponente() - 127;
        set_segno();
        if (segno > 0) {
            return e >= -12 && e <= 18;
        }
        if (segno < 0) {
            return e >= -13 && e <= 18;
        }
        return false;
    }

    // The extractors read only characters that exist: on a text too short or not binary they
    // leave the affected elements as they were (fraction bits past the end become 0).
    void set_segno()
    {
        if (!val.empty()) {
            set_bit(segno, val[0], 1, -1);
        }
    }

    void set_esponente()
    {
        for (std::size_t i = 0; i < esponente.size(); ++i) {
            if (i + 1 < val.size()) {
                set_bit(esponente[i], val[i + 1], 0, 1);
            }
        }
    }

    void set_mantissa()
    {
        for (std::size_t i = 0; i < mantissa.size(); ++i) {
            if (9 + i < val.size()) {
                set_bit(mantissa[i], val[9 + i], 0, 1);
            } else {
                mantissa[i] = 0;
            }
        }
    }

    void scomposizione()
    {
        set_segno();
        set_esponente();
        set_mantissa();
    }

    std::int32_t trova_esponente() const
    {
        std::int32_t campo = 0;
        for (const std::int32_t bit : esponente) {
            campo = campo * 2 + (bit == 1 ? 1 : 0);
        }
        return campo;
    }

    // Classifies the pattern: 0 normal (or zero), 1 subnormal, 2 infinity, 3 not a number.
    // For a normal number it writes the normalised line and the digit line and fills the
    // digit texts, which together are the exact binary expansion of the magnitude.
    std::int32_t sposta_virgola()
    {
        const std::int32_t campo = trova_esponente();
        const int ultimo_uno = last_one();
        if (campo == 255) {
            return ultimo_uno < 0 ? 2 : 3;
        }
        if (campo == 0) {
            if (ultimo_uno >= 0) {
                return 1;
            }
            // A zero has no leading 1 to normalise: both lines show the plain digit 0.
            parte_intera.assign(1, '0');
            parte_decimale.clear();
            out << std::endl << '0';
            write_digit_line();
            return 0;
        }
        const int e = campo - 127;
        const std::string fraction = fraction_bits(0, ultimo_uno);
        out << std::endl << "1," << fraction << " * 2^" << e;
        // The digit texts are 1,fraction with the point moved e places.
        parte_intera.assign(1, e < 0 ? '0' : '1');
        if (e > 0) {
            const int stored = std::min(e, 23);  // past the 23 stored bits the digits are 0
            parte_intera += fraction_bits(0, stored - 1);
            parte_intera.append(static_cast<std::size_t>(e - stored), '0');
            parte_decimale = fraction_bits(stored, ultimo_uno);
        } else if (e < 0) {
            parte_decimale.assign(static_cast<std::size_t>(-e - 1), '0');
            parte_decimale += '1';
            parte_decimale += fraction;
        } else {
            parte_decimale = fraction;
        }
        write_digit_line();
        return 0;
    }

    void conversione()
    {
        scomposizione();
        const bool english = lingua == 1;
        switch (sposta_virgola()) {
        case 0:
            out << std::endl
                << (english ? "Final result: " : "Risultato finale: ") << segno * (integer_value() + fraction_value());
            break;
        case 1:
            out << (english ? "Subnormal number" : "Numero denormalizzato") << std::endl;
            break;
        case 2:
            if (segno > 0) {
                out << (english ? "+infinity" : "+infinito") << std::endl;
            } else {
                out << (english ? "-infinity" : "-infinito") << std::endl;
            }
            break;
        default:
            out << (english ? "It's not a number" : "Non è un numero") << std::endl;
            break;
        }
    }

    std::string val;
    std::int32_t segno = 0;
    std::array<std::int32_t, 8> esponente{};
    std::array<std::int32_t, 23> mantissa{};
    std::string parte_intera;
    std::string parte_decimale;
    std::int32_t lingua;

private:
    static void set_bit(std::int32_t& bit, char c, std::int32_t for_0, std::int32_t for_1)
    {
        if (c == '0') {
            bit = for_0;
        } else if (c == '1') {
            bit = for_1;
        }
    }

    // Index of the last fraction bit equal to 1, or -1 when the fraction is zero.
    int last_one() const
    {
        for (int i = static_cast<int>(mantissa.size()) - 1; i >= 0; --i) {
            if (mantissa[static_cast<std::size_t>(i)] == 1) {
                return i;
            }
        }
        return -1;
    }

    // Fraction bits first..last as digits; empty when last < first.
    std::string fraction_bits(int first, int last) const
    {
        std::string digits;
        for (int i = first; i <= last; ++i) {
            digits += mantissa[static_cast<std::size_t>(i)] == 1 ? '1' : '0';
        }
        return digits;
    }

    void write_digit_line()
    {
        out << std::endl << parte_intera;
        if (!parte_decimale.empty()) {
            out << ',' << parte_decimale;
        }
        out << std::endl;
    }

    // Summed in double, digit by digit, doubling or halving: exact for every pattern, since its
    // digits span at most 24 significant bits, and no 32-bit sum can overflow for exponents
    // past 30. Every digit other than "0" counts as a 1.
    double integer_value() const
    {
        double sum = 0.0;
        for (const char digit : parte_intera) {
            sum = 2.0 * sum + (digit != '0' ? 1.0 : 0.0);
        }
        return sum;
    }

    double fraction_value() const
    {
        double sum = 0.0;
        for (auto digit = parte_decimale.rbegin(); digit != parte_decimale.rend(); ++digit) {
            sum = (sum + (*digit != '0' ? 1.0 : 0.0)) / 2.0;
        }
        return sum;
    }

    std::ostream& out;
};
