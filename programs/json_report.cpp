// json_report.cpp - the results of a fit as one JSON object on one line.
#include "json_report.h"

#include <limits>
#include <span>
#include <vector>

#include "json_writer.h"
#include <fitcore/fit.h>
#include <fitcore/output_buffer.h>

namespace {

JsonObject CommonMembers(const JsonRun& run)
{
    JsonObject object;
    AddJsonString(object, "program", run.program);
    AddJsonString(object, "file", run.file);
    AddJsonInteger(object, "count", run.count);
    return object;
}

// The members so far, the points when asked for, and the object's end.
// Long point lists are formatted on two threads, like the report's tables.
bool Finish(std::FILE* out, JsonObject& object, const JsonRun& run)
{
    if (run.with_points) AddJsonName(object, "points");
    {
        fitcore::OutputBuffer buffer(out);
        buffer.Append(object.text.data(), object.text.size());
        if (run.with_points) {
            const Point* points = run.points;
            auto format_point = [points](char* text, size_t row) {
                const Point& point = points[row];
                *text++ = row == 0 ? '[' : ',';
                const char* names[] = {"{\"x\":", ",\"y\":", ",\"fit\":"};
                const double values[] = {point.x, point.y, point.fit};
                for (int i = 0; i < 3; ++i) {
                    for (const char* c = names[i]; *c != '\0'; ++c) *text++ = *c;
                    text = AppendJsonNumber(text, values[i]);
                }
                *text++ = '}';
                return text;
            };
            constexpr size_t kMaxPoint = 1 + 5 + 5 + 7 + 3 * kMaxJsonNumberLength + 1;
            size_t count = run.count > 0 ? static_cast<size_t>(run.count) : 0;
            fitcore::AppendRows(buffer, count, kMaxPoint, format_point);
            if (count == 0) buffer.Append("[", 1);
            buffer.Append("]", 1);
        }
        buffer.Append("}\n", 2);
        if (!buffer.Flush()) return false;
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}

// The standard errors of the coefficients, from the library's least-squares
// polynomial of the same points; NaN (null) where the points can't give them.
std::vector<double> CoefficientErrors(const JsonRun& run, int order)
{
    std::vector<double> x, y;
    for (int32_t i = 0; i < run.count; ++i) {
        x.push_back(run.points[i].x);
        y.push_back(run.points[i].y);
    }
    fitcore::PolynomialFit fit = fitcore::fit_polynomial(x, y, order);
    if (!fit.ok) return std::vector<double>(static_cast<size_t>(order) + 1, std::numeric_limits<double>::quiet_NaN());
    return fit.coefficient_errors;
}

}  // namespace

bool FinishJsonObject(std::FILE* out, JsonObject& object, const JsonRun& run) { return Finish(out, object, run); }

bool WriteLineJson(std::FILE* out, const JsonRun& run, const LineStatistics& stats)
{
    const fitcore::LineReportValues values = fitcore::DeriveLineReportValues(stats);
    JsonObject object = CommonMembers(run);
    AddJsonNumber(object, "slope", stats.slope);
    AddJsonNumber(object, "slope_error", values.slope_error);
    AddJsonNumber(object, "intercept", stats.intercept);
    AddJsonNumber(object, "intercept_error", values.intercept_error);
    AddJsonNumber(object, "x_intercept", values.x_intercept);
    AddJsonNumber(object, "x_intercept_error", values.x_intercept_error);
    AddJsonNumber(object, "xbar", stats.xbar);
    AddJsonNumber(object, "ybar", stats.ybar);
    AddJsonNumber(object, "standard_deviation", values.standard_deviation);
    AddJsonNumber(object, "correlation", values.correlation);
    return Finish(out, object, run);
}

bool WritePolynomialJson(std::FILE* out, const JsonRun& run, const fitcore::Polynomial& polynomial, double rms)
{
    JsonObject object = CommonMembers(run);
    AddJsonInteger(object, "order", polynomial.order);
    const size_t terms = static_cast<size_t>(polynomial.order) + 1;
    AddJsonNumbers(object, "coefficients", std::span<const double>(polynomial.coefficients, terms));
    AddJsonNumbers(object, "coefficient_errors", CoefficientErrors(run, polynomial.order));
    AddJsonNumber(object, "rms", rms);
    return Finish(out, object, run);
}
