// distributions.cpp - Student's t and chi-square through Boost.Math, with
// every error turned into a NaN result instead of an exception.
#include <fitcore/distributions.h>

#include <cmath>
#include <limits>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/students_t.hpp>

namespace fitcore {
namespace {

namespace bm = boost::math;
using Policy = bm::policies::policy<
    bm::policies::domain_error<bm::policies::ignore_error>, bm::policies::pole_error<bm::policies::ignore_error>,
    bm::policies::overflow_error<bm::policies::ignore_error>,
    bm::policies::underflow_error<bm::policies::ignore_error>,
    bm::policies::evaluation_error<bm::policies::ignore_error>,
    bm::policies::rounding_error<bm::policies::ignore_error>,
    bm::policies::indeterminate_result_error<bm::policies::ignore_error>>;
using StudentT = bm::students_t_distribution<double, Policy>;
using ChiSquared = bm::chi_squared_distribution<double, Policy>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool ValidNdf(double ndf) { return ndf > 0 && !std::isnan(ndf); }
bool ValidProbability(double p) { return p >= 0 && p <= 1; }

}  // namespace

double student_t_cdf(double t, double ndf)
{
    if (!ValidNdf(ndf) || std::isnan(t)) return kNaN;
    return bm::cdf(StudentT(ndf), t);
}

double student_t_two_sided_p(double t, double ndf)
{
    if (!ValidNdf(ndf) || std::isnan(t)) return kNaN;
    return 2 * bm::cdf(bm::complement(StudentT(ndf), std::fabs(t)));
}

double student_t_quantile(double p, double ndf)
{
    if (!ValidNdf(ndf) || !ValidProbability(p)) return kNaN;
    return bm::quantile(StudentT(ndf), p);
}

double student_t_interval_factor(double level, double ndf)
{
    if (!(level > 0 && level < 1)) return kNaN;
    // The upper tail (1 - level) / 2 keeps its digits where 1 - p would not.
    if (!ValidNdf(ndf)) return kNaN;
    return bm::quantile(bm::complement(StudentT(ndf), (1 - level) / 2));
}

double chi_squared_cdf(double x, double ndf)
{
    if (!ValidNdf(ndf) || std::isnan(x)) return kNaN;
    if (x <= 0) return 0;
    if (std::isinf(x)) return 1;
    return bm::cdf(ChiSquared(ndf), x);
}

double chi_squared_upper_p(double x, double ndf)
{
    if (!ValidNdf(ndf) || std::isnan(x)) return kNaN;
    if (x <= 0) return 1;
    if (std::isinf(x)) return 0;
    return bm::cdf(bm::complement(ChiSquared(ndf), x));
}

double chi_squared_quantile(double p, double ndf)
{
    if (!ValidNdf(ndf) || !ValidProbability(p)) return kNaN;
    return bm::quantile(ChiSquared(ndf), p);
}

}  // namespace fitcore
