// formula_evaluator.cpp - a formula's values and exact derivatives over a
// block of points.
#include "formula_evaluator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "formula_math.h"

namespace fitcore {

using Code = FormulaOperation::Code;

FormulaEvaluator::FormulaEvaluator(const Formula& formula, std::vector<int> free_index)
    : formula_(formula), free_index_(std::move(free_index))
{
    for (int index : free_index_) free_count_ = std::max(free_count_, index + 1);
    const std::size_t slots = static_cast<std::size_t>(std::max(formula.stack_depth(), 1));
    values_.assign(slots * kBlock, 0.0);
    gradients_.assign(slots * static_cast<std::size_t>(free_count_) * kBlock, 0.0);
    masks_.assign(slots, 0);
    result_.assign(kBlock, 0.0);
    factor_a_.assign(kBlock, 0.0);
    factor_b_.assign(kBlock, 0.0);
}

void FormulaEvaluator::Evaluate(std::span<const ModelColumn> x, std::size_t first, std::size_t count,
                                std::span<const double> parameters)
{
    int top = -1;  // the slot of the topmost operand
    for (const FormulaOperation& operation : formula_.operations()) {
        switch (OperandCount(operation.code)) {
        case 0: Leaf(operation, ++top, x, first, count, parameters); break;
        case 1: Unary(operation.code, top, count); break;
        default: Binary(operation.code, --top, count);
        }
    }
}

void FormulaEvaluator::Leaf(const FormulaOperation& operation, int slot, std::span<const ModelColumn> x,
                            std::size_t first, std::size_t count, std::span<const double> parameters)
{
    double* value = Value(slot);
    masks_[slot] = 0;
    if (operation.code == Code::predictor) {
        const ModelColumn& column = x[static_cast<std::size_t>(operation.index)];
        const double* from = column.data + first * column.stride;
        if (column.stride == 1)
            std::copy_n(from, count, value);
        else
            for (std::size_t i = 0; i < count; ++i) value[i] = from[i * column.stride];
        return;
    }
    const std::size_t index = static_cast<std::size_t>(operation.index);
    std::fill_n(value, count, operation.code == Code::number ? operation.number : parameters[index]);
    if (operation.code == Code::parameter && free_index_[index] >= 0) {
        masks_[slot] = std::uint64_t{1} << free_index_[index];
        std::fill_n(Gradient(slot, free_index_[index]), count, 1.0);
    }
}

namespace {

// The derivative of the operation's value v by its operand a.
double UnaryFactor(Code code, double a, double v)
{
    constexpr double kTwoBySqrtPi = 2 * std::numbers::inv_sqrtpi;
    switch (code) {
    case Code::negate: return -1;
    case Code::exp: return v;
    case Code::log: return 1 / a;
    case Code::log10: return 1 / (a * std::numbers::ln10);
    case Code::sqrt: return 0.5 / v;
    case Code::abs: return a > 0 ? 1 : a < 0 ? -1 : 0;
    case Code::sin: return std::cos(a);
    case Code::cos: return -std::sin(a);
    case Code::tan: return 1 + v * v;
    case Code::asin: return 1 / std::sqrt(1 - a * a);
    case Code::acos: return -1 / std::sqrt(1 - a * a);
    case Code::atan: return 1 / (1 + a * a);
    case Code::sinh: return std::cosh(a);
    case Code::cosh: return std::sinh(a);
    case Code::tanh: return 1 - v * v;
    case Code::erf: return kTwoBySqrtPi * std::exp(-a * a);
    case Code::erfc: return -kTwoBySqrtPi * std::exp(-a * a);
    default: return NAN;
    }
}

// The derivatives of a binary operation's value v by its operands a and b.
double FactorA(Code code, double a, double b, double v)
{
    switch (code) {
    case Code::add:
    case Code::subtract: return 1;
    case Code::multiply: return b;
    case Code::divide: return 1 / b;
    case Code::power: return b == 2 ? 2 * a : b * std::pow(a, b - 1);
    case Code::atan2: return b / (a * a + b * b);
    case Code::min: return a <= b ? 1 : 0;
    case Code::max: return a >= b ? 1 : 0;
    default: (void)v; return NAN;
    }
}

double FactorB(Code code, double a, double b, double v)
{
    switch (code) {
    case Code::add: return 1;
    case Code::subtract: return -1;
    case Code::multiply: return a;
    case Code::divide: return -v / b;
    case Code::power: return v * std::log(a);
    case Code::atan2: return -a / (a * a + b * b);
    case Code::min: return a <= b ? 0 : 1;
    case Code::max: return a >= b ? 0 : 1;
    default: return NAN;
    }
}

// The loops of one operation, with its code known at compile time so that
// each becomes a plain loop over the block.
template <Code C>
void UnaryLoops(const double* a, double* result, double* factor, std::size_t count, bool derivatives)
{
    for (std::size_t i = 0; i < count; ++i) result[i] = ApplyUnary(C, a[i]);
    if (derivatives)
        for (std::size_t i = 0; i < count; ++i) factor[i] = UnaryFactor(C, a[i], result[i]);
}

template <Code C>
void BinaryLoops(const double* a, const double* b, double* result, double* factor_a, double* factor_b,
                 std::size_t count, bool by_a, bool by_b)
{
    for (std::size_t i = 0; i < count; ++i) result[i] = ApplyBinary(C, a[i], b[i]);
    // Factors only where an operand carries derivatives: the factor of a
    // power by its exponent is undefined for a negative base.
    if (by_a)
        for (std::size_t i = 0; i < count; ++i) factor_a[i] = FactorA(C, a[i], b[i], result[i]);
    if (by_b)
        for (std::size_t i = 0; i < count; ++i) factor_b[i] = FactorB(C, a[i], b[i], result[i]);
}

void RunUnary(Code code, const double* a, double* result, double* factor, std::size_t count, bool derivatives)
{
#define FITCORE_UNARY(name) \
    case Code::name: return UnaryLoops<Code::name>(a, result, factor, count, derivatives);
    switch (code) {
        FITCORE_UNARY(negate) FITCORE_UNARY(exp) FITCORE_UNARY(log) FITCORE_UNARY(log10) FITCORE_UNARY(sqrt)
        FITCORE_UNARY(abs) FITCORE_UNARY(sin) FITCORE_UNARY(cos) FITCORE_UNARY(tan) FITCORE_UNARY(asin)
        FITCORE_UNARY(acos) FITCORE_UNARY(atan) FITCORE_UNARY(sinh) FITCORE_UNARY(cosh) FITCORE_UNARY(tanh)
        FITCORE_UNARY(erf) FITCORE_UNARY(erfc)
    default: return;
    }
#undef FITCORE_UNARY
}

void RunBinary(Code code, const double* a, const double* b, double* result, double* factor_a, double* factor_b,
               std::size_t count, bool by_a, bool by_b)
{
#define FITCORE_BINARY(name) \
    case Code::name: return BinaryLoops<Code::name>(a, b, result, factor_a, factor_b, count, by_a, by_b);
    switch (code) {
        FITCORE_BINARY(add) FITCORE_BINARY(subtract) FITCORE_BINARY(multiply) FITCORE_BINARY(divide)
        FITCORE_BINARY(power) FITCORE_BINARY(atan2) FITCORE_BINARY(min) FITCORE_BINARY(max)
    default: return;
    }
#undef FITCORE_BINARY
}

}  // namespace

void FormulaEvaluator::Unary(Code code, int slot, std::size_t count)
{
    double* a = Value(slot);
    const std::uint64_t mask = masks_[slot];
    double* result = result_.data();
    double* factor = factor_a_.data();
    RunUnary(code, a, result, factor, count, mask != 0);
    if (mask != 0) {
        for (int j = 0; j < free_count_; ++j) {
            if (!(mask >> j & 1)) continue;
            double* gradient = Gradient(slot, j);
            for (std::size_t i = 0; i < count; ++i) gradient[i] *= factor[i];
        }
    }
    std::copy_n(result, count, a);
}

void FormulaEvaluator::Binary(Code code, int slot, std::size_t count)
{
    double* a = Value(slot);
    const double* b = Value(slot + 1);
    const std::uint64_t mask_a = masks_[slot], mask_b = masks_[slot + 1];
    double* result = result_.data();
    double* factor_a = factor_a_.data();
    double* factor_b = factor_b_.data();
    RunBinary(code, a, b, result, factor_a, factor_b, count, mask_a != 0, mask_b != 0);
    for (int j = 0; j < free_count_; ++j) {
        const bool in_a = mask_a >> j & 1, in_b = mask_b >> j & 1;
        double* gradient = Gradient(slot, j);
        const double* gradient_b = Gradient(slot + 1, j);
        if (in_a && in_b)
            for (std::size_t i = 0; i < count; ++i) gradient[i] = gradient[i] * factor_a[i] + gradient_b[i] * factor_b[i];
        else if (in_a)
            for (std::size_t i = 0; i < count; ++i) gradient[i] *= factor_a[i];
        else if (in_b)
            for (std::size_t i = 0; i < count; ++i) gradient[i] = gradient_b[i] * factor_b[i];
    }
    masks_[slot] = mask_a | mask_b;
    std::copy_n(result, count, a);
}

}  // namespace fitcore
