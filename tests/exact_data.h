// exact_data.h - data sets whose least-squares fits are known exactly.
#pragma once

#include <vector>

#include <fitcore/point.h>

constexpr int kHalf = 15;  // t = -15 .. 15: 31 points, as many as years 1990 .. 2020

// An integer residual on t = -kHalf .. kHalf that is orthogonal to every
// polynomial of degree `degree` (1 or 3), so that adding it to y leaves the
// least-squares fit of that degree unchanged.
std::vector<double> OrthogonalResidual(int degree);

// Points x = offset + t, t = -kHalf .. kHalf, with y = q(t) + residual / 2^shrink
// (q's coefficients from t^0 up) and sigma = 1 + |t| / 8, every value exact in
// double: the least-squares polynomial of degree `degree` is q itself.
std::vector<Point> ExactData(double offset, const std::vector<double>& q, int degree, int shrink);
