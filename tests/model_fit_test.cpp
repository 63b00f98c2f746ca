// model_fit_test.cpp - nonlinear least squares: parameters recovered from
// exact data and far starts, the minima of hard reference problems, steps
// into overflow, undefined models, and the statistics against the linear fit.
#include <fitcore/fit.h>
#include <fitcore/model.h>

#include "least_squares_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace fitcore;

namespace {

// Columns of x values and y, with an optional sigma, owned by the data set.
struct DataSet {
    std::vector<std::vector<double>> x;
    std::vector<double> y;
    std::vector<double> sigma;

    ModelColumns Columns() const
    {
        std::vector<std::span<const double>> x_columns(x.begin(), x.end());
        return ModelColumns(x_columns, y, sigma);
    }
};

// x = 1, 2, ..., y as given: the reference problems' index form.
DataSet Indexed(std::vector<double> y)
{
    DataSet data{{{}}, std::move(y), {}};
    for (std::size_t i = 0; i < data.y.size(); ++i) data.x[0].push_back(double(i + 1));
    return data;
}

// `count` points x from..to with y = model(x), exactly as the doubles give it.
DataSet Sampled(double from, double to, int count, const std::function<double(double)>& model)
{
    DataSet data{{{}}, {}, {}};
    for (int i = 0; i < count; ++i) {
        const double x = from + (to - from) * i / (count - 1);
        data.x[0].push_back(x);
        data.y.push_back(model(x));
    }
    return data;
}

// A fixed pseudo-random noise in [-amplitude, amplitude], the same on every run.
double Noise(int i, double amplitude) { return amplitude * std::sin(12.9898 * i + 78.233 * std::sin(3.1 * i)); }

ModelFit Fit(const std::string& text, const DataSet& data, std::vector<double> start, int max_iterations = 500)
{
    const Formula formula(text);
    EXPECT_TRUE(formula.ok()) << text << ": " << formula.error();
    ModelOptions options;
    options.start = std::move(start);
    options.max_iterations = max_iterations;
    return fit_model(formula, data.Columns(), options);
}

struct KnownAnswer {
    const char* name;
    std::string formula;
    DataSet data;
    std::vector<double> start;
    std::vector<double> solution;  // empty: not checked
    double rss;                    // the minimum of the sum of squares
    double tolerance;              // relative, of the parameters and the rss
    bool determined = true;        // false: the best values are reported as not determined
};

void ExpectSolved(const KnownAnswer& problem)
{
    SCOPED_TRACE(problem.name);
    ModelFit fit = Fit(problem.formula, problem.data, problem.start);
    ASSERT_TRUE(fit.ok) << fit.error;
    EXPECT_EQ(fit.converged, problem.determined) << stop_reason_name(fit.stop_reason) << " after " << fit.iterations;
    if (!problem.determined) {
        EXPECT_EQ(fit.stop_reason, StopReason::not_determined);
    }
    for (std::size_t k = 0; k < problem.solution.size(); ++k) {
        const double expected = problem.solution[k];
        EXPECT_NEAR(fit.parameters[k].value, expected, problem.tolerance * std::max(std::fabs(expected), 1e-6))
            << fit.parameters[k].name;
    }
    EXPECT_NEAR(fit.rss, problem.rss, problem.tolerance * std::max(problem.rss, 1e-8));
    EXPECT_GE(fit.evaluations, fit.iterations);
}

// Selectors that are 1 at one of x = 1, 2, 3 and 0 at the others, exactly:
// they write a reference problem's residuals as one formula over the index.
const std::string kFirst = "((x-2)*(x-3)/2)", kSecond = "(-(x-1)*(x-3))", kThird = "((x-1)*(x-2)/2)";

}  // namespace

