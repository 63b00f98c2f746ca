// formula_math.h - what each operation of a formula computes on plain numbers.
#pragma once

#include <algorithm>
#include <cmath>

#include <fitcore/model.h>

namespace fitcore {

// The operands an operation takes from the stack: 0, 1 or 2.
inline int OperandCount(FormulaOperation::Code code)
{
    using Code = FormulaOperation::Code;
    switch (code) {
    case Code::number:
    case Code::predictor:
    case Code::parameter: return 0;
    case Code::add:
    case Code::subtract:
    case Code::multiply:
    case Code::divide:
    case Code::power:
    case Code::atan2:
    case Code::min:
    case Code::max: return 2;
    default: return 1;
    }
}

// min and max of a NaN are NaN, so that an undefined operand is never hidden.
inline double Smaller(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : std::min(a, b); }
inline double Larger(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : std::max(a, b); }

inline double ApplyUnary(FormulaOperation::Code code, double a)
{
    using Code = FormulaOperation::Code;
    switch (code) {
    case Code::negate: return -a;
    case Code::exp: return std::exp(a);
    case Code::log: return std::log(a);
    case Code::log10: return std::log10(a);
    case Code::sqrt: return std::sqrt(a);
    case Code::abs: return std::fabs(a);
    case Code::sin: return std::sin(a);
    case Code::cos: return std::cos(a);
    case Code::tan: return std::tan(a);
    case Code::asin: return std::asin(a);
    case Code::acos: return std::acos(a);
    case Code::atan: return std::atan(a);
    case Code::sinh: return std::sinh(a);
    case Code::cosh: return std::cosh(a);
    case Code::tanh: return std::tanh(a);
    case Code::erf: return std::erf(a);
    case Code::erfc: return std::erfc(a);
    default: return NAN;
    }
}

inline double ApplyBinary(FormulaOperation::Code code, double a, double b)
{
    using Code = FormulaOperation::Code;
    switch (code) {
    case Code::add: return a + b;
    case Code::subtract: return a - b;
    case Code::multiply: return a * b;
    case Code::divide: return a / b;
    case Code::power: return b == 2 ? a * a : std::pow(a, b);
    case Code::atan2: return std::atan2(a, b);
    case Code::min: return Smaller(a, b);
    case Code::max: return Larger(a, b);
    default: return NAN;
    }
}

}  // namespace fitcore
