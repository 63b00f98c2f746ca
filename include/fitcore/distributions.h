// distributions.h - Student's t and chi-square distributions, for the
// p values, confidence intervals and goodness of fit that the fits report.
#pragma once

namespace fitcore {

// Every function takes degrees of freedom ndf > 0 (not necessarily whole)
// and returns NaN for an argument outside its domain (ndf <= 0, a
// probability outside [0, 1], a NaN anywhere); it never throws.

// P(T <= t) for Student's t with ndf degrees of freedom.
double student_t_cdf(double t, double ndf);

// P(|T| >= |t|): the two-sided p value of a t statistic.
double student_t_two_sided_p(double t, double ndf);

// The t with P(T <= t) = p; student_t_quantile(0.975, ndf) is the factor of
// a standard error that gives a 95 % confidence interval.
double student_t_quantile(double p, double ndf);

// The factor of a standard error that gives a two-sided confidence interval
// at `level` (0.95 for 95 %): student_t_quantile((1 + level) / 2, ndf).
double student_t_interval_factor(double level, double ndf);

// P(X <= x) for chi-square with ndf degrees of freedom.
double chi_squared_cdf(double x, double ndf);

// P(X >= x): the probability of a chi-square at least as large as x.
double chi_squared_upper_p(double x, double ndf);

// The x with P(X <= x) = p.
double chi_squared_quantile(double p, double ndf);

}  // namespace fitcore