// Data made from exact parameters come back from starts far from them.
TEST(ModelFit, RecoversTheParametersOfExactData)
{
    const std::vector<KnownAnswer> problems = {
        {"exponential decay", "a*exp(-b*x)+c", Sampled(0, 5, 60, [](double x) { return 5 * std::exp(-1.3 * x) + 0.5; }),
         {1, 1, 0.1}, {5, 1.3, 0.5}, 0, 1e-9},
        {"exponential from far", "a*exp(-b*x)+c",
         Sampled(0, 5, 60, [](double x) { return 5 * std::exp(-1.3 * x) + 0.5; }), {100, 0.01, -50}, {5, 1.3, 0.5}, 0,
         1e-9},
        {"gaussian peak on a sloping background", "h*exp(-s*(x-m)^2)+c0+c1*x",
         Sampled(0, 10, 200, [](double x) { return 10 * std::exp(-(x - 5.5) * (x - 5.5) / (2 * 0.64)) + 1 + 0.2 * x; }),
         {1, 1, 4, 0, 0}, {10, 0.78125, 5.5, 1, 0.2}, 0, 1e-9},
        {"rational function", "(a+b*x)/(1+c*x)", Sampled(0, 10, 40, [](double x) { return (1 + 2 * x) / (1 + 0.5 * x); }),
         {10, 10, 10}, {1, 2, 0.5}, 0, 1e-9},
        {"years and a large offset", "a*exp(-b*(x-2000))+c",
         Sampled(2000, 2005, 60, [](double x) { return 5 * std::exp(-1.3 * (x - 2000)) + 1e6; }), {1, 1, 1e6},
         {5, 1.3, 1e6}, 0, 1e-9},
    };
    for (const KnownAnswer& problem : problems) ExpectSolved(problem);
}

TEST(ModelFit, RecoversATwoPredictorModel)
{
    DataSet data{{{}, {}}, {}, {}};
    for (int i = 1; i <= 8; ++i)
        for (int j = 1; j <= 8; ++j) {
            data.x[0].push_back(i);
            data.x[1].push_back(1.5 * j);
            data.y.push_back(2 * std::pow(i, 0.3) * std::pow(1.5 * j, 0.7));
        }
    ExpectSolved({"power law in two predictors", "a*x1^b*x2^c", data, {1, 1, 1}, {2, 0.3, 0.7}, 0, 1e-9});
}

