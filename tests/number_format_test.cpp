// number_format_test.cpp - the to_chars conversions against snprintf on millions of doubles.
#include <fitcore/number_format.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "exponential_digits.h"
#include "property_count.h"
#include "reference.h"

using namespace fitcore;

namespace {

struct Conversion {
    const char* name;
    std::string (*fast)(double);
    int (*slow)(char*, size_t, double);
};

template <int Precision, int Width>
std::string Exponential(double value)
{
    char text[MaxExponentialLength(Precision, Width)];
    return {text, AppendExponential(text, value, Precision, Width)};
}

template <int Precision>
std::string General(double value)
{
    char text[MaxGeneralLength(Precision)];
    return {text, AppendGeneral(text, value, Precision)};
}

template <int Precision>
std::string Fixed(double value)
{
    char text[MaxFixedLength(Precision)];
    return {text, AppendFixed(text, value, Precision)};
}

// Every conversion the reports, data files and plot commands print.
const Conversion kConversions[] = {
    {"%e", Exponential<6, 0>, [](char* s, size_t n, double v) { return std::snprintf(s, n, "%e", v); }},
    {"%1.6e", Exponential<6, 1>, [](char* s, size_t n, double v) { return std::snprintf(s, n, "%1.6e", v); }},
    {"%15.5e", Exponential<5, 15>, [](char* s, size_t n, double v) { return std::snprintf(s, n, "%15.5e", v); }},
    {"%15.3e", Exponential<3, 15>, [](char* s, size_t n, double v) { return std::snprintf(s, n, "%15.3e", v); }},
    {"%15.6e", Exponential<6, 15>, [](char* s, size_t n, double v) { return std::snprintf(s, n, "%15.6e", v); }},
    {"%g", General<6>, [](char* s, size_t n, double v) { return std::snprintf(s, n, "%g", v); }},
    {"%f", Fixed<6>, [](char* s, size_t n, double v) { return std::snprintf(s, n, "%f", v); }},
};

// Counts and reports (the first few) values where the two ways differ.
class Comparison {
public:
    void Check(double value)
    {
        char expected[512];
        for (const Conversion& conversion : kConversions) {
            conversion.slow(expected, sizeof expected, value);
            std::string got = conversion.fast(value);
            if (got != expected && ++mismatches_ <= 10)
                ADD_FAILURE() << conversion.name << " of " << std::hexfloat << value << ": got \"" << got
                              << "\", printf gives \"" << expected << "\"";
        }
        CheckExactGeneral(value);
    }
    ~Comparison() { EXPECT_EQ(mismatches_, 0u); }

private:
    void CheckExactGeneral(double value)
    {
        char text[kMaxExactGeneralLength];
        const std::string got(text, AppendExactGeneral(text, value));
        const std::string expected = PrintfExactGeneral(value);
        if (got != expected && ++mismatches_ <= 10)
            ADD_FAILURE() << "exact %g of " << std::hexfloat << value << ": got \"" << got << "\", expected \""
                          << expected << "\"";
    }

