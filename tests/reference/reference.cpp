// reference.cpp - printf/fscanf-per-number and pass-per-entry versions of the hot loops.
#include "reference.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

using namespace fitcore;

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

enum class Field { Read, AtEnd, NotANumber, OutOfRange };

// One header field: nothing but white space left, or a "%ld" number that
// must fit 32 bits.
Field ReadHeaderField(std::FILE* in, int32_t* field)
{
    int c;
    do {
        c = std::getc(in);
    } while (c == ' ' || (c >= '\t' && c <= '\r'));
    if (c == EOF) return Field::AtEnd;
    std::ungetc(c, in);
    long value = 0;
    if (std::fscanf(in, "%ld", &value) != 1) return Field::NotANumber;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return Field::OutOfRange;
    *field = static_cast<int32_t>(value);
    return Field::Read;
}

// Skips a UTF-8 byte order mark at the start of a file.
void SkipByteOrderMark(std::FILE* in)
{
    unsigned char start[3] = {};
    if (std::fread(start, 1, 3, in) == 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF) return;
    std::rewind(in);
}

double SumOfPowers(const Point* points, int32_t count, int power)
{
    double total = 0;
    for (int32_t i = 0; i < count; ++i) total += std::pow(points[i].x, static_cast<double>(power));
    return total;
}

double SumOfPowersTimesY(const Point* points, int32_t count, int power)
{
    double total = 0;
    for (int32_t i = 0; i < count; ++i)
        total += std::pow(points[i].x, static_cast<double>(power)) * points[i].y;
    return total;
}

// Sum over the points of t^power, times y with `times_y`, where
// t = (x - centre) / scale; the power by repeated multiplication, all in long double.
double SumOfCentredPowers(const Point* points, int32_t count, Centring centring, int power, bool times_y)
{
    long double total = 0;
    for (int32_t i = 0; i < count; ++i) {
        const long double t = (points[i].x - static_cast<long double>(centring.centre)) / centring.scale;
        long double term = 1;
        for (int k = 0; k < power; ++k) term *= t;
        total += times_y ? term * points[i].y : term;
    }
    return static_cast<double>(total);
}

}  // namespace

std::string PrintfExactGeneral(double value)
{
    char text[64];
    for (int precision = 6; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (!std::isfinite(value) || std::strtod(text, nullptr) == value) break;
    }
    return text;
}

void ReferencePrintLineReport(const LineStatistics& stats, const Point* points, int32_t count)
{
    const double b = stats.slope, a = stats.intercept;
    std::printf("Linear fit\n");
    std::printf("The standard deviation of fit=%e\n", std::sqrt(stats.residual_variance));
    std::printf("Correlation coefficient=%e\n\n",
                std::sqrt(1 - stats.residual_variance / stats.y_variance));
    std::printf("xbar\t%e\n", stats.xbar);
    std::printf("ybar\t%e\n", stats.ybar);
    std::printf("Slope\t%e\t%e\n", b, std::sqrt(stats.slope_variance));
    std::printf("y intercept\t%e\t%e\n", a, std::sqrt(stats.intercept_variance));
    std::printf("x intercept\t%e\t%e\n", -a / b,
                std::sqrt(stats.intercept_variance + (a * a / (b * b)) * stats.slope_variance) / std::fabs(b));
    std::printf("\nPoint\tx\ty\tfit\tErr/sd\n");
    for (int32_t i = 0; i < count; ++i) {
        const Point& point = points[i];
        double error = std::sqrt(stats.intercept_variance + point.x * point.x * stats.slope_variance +
                                 stats.y_variance + b * b * stats.x_variance);
        std::printf("%d\t%1.6e\t%1.6e\t%1.6e\t%1.6e\n", i + 1, point.x, point.y, point.fit,
                    (point.y - point.fit) / error);
    }
}