// Problems of Moré, Garbow and Hillstrom's collection, from their standard
// starts and from ten times farther, with their known minima.
TEST(ModelFit, ReachesTheMinimaOfHardReferenceProblems)
{
    const DataSet bard = Indexed({0.14, 0.18, 0.22, 0.25, 0.29, 0.32, 0.35, 0.39, 0.37, 0.58, 0.73, 0.96, 1.34, 2.10, 4.39});
    const DataSet meyer = Indexed({34780, 28610, 23650, 19630, 16370, 13720, 11540, 9744, 8261, 7030, 6005, 5147, 4427,
                                   3820, 3307, 2872});
    DataSet kowalik{{{4, 2, 1, 0.5, 0.25, 0.167, 0.125, 0.1, 0.0833, 0.0714, 0.0625}},
                    {0.1957, 0.1947, 0.1735, 0.16, 0.0844, 0.0627, 0.0456, 0.0342, 0.0323, 0.0235, 0.0246},
                    {}};
    const DataSet osborne = Indexed({0.844, 0.908, 0.932, 0.936, 0.925, 0.908, 0.881, 0.850, 0.818, 0.784, 0.751,
                                     0.718, 0.685, 0.658, 0.628, 0.603, 0.580, 0.558, 0.538, 0.522, 0.506, 0.490,
                                     0.478, 0.467, 0.457, 0.448, 0.438, 0.431, 0.424, 0.420, 0.414, 0.411, 0.406});
    std::vector<double> jennrich_y;
    for (int i = 1; i <= 10; ++i) jennrich_y.push_back(2 + 2 * i);
    const std::string rosenbrock = "(2-x)*10*(b-a^2)+(x-1)*(1-a)";
    const std::string powell = "(2-x)*1e4*a*b+(x-1)*(exp(-a)+exp(-b))";
    const std::string brown = kFirst + "*a+" + kSecond + "*b+" + kThird + "*a*b";
    // Its parameters in order of appearance are c, b, a.
    const std::string helical = kFirst + "*10*(c-10*atan2(b,a)/(2*pi))+" + kSecond + "*10*(sqrt(a^2+b^2)-1)+" + kThird + "*c";
    const std::string box = "exp(-0.1*x*a)-exp(-0.1*x*b)-c*(exp(-0.1*x)-exp(-x))";
    const std::vector<KnownAnswer> problems = {
        {"Rosenbrock", rosenbrock, Indexed({0, 0}), {-1.2, 1}, {1, 1}, 0, 1e-9},
        {"Rosenbrock far", rosenbrock, Indexed({0, 0}), {-12, 10}, {1, 1}, 0, 1e-9},
        {"Freudenstein and Roth", "a+(2-x)*((5-b)*b-2)*b+(x-1)*((b+1)*b-14)*b", Indexed({13, 29}), {0.5, -2},
         {11.412778986902094, -0.8968052532744765}, 48.98425367924002, 1e-8},
        {"Powell badly scaled", powell, Indexed({1, 1.0001}), {0, 1}, {1.098159329699e-5, 9.106146739868}, 0, 1e-8},
        {"Brown badly scaled", brown, Indexed({1e6, 2e-6, 2}), {1, 1}, {1e6, 2e-6}, 0, 1e-9},
        {"Beale", "a*(1-b^x)", Indexed({1.5, 2.25, 2.625}), {1, 1}, {3, 0.5}, 0, 1e-9},
        {"Jennrich and Sampson", "exp(x*a)+exp(x*b)", Indexed(jennrich_y), {0.3, 0.4}, {}, 124.3621823556148, 1e-8},
        {"helical valley", helical, Indexed({0, 0, 0}), {0, 0, -1}, {0, 0, 1}, 0, 1e-9},
        {"helical valley far", helical, Indexed({0, 0, 0}), {0, 0, -10}, {0, 0, 1}, 0, 1e-9},
        {"Bard", "a+x/((16-x)*b+min(x,16-x)*c)", bard, {1, 1, 1}, {0.08241056, 1.133036, 2.343695}, 8.214877306579e-3,
         1e-6},
        // From afar the sum of squares falls towards its other infimum as b and
        // c run off to minus infinity: no solution, whose values are not determined.
        {"Bard far", "a+x/((16-x)*b+min(x,16-x)*c)", bard, {10, 10, 10}, {0.8406666666}, 17.4286933334, 1e-8, false},
        {"Box three-dimensional", box, Indexed(std::vector<double>(10, 0.0)), {0, 10, 20}, {1, 10, 1}, 0, 1e-9},
        {"Meyer", "a*exp(b/(45+5*x+c))", meyer, {0.02, 4000, 250}, {0.00560963647, 6181.34635, 345.223635},
         87.94585517, 1e-6},
        {"Kowalik and Osborne", "a*(x^2+x*b)/(x^2+x*c+d)", kowalik, {0.25, 0.39, 0.415, 0.39},
         {0.1928069, 0.1912823, 0.1230565, 0.1360623}, 3.075056038492e-4, 1e-5},
        {"Osborne 1", "a+b*exp(-10*(x-1)*c)+d*exp(-10*(x-1)*e)", osborne, {0.5, 1.5, 0.01, -1, 0.02},
         {0.3754100, 1.935847, 0.01286753, -1.464687, 0.02212270}, 5.464894697482e-5, 1e-5},
    };
    for (const KnownAnswer& problem : problems) ExpectSolved(problem);
}

// The first steps from a=0.5 put exp(exp(a*x)) far beyond the largest
// double; they are refused and shorter ones taken.
TEST(ModelFit, RejectsAStepIntoOverflowAndGoesOn)
{
    DataSet data = Sampled(1, 1.5, 2, [](double x) { return std::exp(std::exp(1.5 * x)); });
    ModelFit fit = Fit("exp(exp(a*x))", data, {0.5});
    ASSERT_TRUE(fit.ok) << fit.error;
    EXPECT_TRUE(fit.converged) << stop_reason_name(fit.stop_reason);
    EXPECT_NEAR(fit.parameters[0].value, 1.5, 1e-12);
}

