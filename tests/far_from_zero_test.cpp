// far_from_zero_test.cpp - the fits and their curves on x far from zero
// (years, Unix seconds), against data whose least-squares answer is exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "capture_stdout.h"
#include "exact_data.h"
#include <fitcore/linefit.h>
#include "line_report.h"
#include <fitcore/pcpfile.h>
#include <fitcore/polyfit.h>
#include "result_plot.h"

using namespace fitcore;

namespace {

// The report lines that shifting x must leave unchanged: the standard
// deviation, the correlation coefficient, ybar and the slope with its error.
std::string ShiftFreeLines(const LineStatistics& stats, const std::vector<Point>& points)
{
    std::istringstream report(CaptureStdout([&] { PrintLineReport(stats, points.data(), 0); }));
    std::string line, kept;
    while (std::getline(report, line))
        if (line.rfind("The standard", 0) == 0 || line.rfind("Correlation", 0) == 0 || line.rfind("ybar", 0) == 0 ||
            line.rfind("Slope", 0) == 0)
            kept += line + "\n";
    return kept;
}

const double kOffsets[] = {0, 2000, 1.7e9, -5e9};
// A slope whose products with x far from zero need more than a double's 53 bits.
const double kSlope = 2.5 + std::ldexp(1, -30);

TEST(FarFromZero, LinesOfExactDataAtEveryOffset)
{
    std::string plain_at_zero, weighted_at_zero;
    for (double offset : kOffsets) {
        SCOPED_TRACE(offset);
        std::vector<Point> points = ExactData(offset, {7, kSlope}, 1, 12);
        const int32_t n = static_cast<int32_t>(points.size());
        Line line = FitLine(points.data(), n);
        EXPECT_NEAR(line.slope, kSlope, 1e-14);
        for (int t = -kHalf; t <= kHalf; ++t) EXPECT_NEAR(points[t + kHalf].fit, 7 + kSlope * t, 1e-12);
        EXPECT_NEAR(line.centre_value + line.slope * (offset - line.centre), 7, 1e-12);

        LineStatistics plain = ComputeLineStatistics(points.data(), n, line.slope, line.intercept);
        double ssr = 0;
        for (const Point& point : points) {
            const double r = point.y - (7 + kSlope * (point.x - offset));
            ssr += r * r;
        }
        EXPECT_NEAR(plain.residual_variance, ssr / n, 1e-12 * ssr / n);
        EXPECT_NEAR(plain.x_variance, 80, 1e-12);  // mean of t^2 over -15 .. 15

        WeightPoints(points.data(), n);
        LineStatistics weighted = ComputeWeightedLineStatistics(points.data(), n, line.slope, line.intercept);
        if (offset == 0) {
            plain_at_zero = ShiftFreeLines(plain, points);
            weighted_at_zero = ShiftFreeLines(weighted, points);
        }
        EXPECT_EQ(ShiftFreeLines(plain, points), plain_at_zero);
        EXPECT_EQ(ShiftFreeLines(weighted, points), weighted_at_zero);
    }
}

TEST(FarFromZero, CubicsOfExactDataAtEveryOffset)
{
    const std::vector<double> q = {9.25, 0.5, -0.125, 0.0078125};
    const std::vector<double> residual = OrthogonalResidual(3);
    double squares = 0;
    for (double r : residual) squares += std::ldexp(r, -40) * std::ldexp(r, -40);
    const double exact_rms = std::sqrt(squares / residual.size());
    for (double offset : {0.0, 2005.0, 1.7e9}) {
        SCOPED_TRACE(offset);
        std::vector<Point> points = ExactData(offset, q, 3, 40);
        const int32_t n = static_cast<int32_t>(points.size());
        Polynomial polynomial{};
        ASSERT_EQ(FitPolynomial(points.data(), n, 3, &polynomial), 0);
        for (int t = -kHalf; t <= kHalf; ++t)
            EXPECT_NEAR(points[t + kHalf].fit, q[0] + t * (q[1] + t * (q[2] + t * q[3])), 1e-11);
        EXPECT_NEAR(RmsError(points.data(), n), exact_rms, 1e-9 * exact_rms);
        if (offset == 2005) {  // q(x - 2005) expanded: exact integers and binary fractions
            const double c3 = q[3], c2 = q[2] - 3 * 2005 * c3, c1 = q[1] - 2 * 2005 * q[2] + 3 * 2005.0 * 2005 * c3,
                         c0 = q[0] - 2005 * q[1] + 2005.0 * 2005 * q[2] - 2005.0 * 2005 * 2005 * c3;
            const double expected[] = {c0, c1, c2, c3};
            for (int k = 0; k <= 3; ++k) EXPECT_NEAR(polynomial.coefficients[k], expected[k], 1e-9 * std::fabs(expected[k]));
        }
    }
}

std::vector<Point> YearlyExample()
{
    PCPFile* file = InitPCPFile();
    CaptureStdout([&] { EXPECT_EQ(LoadPCPFile(FITCORE_EXAMPLES_DIR "/years.pcp", file), 0); });
    std::vector<Point> points(file->points, file->points + file->count);
    DisposePCPFile(file);
    return points;
}

// A higher order can only fit as well or better: what every least-squares
// fit guarantees, and what rounding broke for x far from zero.
TEST(FarFromZero, RmsNeverRisesWithTheOrder)
{
    std::vector<Point> points = YearlyExample();
    ASSERT_EQ(points.size(), 31u);
    double previous = INFINITY;
    for (int order = kMinPolynomialOrder; order <= kMaxPolynomialOrder; ++order) {
        Polynomial polynomial{};
        ASSERT_EQ(FitPolynomial(points.data(), static_cast<int32_t>(points.size()), order, &polynomial), 0);
        double rms = RmsError(points.data(), static_cast<int32_t>(points.size()));
        EXPECT_LE(rms, previous * (1 + 1e-12)) << "order " << order;
        previous = rms;
    }
}

// Evaluates a curve command's expression as gnuplot does, in double:
// numbers, x, + - * / **, unary minus and parentheses.
class CurveExpression {
public:
    CurveExpression(const std::string& command, double x) : x_(x)
    {
        const std::string prefix = "replot ";
        const size_t title = command.find(" title '");
        text_ = command.substr(prefix.size(), title - prefix.size());
    }
    double Value()
    {
        double value = Sum();
        EXPECT_EQ(at_, text_.size()) << "unparsed: " << text_.substr(at_);
        return value;
    }

private:
    double Sum()
    {
        double value = Product();
        while (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
            const char op = text_[at_++];
            const double right = Product();
            value = op == '+' ? value + right : value - right;
        }
        return value;
    }
    double Product()
    {
        double value = Power();
        while (at_ < text_.size() && (text_[at_] == '/' || (text_[at_] == '*' && text_.compare(at_, 2, "**") != 0))) {
            const char op = text_[at_++];
            const double right = Power();
            value = op == '*' ? value * right : value / right;
        }
        return value;
    }
    double Power()
    {
        const double base = Unary();
        if (text_.compare(at_, 2, "**") != 0) return base;
        at_ += 2;
        return std::pow(base, Unary());
    }
    double Unary()
    {
        if (text_[at_] == '-') return ++at_, -Unary();
        if (text_[at_] == '+') return ++at_, Unary();
        if (text_[at_] == '(') {
            ++at_;
            const double value = Sum();
            EXPECT_EQ(text_[at_], ')');
            return ++at_, value;
        }
        if (text_[at_] == 'x') return ++at_, x_;
        char* end = nullptr;
        const double value = std::strtod(text_.c_str() + at_, &end);
        EXPECT_NE(end, text_.c_str() + at_) << "no number at " << text_.substr(at_);
        at_ = static_cast<size_t>(end - text_.c_str());
        return value;
    }

