// formula_evaluator.h - a compiled formula evaluated over a block of points at
// once, with its exact derivatives by the parameters (forward mode: every
// operand carries its derivatives, combined by the rules of each operation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <fitcore/model.h>

namespace fitcore {

class FormulaEvaluator {
public:
    static constexpr std::size_t kBlock = 256;  // the most points of one call

    // free_index[k]: the position of parameter k among the derivatives, or
    // -1 for a parameter held fixed, whose derivative is not wanted.
    FormulaEvaluator(const Formula& formula, std::vector<int> free_index);

    // Evaluates the points first to first + count - 1 (count <= kBlock) of the
    // predictor columns `x` with the given parameter values. Afterwards
    // values() holds their values and derivative(j) the derivatives by free
    // parameter j, or is null where these are all zero.
    void Evaluate(std::span<const ModelColumn> x, std::size_t first, std::size_t count,
                  std::span<const double> parameters);
    const double* values() const { return blocks_[0]; }
    const double* derivative(int j) const { return (masks_[0] >> j & 1) ? Gradient(0, j) : nullptr; }

private:
    // An operand on the stack is uniform when it does not depend on x (a
    // number, a parameter, an expression of these): its value and its
    // derivatives are then single numbers, worked out once per block rather
    // than once per point, with the same arithmetic.
    double* Gradient(int slot, int j)
    {
        return gradients_.data() + (static_cast<std::size_t>(slot) * free_count_ + static_cast<std::size_t>(j)) * kBlock;
    }
    const double* Gradient(int slot, int j) const
    {
        return gradients_.data() + (static_cast<std::size_t>(slot) * free_count_ + static_cast<std::size_t>(j)) * kBlock;
    }
    double& UniformGradient(int slot, int j)
    {
        return uniform_gradients_[static_cast<std::size_t>(slot) * free_count_ + static_cast<std::size_t>(j)];
    }
    void Leaf(const FormulaOperation& operation, int slot, std::span<const ModelColumn> x,
              std::size_t first, std::size_t count, std::span<const double> parameters);
    void Unary(FormulaOperation::Code code, int slot, std::size_t count);
    void Binary(FormulaOperation::Code code, int slot, std::size_t count);
    void UniformUnary(FormulaOperation::Code code, int slot);
    void UniformBinary(FormulaOperation::Code code, int slot);
    void BinaryGradients(FormulaOperation::Code code, int slot, std::size_t count);
    void Spread(int slot, std::size_t count);  // a uniform operand written out per point

    const Formula& formula_;
    std::vector<int> free_index_;
    int free_count_ = 0;
    std::vector<double> storage_;     // the value blocks: one per stack slot and a spare
    std::vector<double*> blocks_;     // per slot: its value block
    double* spare_ = nullptr;         // the block a result is computed into
    std::vector<double> gradients_;   // free_count_ blocks per stack slot
    std::vector<double> uniform_gradients_;  // free_count_ numbers per stack slot
    std::vector<double> uniform_values_;     // per slot: the value of a uniform operand
    std::vector<char> uniform_;              // per slot: whether it is uniform
    std::vector<std::uint64_t> masks_;  // per slot: the free parameters its value depends on
    std::vector<double> factor_a_, factor_b_;  // one block each
};

}  // namespace fitcore