TEST(ModelFit, ReportsAModelUndefinedAtTheStartAsNotConverged)
{
    const DataSet data = Sampled(0, 5, 10, [](double x) { return x; });
    // The last two have finite values but a derivative that is not: infinite
    // at every point, and NaN (0 times infinity) at x = 0 alone.
    for (const char* text : {"log(-1-a^2-x)", "sqrt(a-10)*x", "a/(x-x)", "exp(1000*a)", "sqrt(a-1)+x", "sqrt(a*x)"}) {
        ModelFit fit = Fit(text, data, {1});
        ASSERT_TRUE(fit.ok) << text;
        EXPECT_FALSE(fit.converged) << text;
        EXPECT_EQ(fit.stop_reason, StopReason::undefined_at_start) << text;
        EXPECT_EQ(fit.parameters[0].value, 1) << text;
    }
}

TEST(ModelFit, StopsAtTheIterationLimitWithoutClaimingConvergence)
{
    const DataSet meyer = Indexed({34780, 28610, 23650, 19630, 16370, 13720, 11540, 9744, 8261, 7030, 6005, 5147, 4427,
                                   3820, 3307, 2872});
    ModelFit start = Fit("a*exp(b/(45+5*x+c))", meyer, {0.02, 4000, 250}, 0);
    ModelFit fit = Fit("a*exp(b/(45+5*x+c))", meyer, {0.02, 4000, 250}, 5);
    ASSERT_TRUE(fit.ok);
    EXPECT_FALSE(fit.converged);
    EXPECT_EQ(fit.stop_reason, StopReason::iteration_limit);
    EXPECT_EQ(fit.iterations, 5);
    EXPECT_LT(fit.rss, start.rss);  // the best point reached, not the start
    EXPECT_EQ(start.iterations, 0);
}

// A model linear in its parameters has the answer of the linear fit:
// values, standard errors, intervals and the goodness of fit.
TEST(ModelFit, MatchesTheLinearFitOnAPolynomial)
{
    DataSet data = Sampled(-3, 7, 25, [](double x) { return 1 - 2 * x + 0.25 * x * x; });
    for (int i = 0; i < 25; ++i) {
        data.y[i] += Noise(i, 0.3);
        data.sigma.push_back(0.2 + 0.01 * i);
    }
    for (bool weighted : {false, true}) {
        SCOPED_TRACE(weighted ? "weighted" : "unweighted");
        DataSet used = data;
        if (!weighted) used.sigma.clear();
        ModelFit fit = Fit("c0+c1*x+c2*x^2", used, {0, 0, 0});
        PolynomialFit linear = weighted ? fit_polynomial(used.x[0], used.y, 2, used.sigma)
                                        : fit_polynomial(used.x[0], used.y, 2);
        ASSERT_TRUE(fit.converged && linear.ok);
        EXPECT_EQ(fit.ndf, 22u);
        EXPECT_NEAR(fit.residual_se, linear.residual_sd, 1e-10 * linear.residual_sd);
        EXPECT_NEAR(fit.r_squared, linear.r_squared, 1e-10);
        const double t = 2.0738730679040;  // Student's t(0.975) with 22 degrees of freedom
        for (int k = 0; k < 3; ++k) {
            const ModelParameter& parameter = fit.parameters[k];
            EXPECT_NEAR(parameter.value, linear.coefficients[k], 1e-10);
            // The linear fit's weighted errors come from the sigmas alone.
            const double error = linear.coefficient_errors[k];
            EXPECT_NEAR(weighted ? parameter.error_absolute : parameter.error, error, 1e-8 * error) << k;
            if (weighted) {
                EXPECT_NEAR(parameter.error, error * linear.residual_sd, 1e-8 * parameter.error);
            }
            EXPECT_NEAR(parameter.ci95[1] - parameter.value, t * parameter.error, 1e-9 * parameter.error);
        }
        EXPECT_NEAR(fit.correlation[1], fit.correlation[3], 1e-15);  // symmetric
        EXPECT_EQ(fit.correlation[4], 1);
        if (weighted) {
            EXPECT_NEAR(fit.reduced_chi2, fit.rss / 22, 1e-15);
            EXPECT_GT(fit.chi2_p, 0);
            EXPECT_LT(fit.chi2_p, 1);
        }
    }
}

