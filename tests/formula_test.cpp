// formula_test.cpp - the formula language: precedence, numbers, names,
// errors with their place, exact derivatives, and random text.
#include <fitcore/model.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "formula_evaluator.h"

using namespace fitcore;

namespace {

double ValueOf(const std::string& text, std::vector<double> x, std::vector<double> parameters)
{
    const Formula formula(text);
    EXPECT_TRUE(formula.ok()) << text << ": " << formula.error() << " at " << formula.error_position();
    return formula.ok() ? formula.value(x, parameters) : NAN;
}

}  // namespace

TEST(Formula, ComputesWithThePrecedenceOfTheLanguage)
{
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"-x**2", -9},          {"-x^2", -9},           {"(-x)^2", 9},         {"2^3^2", 512},
        {"2**-1", 0.5},         {"2*-x", -6},           {"--x", 3},            {"8/4/2", 1},
        {"10-4-3", 3},          {"1+2*3", 7},           {"-2*3+1", -5},        {"2^-x^2", std::pow(2, -9)},
        {"0x1p4", 16},          {".5e1", 5},            {"1E-2", 0.01},        {"pi", 3.14159265358979323846},
        {"atan2(1, 1)", 0.7853981633974483}, {"pow(2, 10)", 1024},  {"min(x, 1)", 1}, {"max(x,1)", 3},
        {"log10(1000)", 3},     {"exp(log(x))", 3},     {"abs(-x)", 3},        {"sqrt(x*x)", 3},
        {"erf(0)+erfc(0)", 1},  {"cosh(0)+sinh(0)+tanh(0)", 1}, {"asin(1)*2", 3.14159265358979323846},
        {" x\t*\n2 ", 6},
    };
    for (const auto& c : cases) EXPECT_NEAR(ValueOf(c.text, {3}, {}), c.expected, 1e-15 * std::fabs(c.expected)) << c.text;
}

TEST(Formula, NamesItsParametersAndPredictors)
{
    const Formula formula("amp*exp(-x1/tau)+x0 + x2*amp + e");
    ASSERT_TRUE(formula.ok()) << formula.error();
    EXPECT_EQ(formula.parameters(), (std::vector<std::string>{"amp", "tau", "x0", "e"}));
    EXPECT_EQ(formula.predictors(), 2);
    EXPECT_EQ(formula.value(std::vector<double>{0, 10}, std::vector<double>{2, 1, 0.5, 0.25}), 2 + 0.5 + 20 + 0.25);
    EXPECT_EQ(Formula("2*3+1").operations().size(), 1u);  // computed once, at compile time
    EXPECT_EQ(Formula("2*3+1").predictors(), 0);
}

TEST(Formula, ReportsEachErrorAtItsPlace)
{
    const struct {
        std::string text;
        std::size_t position;
        const char* message;
    } cases[] = {
        {"", 0, "empty"},
        {"   ", 3, "empty"},
        {"a*", 2, "expected an operand, found the end"},
        {"a+)", 2, "expected an operand, found ')'"},
        {"a+b)", 3, "unmatched ')'"},
        {"2x", 1, "expected an operator, found 'x'"},
        {"(a+b", 4, "expected ')'"},
        {"a $ b", 2, "unexpected character '$'"},
        {"a=1", 1, "unexpected character '='"},
        {"foo(x)", 0, "unknown function 'foo'"},
        {"exp x", 4, "'exp' is a function"},
        {"atan2(a)", 7, "expected ','"},
        {"sin(a,b)", 5, "sin takes one argument"},
        {"2*x10", 2, "at most 9 predictors"},
        {"1e999*a", 0, "too large"},
        {"a***b", 3, "expected an operand"},
        {std::string(100, '(') + "x" + std::string(100, ')'), 64, "nested deeper"},
        {"x+" + std::string(5000, '1'), kMaxFormulaLength, "longer than"},
    };
    for (const auto& c : cases) {
        const Formula formula(c.text);
        EXPECT_FALSE(formula.ok()) << c.text;
        EXPECT_EQ(formula.error_position(), c.position) << c.text << ": " << formula.error();
        EXPECT_NE(formula.error().find(c.message), std::string::npos) << c.text << ": " << formula.error();
        EXPECT_TRUE(formula.parameters().empty());
    }
    std::string many;
    for (int i = 0; i <= int(kMaxModelParameters); ++i) many += "+p" + std::to_string(i);
    EXPECT_NE(Formula(many).error().find("more than 32 parameters"), std::string::npos);
}

// The derivative by parameter k of the formula at x, by central differences.
double CentralDifference(const Formula& formula, double x, std::vector<double> values, std::size_t k)
{
    const double h = 1e-6, at = values[k];
    values[k] = at + h;
    const double up = formula.value(std::vector<double>{x}, values);
    values[k] = at - h;
    return (up - formula.value(std::vector<double>{x}, values)) / (2 * h);
}

void ExpectDifference(double exact, double difference, const std::string& what)
{
    EXPECT_NEAR(exact, difference, 1e-7 * std::max(1.0, std::fabs(difference))) << what;
}