    std::string text_;
    size_t at_ = 0;
    double x_;
};

// Over the data's x range the drawn curve and the report's fitted values
// agree to 1e-9 of the range of y.
void ExpectCurveDrawsTheFits(const std::string& command, const std::vector<Point>& points)
{
    auto [low, high] = std::minmax_element(points.begin(), points.end(),
                                           [](const Point& a, const Point& b) { return a.y < b.y; });
    const double tolerance = 1e-9 * (high->y - low->y);
    for (const Point& point : points)
        ASSERT_NEAR(CurveExpression(command, point.x).Value(), point.fit, tolerance) << command << " at x " << point.x;
}

TEST(FarFromZero, CurveCommandsDrawTheFittedValues)
{
    for (double offset : kOffsets) {
        SCOPED_TRACE(offset);
        std::vector<Point> points = ExactData(offset, {7, kSlope}, 1, 12);
        ExpectCurveDrawsTheFits(LineCurveCommand(FitLine(points.data(), static_cast<int32_t>(points.size()))), points);
        std::vector<Point> gentle = ExactData(offset, {7, std::ldexp(1, -23)}, 1, 40);  // a slope below 1e-6
        ExpectCurveDrawsTheFits(LineCurveCommand(FitLine(gentle.data(), static_cast<int32_t>(gentle.size()))), gentle);
    }
    std::vector<Point> years = YearlyExample();
    for (int order : {2, 3, 9}) {
        SCOPED_TRACE(order);
        Polynomial polynomial{};
        ASSERT_EQ(FitPolynomial(years.data(), static_cast<int32_t>(years.size()), order, &polynomial), 0);
        ExpectCurveDrawsTheFits(PolynomialCurveCommand(polynomial), years);
    }
}

}  // namespace