// Moving x and y far from zero moves the fitted offset alone.
TEST(ModelFit, IsShiftInvariant)
{
    auto noisy = [](double x_offset, double y_offset) {
        DataSet data = Sampled(x_offset, x_offset + 5, 40, [&](double x) {
            return 5 * std::exp(-1.3 * (x - x_offset)) + 0.5 + y_offset;
        });
        for (int i = 0; i < 40; ++i) data.y[i] += Noise(i, 0.05);
        return data;
    };
    ModelFit near = Fit("a*exp(-b*(x-0))+c", noisy(0, 0), {1, 1, 0.1});
    ModelFit far = Fit("a*exp(-b*(x-1.7e9))+c", noisy(1.7e9, 1e6), {1, 1, 0.1 + 1e6});
    ASSERT_TRUE(near.converged && far.converged);
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(far.parameters[k].value, near.parameters[k].value, 1e-7 * std::fabs(near.parameters[k].value));
        EXPECT_NEAR(far.parameters[k].error, near.parameters[k].error, 1e-5 * near.parameters[k].error);
    }
    EXPECT_NEAR(far.parameters[2].value - 1e6, near.parameters[2].value, 1e-7);
    EXPECT_NEAR(far.residual_se, near.residual_se, 1e-5 * near.residual_se);
}

TEST(ModelFit, HoldsAFixedParameter)
{
    const DataSet data = Sampled(0, 5, 30, [](double x) { return 5 * std::exp(-1.3 * x) + 0.5; });
    const Formula formula("a*exp(-b*x)+c");
    ModelFit fit = fit_model(formula, data.Columns(), {{1, 1, 0.5}, {false, false, true}, 500});
    ASSERT_TRUE(fit.converged);
    EXPECT_EQ(fit.ndf, 28u);
    EXPECT_TRUE(fit.parameters[2].fixed);
    EXPECT_EQ(fit.parameters[2].value, 0.5);
    EXPECT_TRUE(std::isnan(fit.parameters[2].error));
    EXPECT_TRUE(std::isnan(fit.correlation[2 * 3 + 0]));
    EXPECT_NEAR(fit.parameters[0].value, 5, 1e-9);
    EXPECT_NEAR(fit.parameters[1].value, 1.3, 1e-9);
}