    size_t mismatches_ = 0;
};

double FromBits(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TEST(NumberFormat, SpecialValuesAreSpelledAsPrintfDoes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto exponential_6_15 = Exponential<6, 15>;
    Comparison comparison;
    for (double value : {0.0, -0.0, nan, -nan, inf, -inf, FromBits(0x7ff0000000000001), FromBits(0xfff8000000000123),
                         std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
                         std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
                         -std::numeric_limits<double>::max(), 1e100, 1e-100, 9.9999995e99, 9.9999995e-100})
        comparison.Check(value);
    EXPECT_EQ(exponential_6_15(-nan), "           -nan");
    EXPECT_EQ((Exponential<6, 1>)(-0.0), "-0.000000e+00");
    EXPECT_EQ((Exponential<6, 0>)(1e300), "1.000000e+300");
}

TEST(NumberFormat, RandomBitPatternsCoverEveryExponent)
{
    std::mt19937_64 random(1);
    Comparison comparison;
    for (size_t i = 0, n = PropertyCount(100000); i < n; ++i) comparison.Check(FromBits(random()));
}

TEST(NumberFormat, SubnormalsAndTheSmallestNormals)
{
    std::mt19937_64 random(2);
    Comparison comparison;
    for (size_t i = 0, n = PropertyCount(30000); i < n; ++i) {
        uint64_t mantissa = random() & ((uint64_t{1} << 52) - 1);
        uint64_t exponent = random() % 3;  // subnormal, or one of the two smallest binades
        comparison.Check(FromBits((uint64_t{random() & 1} << 63) | (exponent << 52) | (mantissa >> (random() % 52))));
    }
}

// Dyadic values have finite decimal expansions, so many of them fall exactly
// halfway between two printed values: printf rounds those to even.
TEST(NumberFormat, ExactHalfwayCasesRoundToEven)
{
    std::mt19937_64 random(3);
    Comparison comparison;
    for (size_t i = 0, n = PropertyCount(50000); i < n; ++i) {
        uint64_t digits = random() % 100000000;
        double tie = static_cast<double>(digits * 10 + 5);
        double value = std::ldexp(tie, -static_cast<int>(random() % 70));
        comparison.Check(value);
        comparison.Check(-value);
        comparison.Check(std::nextafter(value, 0.0));
        comparison.Check(std::nextafter(value, 1e308));
    }
    EXPECT_EQ((Exponential<6, 0>)(12345665.0), "1.234566e+07");
    EXPECT_EQ((Exponential<6, 0>)(12345675.0), "1.234568e+07");
    EXPECT_EQ(Fixed<6>(0.0078125), "0.007812");
}

// Short decimals, as measured data holds them, and numbers around the %g
// switch between fixed and exponential form (1e-5, 1e-4, 1e6).
TEST(NumberFormat, MeasuredValuesAndFormSwitches)
{
    std::mt19937_64 random(4);
    Comparison comparison;
    for (size_t i = 0, n = PropertyCount(60000); i < n; ++i) {
        double scale = std::pow(10.0, static_cast<int>(random() % 30) - 15);
        comparison.Check(static_cast<double>(random() % 10000000) * scale);
        double edge = std::pow(10.0, static_cast<int>(random() % 16) - 8);
        comparison.Check(edge * (1 - static_cast<double>(random() % 1000) * 1e-9));
    }
    EXPECT_EQ(General<6>(999999.5), "1e+06");
    EXPECT_EQ(General<6>(0.0001), "0.0001");
    EXPECT_EQ(General<6>(0.00001), "1e-05");
    EXPECT_EQ(General<6>(100000), "100000");
}

// Every precision, beyond the fast path's range too, on values that carry
// into the next power of ten, sit just beside one, or are drawn at random.
TEST(NumberFormat, ExponentialOfEveryPrecision)
{
    std::mt19937_64 random(5);
    size_t mismatches = 0;
    auto check = [&mismatches](double value, int precision) {
        char expected[512], text[MaxExponentialLength(kMaxPrecision)];
        std::snprintf(expected, sizeof expected, "%.*e", precision, value);
        const std::string got(text, AppendExponential(text, value, precision));
        if (got != expected && ++mismatches <= 10)
            ADD_FAILURE() << "%." << precision << "e of " << std::hexfloat << value << ": got \"" << got
                          << "\", printf gives \"" << expected << "\"";
    };
    for (int precision = 0; precision <= 20; ++precision) {
        for (int decade = -325; decade <= 308; ++decade) {
            const double power = std::pow(10.0, decade);
            for (double value : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e308),
                                 power * (1 - 0.4 * std::pow(10.0, -precision))})
                check(value, precision);
        }
        for (size_t i = 0, n = PropertyCount(4000); i < n; ++i) {
            check(FromBits(random()), precision);
            check(static_cast<double>(random() % 100000000) * std::pow(10.0, static_cast<int>(random() % 40) - 20),
                  precision);
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

// The integer path must decide nearly every value, or the tables fall back
// to the slow conversion without a visible fault.
TEST(NumberFormat, IntegerPathDecidesAlmostEveryValue)
{
    std::mt19937_64 random(6);
    size_t decided = 0, n = 100000;
    for (size_t i = 0; i < n; ++i) {
        char text[MaxExponentialLength(kMaxFastExponentialPrecision)];
        // Decimal midpoints of the printed digits are left undecided, so the
        // values are not short decimals: they have all 53 bits.
        const double value = std::ldexp(1 + static_cast<double>(random() >> 12) * 0x1p-52, static_cast<int>(random() % 200) - 100);
        for (int precision : {3, 5, 6}) decided += AppendDecidedExponential(text, value, precision) != nullptr;
    }
    EXPECT_GE(decided, 3 * n * 999 / 1000);
}

TEST(NumberFormat, IntegersWithAndWithoutWidth)
{
    struct Case {
        int64_t value;
        int width;
        const char* expected;
    };
    for (const Case& c : {Case{0, 0, "0"}, Case{7, 4, "   7"}, Case{-12, 4, " -12"}, Case{12345, 4, "12345"},
                          Case{INT32_MIN, 0, "-2147483648"}, Case{INT64_MIN, 0, "-9223372036854775808"}}) {
        char text[MaxIntegerLength(4)];
        EXPECT_EQ(std::string(text, AppendInteger(text, c.value, c.width)), c.expected);
    }
}

}  // namespace