// The derivatives of every operation against central differences, at
// points where each is defined and smooth.
TEST(Formula, DerivativesAreThoseOfTheFormula)
{
    const char* formulas[] = {
        "a*exp(-b*x)+c",      "a/(b+x)-c",          "a^b+x^c",           "pow(a, x)*log(b)+log10(c)",
        "sqrt(a*x)+abs(b-x)", "sin(a*x)+cos(b)*tan(c)", "asin(a/4)+acos(b/4)+atan(c*x)", "sinh(a)+cosh(b*x)+tanh(c)",
        "erf(a*x)+erfc(b)",   "atan2(a, b*x)+c",    "min(a, b)*max(c, x)", "-a**2*(b-c)",
    };
    const std::vector<double> parameters = {0.7, 1.3, 2.1};
    std::vector<double> x = {0.5, 1.5, 2.5};
    // x as the first column of rows of two, the way a table's values hold it.
    const std::vector<double> rows = {0.5, -9, 1.5, -9, 2.5, -9};
    const std::vector<ModelColumn> columns = {{rows.data(), 2}};
    for (const char* text : formulas) {
        const Formula formula(text);
        ASSERT_TRUE(formula.ok()) << text;
        const std::size_t p = formula.parameters().size();
        std::vector<int> free(p);
        for (std::size_t k = 0; k < p; ++k) free[k] = int(k);
        FormulaEvaluator evaluator(formula, free);
        std::vector<double> values(parameters.begin(), parameters.begin() + p);
        evaluator.Evaluate(columns, 0, x.size(), values);
        for (std::size_t i = 0; i < x.size(); ++i) {
            EXPECT_DOUBLE_EQ(evaluator.values()[i], formula.value(std::vector<double>{x[i]}, values)) << text;
            for (std::size_t k = 0; k < p; ++k) {
                const double* derivative = evaluator.derivative(int(k));
                ExpectDifference(derivative != nullptr ? derivative[i] : 0.0, CentralDifference(formula, x[i], values, k),
                                 text + std::string(" by ") + std::to_string(k));
            }
        }
    }
}

// Parts of a formula that do not depend on x, with parameters held fixed
// among them, and formulas constant in x: the block's values and
// derivatives are those of the formula at each point, none for a fixed
// parameter, over a block whose length is no multiple of a vector's.
TEST(Formula, DerivativesOfPartsConstantInX)
{
    struct Case {
        const char* text;
        std::vector<int> free;  // per parameter: its place among the free, or -1
    };
    const Case cases[] = {
        {"a*b+x", {0, 1}},          {"exp(a-b)*x+c", {0, -1, 1}}, {"(a+1)/(b*2)-x/c", {-1, 0, 1}},
        {"a^2*b", {0, 1}},          {"sin(a)*cos(b)+c", {0, 1, -1}}, {"x-a*(b-c)", {0, -1, 1}},
        {"max(a, x)+min(b, 2)", {0, 1}}, {"atan2(a, b)*x**c", {0, 1, 2}},
    };
    const std::vector<double> parameters = {0.7, 1.3, 2.1};
    std::vector<double> x;
    for (int i = 0; i < 7; ++i) x.push_back(0.25 + 0.5 * i);
    const std::vector<ModelColumn> columns = {{x.data(), 1}};
    for (const Case& c : cases) {
        const Formula formula(c.text);
        ASSERT_TRUE(formula.ok()) << c.text;
        const std::size_t p = formula.parameters().size();
        ASSERT_EQ(c.free.size(), p) << c.text;
        FormulaEvaluator evaluator(formula, c.free);
        const std::vector<double> values(parameters.begin(), parameters.begin() + p);
        evaluator.Evaluate(columns, 0, x.size(), values);
        for (std::size_t k = 0; k < p; ++k) {
            const double* derivative = c.free[k] >= 0 ? evaluator.derivative(c.free[k]) : nullptr;
            if (c.free[k] >= 0) {
                ASSERT_NE(derivative, nullptr) << c.text << " by " << k;
            }
            for (std::size_t i = 0; i < x.size() && derivative != nullptr; ++i)
                ExpectDifference(derivative[i], CentralDifference(formula, x[i], values, k),
                                 c.text + std::string(" by ") + std::to_string(k));
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            EXPECT_EQ(evaluator.values()[i], formula.value(std::vector<double>{x[i]}, values)) << c.text;
        }
    }
}

// Random text from the language's own characters never crashes the
// compiler; every error lies within the text, and what compiles evaluates.
TEST(Formula, RandomTextCompilesOrFailsCleanly)
{
    const std::string alphabet = "0123456789.eEx12abpi+-*/^(),  **expsqrtlogminatan2";
    std::mt19937 random(20240611);
    int compiled = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int length = int(random() % 24);
        for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        const Formula formula(text);
        if (!formula.ok()) {
            EXPECT_LE(formula.error_position(), text.size()) << text;
            continue;
        }
        ++compiled;
        std::vector<double> parameters(formula.parameters().size(), 0.5);
        std::vector<double> x(std::size_t(std::max(formula.predictors(), 1)), 1.5);
        (void)formula.value(x, parameters);
    }
    EXPECT_GT(compiled, 100);
}