// The band of a polynomial written as a formula is the linear fit's, also
// far from zero where the formula is not centred: there the covariance
// matrix, rounded, would lose every digit of g^T C g to cancellation.
TEST(ModelBand, MatchesTheLinearBandOfAPolynomial)
{
    struct Case {
        const char* name;
        double x_offset;
        bool weighted;
        double level;
        const char* formula;
        int order;
        double tolerance;        // relative, of the band's half width
        double value_tolerance;  // of the fitted value
    };
    const Case cases[] = {
        {"near zero", 0, false, 0.95, "c0+c1*x+c2*x^2", 2, 1e-8, 1e-9},
        {"weighted", 0, true, 0.9, "c0+c1*x+c2*x^2", 2, 1e-8, 1e-9},
        {"years", 2000, false, 0.99, "c0+c1*(x-2000)+c2*(x-2000)^2", 2, 1e-8, 1e-9},
        {"years weighted", 2000, true, 0.95, "c0+c1*(x-2000)+c2*(x-2000)^2", 2, 1e-8, 1e-9},
        {"years as written", 2000, false, 0.95, "c0+c1*x+c2*x^2", 2, 1e-6, 1e-9},
        // c0 is about 3.4e9 here: the formula's value is rounded to its ulp, 5e-7.
        {"Unix times as written", 1.7e9, true, 0.95, "c0+c1*x", 1, 1e-6, 1e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double x0 = c.x_offset, curve = c.order == 2 ? 0.25 : 0;
        DataSet data = Sampled(x0 - 3, x0 + 7, 25, [x0, curve](double x) { return 1 - 2 * (x - x0) + curve * (x - x0) * (x - x0); });
        for (int i = 0; i < 25; ++i) {
            data.y[i] += Noise(i, 0.3);
            if (c.weighted) data.sigma.push_back(0.2 + 0.01 * i);
        }
        const Formula formula(c.formula);
        const ModelFit fit = fit_model(formula, data.Columns(), {std::vector<double>(c.order + 1, 0.0), {}, 500});
        const PolynomialFit linear = c.weighted ? fit_polynomial(data.x[0], data.y, c.order, data.sigma)
                                                : fit_polynomial(data.x[0], data.y, c.order);
        ASSERT_TRUE(fit.converged && linear.ok);
        const std::vector<double> at = band_abscissae(data.x[0], 40);
        const ConfidenceBand band = model_band(formula, fit, at, c.level);
        const ConfidenceBand expected = confidence_band(linear, at, c.level);
        ASSERT_TRUE(band.ok) << band.error;
        ASSERT_EQ(band.x.size(), at.size());
        for (std::size_t i = 0; i < at.size(); ++i) {
            const double half = expected.high[i] - expected.fit[i];
            EXPECT_EQ(band.x[i], at[i]);
            EXPECT_NEAR(band.fit[i], expected.fit[i], c.value_tolerance * std::max(1.0, std::fabs(expected.fit[i])));
            EXPECT_NEAR(band.high[i] - band.fit[i], half, c.tolerance * half) << at[i];
            EXPECT_NEAR(band.fit[i] - band.low[i], half, c.tolerance * half) << at[i];
        }
    }
}

// A fixed parameter adds no width; no band is made where there is no single
// x or the fit failed.
TEST(ModelBand, LeavesOutFixedParametersAndRefusesWhatHasNoBand)
{
    const DataSet data = Sampled(0, 5, 30, [](double x) { return 2 + 0.5 * x + 0.01 * std::sin(7 * x); });
    const Formula line("a+b*x");
    const ModelFit held = fit_model(line, data.Columns(), {{1, 0.5}, {false, true}, 500});
    ASSERT_TRUE(held.converged);
    const std::vector<double> at = {-10, 0, 2.5, 100};
    const ConfidenceBand band = model_band(line, held, at);
    ASSERT_TRUE(band.ok) << band.error;
    const double half = held.parameters[0].ci95[1] - held.parameters[0].value;  // the slope adds nothing
    for (std::size_t i = 0; i < at.size(); ++i) EXPECT_NEAR(band.high[i] - band.fit[i], half, 1e-9 * half);

    // Where the model is undefined, the band passes the x over.
    const Formula root("a*sqrt(x)");
    const ModelFit rooted = fit_model(root, data.Columns(), {{1}, {}, 500});
    const std::vector<double> with_negative = {-1, 1, 4};
    EXPECT_EQ(model_band(root, rooted, with_negative).x, (std::vector<double>{1, 4}));

    DataSet two = data;
    two.x.push_back(data.x[0]);
    const Formula plane("a+b*x1+c*x2^2");
    const ModelFit planar = fit_model(plane, two.Columns(), {{1, 1, 1}, {}, 500});
    ASSERT_TRUE(planar.ok);
    EXPECT_FALSE(model_band(plane, planar, at).ok);
    ModelFit failed;
    failed.error = "no data";
    EXPECT_EQ(model_band(line, failed, at).error, "no data");
    EXPECT_FALSE(model_band(root, held, at).ok);  // the fit of another formula
}

TEST(ModelFit, RefusesDataItCannotFit)
{
    const DataSet line = Sampled(0, 1, 5, [](double x) { return x; });
    DataSet bad_sigma = line;
    bad_sigma.sigma = {1, 1, 0, 1, 1};
    DataSet not_finite = line;
    not_finite.y[2] = NAN;
    DataSet two = Sampled(0, 1, 2, [](double x) { return x; });
    const struct {
        const char* formula;
        const DataSet& data;
        const char* message;
    } cases[] = {
        {"a*x+", line, "the formula is not valid"},
        {"a*x1+b*x2", line, "uses x2"},
        {"x^2", line, "no parameter"},
        {"a+b*x+c*x^2", two, "at least 3 points"},
        {"a*x", bad_sigma, "sigma"},
        {"a*x", not_finite, "point 3"},
    };
    for (const auto& c : cases) {
        ModelFit fit = fit_model(Formula(c.formula), c.data.Columns());
        EXPECT_FALSE(fit.ok) << c.formula;
        EXPECT_NE(fit.error.find(c.message), std::string::npos) << c.formula << ": " << fit.error;
        EXPECT_EQ(fit.stop_reason, StopReason::not_run);
    }
}

// The block fold keeps the triangular factor of rows whose sums of squares
// lie beyond the doubles: the factor of s * A is s times that of A.
TEST(TriangularRows, FoldsRowsOfFarScales)
{
    constexpr std::size_t kRows = 40;
    auto factor = [](double scale) {
        std::vector<double> block(3 * kRows);
        for (std::size_t i = 0; i < kRows; ++i) {
            block[i] = scale * (1 + 0.1 * double(i));
            block[kRows + i] = scale * std::sin(double(i));
            block[2 * kRows + i] = scale * std::cos(3.0 * double(i));
        }
        TriangularRows rows(2);
        rows.AddBlock(block, kRows);
        return rows;
    };
    const TriangularRows unit = factor(1);
    for (double scale : {1e-145, 1e140, 0x1p-470, 3e-3}) {
        const TriangularRows scaled = factor(scale);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_NEAR(scaled.z(i) / scale, unit.z(i), 1e-13 * std::fabs(unit.z(0))) << scale;
            for (std::size_t j = i; j < 2; ++j)
                EXPECT_NEAR(scaled.r(i, j) / scale, unit.r(i, j), 1e-13 * std::fabs(unit.r(0, 0))) << scale;
        }
    }
}

