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
    storage_.assign((slots + 1) * kBlock, 0.0);
    for (std::size_t slot = 0; slot < slots; ++slot) blocks_.push_back(storage_.data() + slot * kBlock);
    spare_ = storage_.data() + slots * kBlock;
    gradients_.assign(slots * static_cast<std::size_t>(free_count_) * kBlock, 0.0);
    uniform_gradients_.assign(slots * static_cast<std::size_t>(free_count_), 0.0);
    uniform_values_.assign(slots, 0.0);
    uniform_.assign(slots, 0);
    masks_.assign(slots, 0);
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
    if (uniform_[0]) Spread(0, count);
}

void FormulaEvaluator::Leaf(const FormulaOperation& operation, int slot, std::span<const ModelColumn> x,
                            std::size_t first, std::size_t count, std::span<const double> parameters)
{
    masks_[slot] = 0;
    if (operation.code == Code::predictor) {
        uniform_[slot] = false;
        double* value = blocks_[slot];
        const ModelColumn& column = x[static_cast<std::size_t>(operation.index)];
        const double* from = column.data + first * column.stride;
        if (column.stride == 1)
            std::copy_n(from, count, value);
        else
            for (std::size_t i = 0; i < count; ++i) value[i] = from[i * column.stride];
        return;
    }
    const std::size_t index = static_cast<std::size_t>(operation.index);
    uniform_[slot] = true;
    uniform_values_[slot] = operation.code == Code::number ? operation.number : parameters[index];
    if (operation.code == Code::parameter && free_index_[index] >= 0) {
        masks_[slot] = std::uint64_t{1} << free_index_[index];
        UniformGradient(slot, free_index_[index]) = 1.0;
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

// Operand views: a block of per-point numbers, or one number for all points.
struct PerPoint {
    const double* data;
    double operator[](std::size_t i) const { return data[i]; }
};
struct Same {
    double value;
    double operator[](std::size_t) const { return value; }
};

// The loops of one operation, with its code and the kinds of its operands
// known at compile time so that each becomes a plain loop over the block.
template <Code C>
void UnaryLoops(const double* a, double* result, double* factor, std::size_t count, bool derivatives)
{
    for (std::size_t i = 0; i < count; ++i) result[i] = ApplyUnary(C, a[i]);
    if (derivatives)
        for (std::size_t i = 0; i < count; ++i) factor[i] = UnaryFactor(C, a[i], result[i]);
}

template <Code C, typename A, typename B>
void BinaryLoops(A a, B b, double* result, double* factor_a, double* factor_b, std::size_t count, bool by_a, bool by_b)
{
    for (std::size_t i = 0; i < count; ++i) result[i] = ApplyBinary(C, a[i], b[i]);
    // A sum's derivatives are combined without factors (CombineSum).
    if constexpr (C == Code::add || C == Code::subtract) return;
    // Factors only where an operand carries derivatives: the factor of a
    // power by its exponent is undefined for a negative base.
    if (by_a)
        for (std::size_t i = 0; i < count; ++i) factor_a[i] = FactorA(C, a[i], b[i], result[i]);
    if (by_b)
        for (std::size_t i = 0; i < count; ++i) factor_b[i] = FactorB(C, a[i], b[i], result[i]);
}

template <Code C>
void BinaryKinds(const double* a, const double* b, const double* a_uniform, const double* b_uniform, double* result,
                 double* factor_a, double* factor_b, std::size_t count, bool by_a, bool by_b)
{
    if (a_uniform != nullptr)
        BinaryLoops<C>(Same{*a_uniform}, PerPoint{b}, result, factor_a, factor_b, count, by_a, by_b);
    else if (b_uniform != nullptr)
        BinaryLoops<C>(PerPoint{a}, Same{*b_uniform}, result, factor_a, factor_b, count, by_a, by_b);
    else
        BinaryLoops<C>(PerPoint{a}, PerPoint{b}, result, factor_a, factor_b, count, by_a, by_b);
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

// At most one of a_uniform and b_uniform is given: the one number of that
// operand, whose block is then not read.
void RunBinary(Code code, const double* a, const double* b, const double* a_uniform, const double* b_uniform,
               double* result, double* factor_a, double* factor_b, std::size_t count, bool by_a, bool by_b)
{
#define FITCORE_BINARY(name)                                                                              \
    case Code::name:                                                                                      \
        return BinaryKinds<Code::name>(a, b, a_uniform, b_uniform, result, factor_a, factor_b, count, by_a, \
                                       by_b);
    switch (code) {
        FITCORE_BINARY(add) FITCORE_BINARY(subtract) FITCORE_BINARY(multiply) FITCORE_BINARY(divide)
        FITCORE_BINARY(power) FITCORE_BINARY(atan2) FITCORE_BINARY(min) FITCORE_BINARY(max)
    default: return;
    }
#undef FITCORE_BINARY
}

// out = ga * fa + gb * fb over the block, for the operands that carry the
// derivative (the others' terms are left out).
template <typename GA, typename GB>
void Combine(double* out, const GA* ga, const double* fa, const GB* gb, const double* fb, std::size_t count)
{
    if (ga != nullptr && gb != nullptr)
        for (std::size_t i = 0; i < count; ++i) out[i] = (*ga)[i] * fa[i] + (*gb)[i] * fb[i];
    else if (ga != nullptr)
        for (std::size_t i = 0; i < count; ++i) out[i] = (*ga)[i] * fa[i];
    else if (gb != nullptr)
        for (std::size_t i = 0; i < count; ++i) out[i] = (*gb)[i] * fb[i];
}

// The same for a sum or a difference, whose factors are 1 and +-1: the
// products by them are exact, so they are left out.
template <typename GA, typename GB>
void CombineSum(double* out, const GA* ga, const GB* gb, bool subtract, std::size_t count)
{
    if (ga != nullptr && gb != nullptr) {
        if (subtract)
            for (std::size_t i = 0; i < count; ++i) out[i] = (*ga)[i] - (*gb)[i];
        else
            for (std::size_t i = 0; i < count; ++i) out[i] = (*ga)[i] + (*gb)[i];
    } else if (ga != nullptr) {
        for (std::size_t i = 0; i < count; ++i) out[i] = (*ga)[i];
    } else if (gb != nullptr) {
        if (subtract)
            for (std::size_t i = 0; i < count; ++i) out[i] = -(*gb)[i];
        else
            for (std::size_t i = 0; i < count; ++i) out[i] = (*gb)[i];
    }
}

template <typename GA, typename GB>
void CombineFor(Code code, double* out, const GA* ga, const double* fa, const GB* gb, const double* fb,
                std::size_t count)
{
    if (code == Code::add || code == Code::subtract)
        CombineSum(out, ga, gb, code == Code::subtract, count);
    else
        Combine(out, ga, fa, gb, fb, count);
}

}  // namespace

void FormulaEvaluator::UniformUnary(Code code, int slot)
{
    const double a = uniform_values_[slot];
    const double v = ApplyUnary(code, a);
    if (masks_[slot] != 0) {
        const double factor = UnaryFactor(code, a, v);
        for (int j = 0; j < free_count_; ++j)
            if (masks_[slot] >> j & 1) UniformGradient(slot, j) *= factor;
    }
    uniform_values_[slot] = v;
}

void FormulaEvaluator::Unary(Code code, int slot, std::size_t count)
{
    if (uniform_[slot]) return UniformUnary(code, slot);
    const std::uint64_t mask = masks_[slot];
    double* factor = factor_a_.data();
    RunUnary(code, blocks_[slot], spare_, factor, count, mask != 0);
    for (int j = 0; j < free_count_; ++j) {
        if (!(mask >> j & 1)) continue;
        double* gradient = Gradient(slot, j);
        for (std::size_t i = 0; i < count; ++i) gradient[i] *= factor[i];
    }
    std::swap(blocks_[slot], spare_);
}

void FormulaEvaluator::UniformBinary(Code code, int slot)
{
    const double a = uniform_values_[slot], b = uniform_values_[slot + 1];
    const std::uint64_t mask_a = masks_[slot], mask_b = masks_[slot + 1];
    const double v = ApplyBinary(code, a, b);
    const double factor_a = mask_a != 0 ? FactorA(code, a, b, v) : 0.0;
    const double factor_b = mask_b != 0 ? FactorB(code, a, b, v) : 0.0;
    for (int j = 0; j < free_count_; ++j) {
        const bool in_a = mask_a >> j & 1, in_b = mask_b >> j & 1;
        double& gradient = UniformGradient(slot, j);
        const double gradient_b = UniformGradient(slot + 1, j);
        if (in_a && in_b)
            gradient = gradient * factor_a + gradient_b * factor_b;
        else if (in_a)
            gradient *= factor_a;
        else if (in_b)
            gradient = gradient_b * factor_b;
    }
    masks_[slot] = mask_a | mask_b;
    uniform_values_[slot] = v;
}

void FormulaEvaluator::Binary(Code code, int slot, std::size_t count)
{
    const bool a_uniform = uniform_[slot], b_uniform = uniform_[slot + 1];
    if (a_uniform && b_uniform) return UniformBinary(code, slot);
    RunBinary(code, blocks_[slot], blocks_[slot + 1], a_uniform ? &uniform_values_[slot] : nullptr,
              b_uniform ? &uniform_values_[slot + 1] : nullptr, spare_, factor_a_.data(), factor_b_.data(), count,
              masks_[slot] != 0, masks_[slot + 1] != 0);
    BinaryGradients(code, slot, count);
    masks_[slot] |= masks_[slot + 1];
    uniform_[slot] = false;
    std::swap(blocks_[slot], spare_);
}

// The derivatives of a binary operation whose result varies over the block,
// written over those of its first operand.
void FormulaEvaluator::BinaryGradients(Code code, int slot, std::size_t count)
{
    const std::uint64_t mask_a = masks_[slot], mask_b = masks_[slot + 1];
    const bool a_uniform = uniform_[slot], b_uniform = uniform_[slot + 1];
    const double* factor_a = factor_a_.data();
    const double* factor_b = factor_b_.data();
    for (int j = 0; j < free_count_; ++j) {
        const bool in_a = mask_a >> j & 1, in_b = mask_b >> j & 1;
        if (!in_a && !in_b) continue;
        double* out = Gradient(slot, j);
        const PerPoint a{Gradient(slot, j)}, b{Gradient(slot + 1, j)};
        const Same same_a{UniformGradient(slot, j)}, same_b{UniformGradient(slot + 1, j)};
        if (a_uniform)
            CombineFor(code, out, in_a ? &same_a : nullptr, factor_a, in_b ? &b : nullptr, factor_b, count);
        else if (b_uniform)
            CombineFor(code, out, in_a ? &a : nullptr, factor_a, in_b ? &same_b : nullptr, factor_b, count);
        else
            CombineFor(code, out, in_a ? &a : nullptr, factor_a, in_b ? &b : nullptr, factor_b, count);
    }
}

void FormulaEvaluator::Spread(int slot, std::size_t count)
{
    std::fill_n(blocks_[slot], count, uniform_values_[slot]);
    for (int j = 0; j < free_count_; ++j)
        if (masks_[slot] >> j & 1) std::fill_n(Gradient(slot, j), count, UniformGradient(slot, j));
    uniform_[slot] = false;
}

}  // namespace fitcore
