// Fuzz target: the formula compiler on arbitrary bytes must compile or fail
// cleanly with its error inside the text; a compiled formula evaluates, with
// its derivatives, without reading or writing out of bounds, and its values
// agree with the one-point evaluation.
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include <fitcore/model.h>
#include "formula_evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const fitcore::Formula formula(text);
    if (!formula.ok()) {
        if (formula.error_position() > size || formula.error().empty()) __builtin_trap();
        return 0;
    }
    const std::size_t p = formula.parameters().size();
    std::vector<double> parameters(p, 0.75);
    std::vector<int> free(p);
    for (std::size_t k = 0; k < p; ++k) free[k] = static_cast<int>(k);
    std::vector<std::vector<double>> x(static_cast<std::size_t>(std::max(formula.predictors(), 1)), {-1.5, 0, 2.5});
    std::vector<std::span<const double>> columns(x.begin(), x.end());
    fitcore::FormulaEvaluator evaluator(formula, free);
    evaluator.Evaluate(columns, 0, 3, parameters);
    for (std::size_t i = 0; i < 3; ++i) {
        std::vector<double> point;
        for (const std::vector<double>& column : x) point.push_back(column[i]);
        const double one = formula.value(point, parameters), block = evaluator.values()[i];
        if (!(one == block || (std::isnan(one) && std::isnan(block)))) __builtin_trap();
    }
    return 0;
}