int ReferenceLoadPCPFile(const char* path, PCPFile* file)
{
    FilePtr in(std::fopen(path, "rb"), &std::fclose);
    if (!in) {
        std::printf("Can't open %s for reading!\n", path);
        return 1;
    }
    SkipByteOrderMark(in.get());
    const char* names[] = {"point count", "tag", "has_sigma"};
    int32_t* fields[] = {&file->count, &file->tag, &file->has_sigma};
    for (int i = 0; i < 3; ++i) {
        Field field = ReadHeaderField(in.get(), fields[i]);
        if (field == Field::AtEnd) break;
        if (field == Field::NotANumber) {
            std::printf("Can't load %s: it does not start with a PCP header of three whole numbers.\n", path);
            return 1;
        }
        if (field == Field::OutOfRange) {
            std::printf("Can't load %s: the %s in its header is out of range.\n", path, names[i]);
            return 2;
        }
    }
    if (file->count < 0) {
        std::printf("Can't load %s: the point count %d is negative.\n", path, file->count);
        return 2;
    }
    size_t elements = file->count > 0 ? static_cast<size_t>(file->count) : 1;
    file->points = static_cast<Point*>(std::calloc(elements, sizeof(Point)));
    if (file->points == nullptr) {
        std::printf("Can't load %s: not enough memory for %d points.\n", path, file->count);
        return 2;
    }

    int32_t read = 0;
    for (; read < file->count; ++read) {
        Point& point = file->points[read];
        if (std::fscanf(in.get(), "%lg", &point.x) != 1) break;
        if (std::fscanf(in.get(), "%lg", &point.y) != 1) break;
        if (file->has_sigma && std::fscanf(in.get(), "%lg", &point.sigma) != 1) break;
        if (!file->has_sigma) point.sigma = 0;
    }
    if (read < file->count) {
        std::printf("Warning: file may be corrupted (%d of %d points read).", read, file->count);
        file->count = read;
    }
    return 0;
}

int ReferenceSavePCPFile(const char* path, const PCPFile* file)
{
    FilePtr out(std::fopen(path, "wb"), &std::fclose);
    if (!out) {
        std::printf("Can't open %s for writing!\n", path);
        return 1;
    }
    std::fprintf(out.get(), "%d %d %d\n", file->count, file->tag, file->has_sigma);
    for (int32_t i = 0; i < file->count; ++i) {
        const Point& point = file->points[i];
        std::string line = PrintfExactGeneral(point.x) + " " + PrintfExactGeneral(point.y);
        if (file->has_sigma) line += " " + PrintfExactGeneral(point.sigma);
        std::fprintf(out.get(), "%s\n", line.c_str());
    }
    bool failed = std::ferror(out.get()) != 0;
    failed = std::fclose(out.release()) != 0 || failed;
    if (failed) {
        std::printf("Can't write %s completely!\n", path);
        return 1;
    }
    return 0;
}

void ReferenceNormalEquations(const Point* points, int32_t count, int order, double* a, double* b)
{
    int d = order + 1;
    for (int i = 0; i < d; ++i) {
        for (int j = 0; j < d; ++j) a[i * d + j] = SumOfPowers(points, count, i + j);
        b[i] = SumOfPowersTimesY(points, count, i);
    }
}

// c_0 + c_1*x + ... + c_order*x^order, every term with pow, added from k = 0.
double PolynomialValue(const double* coefficients, int order, double x)
{
    double total = 0;
    for (int k = 0; k <= order; ++k) total += std::pow(x, static_cast<double>(k)) * coefficients[k];
    return total;
}

int ReferenceFitPolynomial(Point* points, int32_t count, int order, Polynomial* polynomial)
{
    if (order < 0 || order > kMaxPolynomialOrder) return 1;
    const int d = order + 1;
    const Centring centring = ChooseCentring(points, count, order);
    std::vector<double> a(static_cast<size_t>(d) * d), b(d);
    if (centring.IsIdentity()) {
        ReferenceNormalEquations(points, count, order, a.data(), b.data());
    } else {
        for (int i = 0; i < d; ++i) {
            for (int j = 0; j < d; ++j) a[i * d + j] = SumOfCentredPowers(points, count, centring, i + j, false);
            b[i] = SumOfCentredPowers(points, count, centring, i, true);
        }
    }
    Polynomial fitted{};
    if (GaussJordan(a.data(), b.data(), fitted.centred, d) != 0) return 1;
    fitted.order = order;
    fitted.centring = centring;
    ExpandInPowersOfX(fitted.centred, order, centring, fitted.coefficients);
    *polynomial = fitted;
    for (int32_t i = 0; i < count; ++i)
        points[i].fit = centring.IsIdentity() ? PolynomialValue(fitted.coefficients, order, points[i].x)
                                              : PolynomialAt(fitted, points[i].x);
    return 0;
}

void ReferencePrintPolynomialReport(const Polynomial& polynomial, double rms, const Point* points,
                                    int32_t count)
{
    std::printf("\nFit for polynomial of order %d\n", polynomial.order);
    std::printf("The rms error of this fit is%e\n\n", rms);
    std::printf(" Point       x              y              fit             y-fit          (y-fit)/rms\n");
    for (int32_t i = 0; i < count; ++i) {
        const Point& point = points[i];
        const double residual = point.y - point.fit;
        std::printf("%4d %15.5e %15.5e %15.5e %15.3e %15.3e\n", i + 1, point.x, point.y, point.fit,
                    residual, residual / rms);
    }
    std::printf("\nPolynomial Coefficients:\n");
    for (int k = 0; k <= polynomial.order; ++k) std::printf("%4d %15.6e\n", k, polynomial.coefficients[k]);
    std::printf("\n");
}