// A block folded in at once gives the factor of its rows rotated in one by
// one: the same least-squares solution, residual sum of squares and column
// norms, for blocks of every length around the fold's unrolling, on data
// far from zero.
TEST(TriangularRows, FoldsABlockAsItsRowsOneByOne)
{
    constexpr std::size_t kColumns = 3;
    for (std::size_t count : {1u, 3u, 4u, 5u, 7u, 8u, 37u, 256u}) {
        std::vector<double> block((kColumns + 1) * count);
        TriangularRows by_rows(kColumns);
        for (std::size_t i = 0; i < count; ++i) {
            const double x = 2.0e9 + 0.37 * double(i);
            std::vector<double> row = {1.0, std::sin(double(i)), x - 2.0e9};
            const double residual = 1e6 + std::cos(3.0 * double(i));
            for (std::size_t j = 0; j < kColumns; ++j) block[j * count + i] = row[j];
            block[kColumns * count + i] = residual;
            by_rows.Add(row, residual);
        }
        TriangularRows by_block(kColumns);
        by_block.AddBlock(block, count);
        EXPECT_NEAR(by_block.sum_of_squares, by_rows.sum_of_squares, 1e-13 * by_rows.sum_of_squares) << count;
        for (std::size_t j = 0; j < kColumns; ++j) {
            EXPECT_NEAR(by_block.ColumnNorm(j), by_rows.ColumnNorm(j), 1e-13 * by_rows.ColumnNorm(j)) << count;
        }
        if (count < kColumns) continue;
        const std::vector<double> scale(kColumns, 1.0);
        double predicted = 0;
        const std::vector<double> block_step = by_block.DampedStep(scale, 0, &predicted);
        const std::vector<double> row_step = by_rows.DampedStep(scale, 0, &predicted);
        double largest = 0;  // the step's error is relative to its largest part
        for (double part : row_step) largest = std::max(largest, std::fabs(part));
        for (std::size_t j = 0; j < kColumns; ++j) {
            EXPECT_NEAR(block_step[j], row_step[j], 1e-12 * largest) << count << " " << j;
        }
    }
}
