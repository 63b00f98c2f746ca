// json_report.cpp - the results of a fit as one JSON object on one line.
#include "json_report.h"

#include <limits>
#include <string>
#include <utility>
#include <span>
#include <vector>

#include "json_writer.h"
#include <fitcore/fit.h>
#include <fitcore/output_buffer.h>

void AddJsonRunColumns(JsonObject& object, const JsonRun& run)
{
    for (auto [member, name] : {std::pair{"x_name", run.x_name}, std::pair{"y_name", run.y_name}}) {
        if (name != nullptr) {
            AddJsonString(object, member, name);
        } else {
            AddJsonName(object, member);
            object.text += "null";
        }
    }
    AddJsonInteger(object, "skipped", run.skipped);
}

// The members so far, the points when asked for, and the object's end.
// Long point lists are formatted on two threads, like the report's tables.
bool FinishJsonObject(std::FILE* out, JsonObject& object, const JsonRun& run)
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

namespace {

JsonObject CommonMembers(const JsonRun& run)
{
    JsonObject object;
    AddJsonString(object, "program", run.program);
    AddJsonString(object, "file", run.file);
    AddJsonInteger(object, "count", run.count);
    AddJsonRunColumns(object, run);
    return object;
}

// A number's text, "null" for NaN and the infinities.
std::string Number(double value)
{
    char text[kMaxJsonNumberLength];
    return {text, AppendJsonNumber(text, value)};
}

// The inference's values of one kind, one per parameter; NaN (null) for each
// of `count` parameters when there is no inference.
template <typename Field>
std::vector<double> EachParameter(const fitcore::FitInference& inference, std::size_t count, Field field)
{
    if (!inference.ok) return std::vector<double>(count, std::numeric_limits<double>::quiet_NaN());
    std::vector<double> values;
    for (const fitcore::ParameterInference& parameter : inference.parameters) values.push_back(field(parameter));
    return values;
}

// "ndf" (unless the chi-square members have given it), "residual_se",
// "r_squared" and "adjusted_r_squared", null without an inference.
void AddQuality(JsonObject& object, const fitcore::FitInference& inference, bool with_ndf)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (with_ndf) {
        if (inference.ok)
            AddJsonInteger(object, "ndf", static_cast<long long>(inference.ndf));
        else
            AddJsonNumber(object, "ndf", nan);
    }
    AddJsonNumber(object, "residual_se", inference.ok ? inference.residual_se : nan);
    AddJsonNumber(object, "r_squared", inference.ok ? inference.r_squared : nan);
    AddJsonNumber(object, "adjusted_r_squared", inference.ok ? inference.adjusted_r_squared : nan);
}

void AddChiSquare(JsonObject& object, const fitcore::FitInference& inference)
{
    AddJsonNumber(object, "chi2", inference.chi2);
    AddJsonInteger(object, "ndf", static_cast<long long>(inference.ndf));
    AddJsonNumber(object, "reduced_chi2", inference.reduced_chi2);
    AddJsonNumber(object, "chi2_p", inference.chi2_p);
}

// "slope_t", "slope_p", "slope_ci95", the same for the intercept, and their correlation.
void AddLineInference(JsonObject& object, const fitcore::FitInference& inference)
{
    const std::vector<double> t = EachParameter(inference, 2, [](const auto& p) { return p.t; });
    const std::vector<double> p = EachParameter(inference, 2, [](const auto& p) { return p.p; });
    const std::vector<double> low = EachParameter(inference, 2, [](const auto& p) { return p.low; });
    const std::vector<double> high = EachParameter(inference, 2, [](const auto& p) { return p.high; });
    const struct {
        const char* name;
        int index;
    } parameters[] = {{"slope", 1}, {"intercept", 0}};
    for (const auto& parameter : parameters) {
        const std::string name = parameter.name;
        AddJsonNumber(object, name + "_t", t[parameter.index]);
        AddJsonNumber(object, name + "_p", p[parameter.index]);
        AddJsonNumbers(object, name + "_ci95", std::vector<double>{low[parameter.index], high[parameter.index]});
    }
    AddJsonNumber(object, "correlation_slope_intercept",
                  inference.ok ? inference.correlation[1] : std::numeric_limits<double>::quiet_NaN());
}

// "coefficient_t", "coefficient_p", "coefficient_ci95" and the "correlation" matrix.
void AddPolynomialInference(JsonObject& object, const fitcore::FitInference& inference, std::size_t count)
{
    AddJsonNumbers(object, "coefficient_t", EachParameter(inference, count, [](const auto& p) { return p.t; }));
    AddJsonNumbers(object, "coefficient_p", EachParameter(inference, count, [](const auto& p) { return p.p; }));
    const std::vector<double> low = EachParameter(inference, count, [](const auto& p) { return p.low; });
    const std::vector<double> high = EachParameter(inference, count, [](const auto& p) { return p.high; });
    AddJsonName(object, "coefficient_ci95");
    object.text += '[';
    for (std::size_t k = 0; k < count; ++k)
        object.text += (k > 0 ? ",[" : "[") + Number(low[k]) + "," + Number(high[k]) + "]";
    object.text += ']';
    AddJsonMatrix(object, "correlation",
                  inference.ok ? inference.correlation
                               : std::vector<double>(count * count, std::numeric_limits<double>::quiet_NaN()),
                  count);
}

}  // namespace


bool WriteLineJson(std::FILE* out, const JsonRun& run, const LineStatistics& stats,
                   const fitcore::FitInference* inference)
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
    if (inference != nullptr) {
        AddQuality(object, *inference, true);
        AddLineInference(object, *inference);
    }
    return FinishJsonObject(out, object, run);
}

bool WritePolynomialJson(std::FILE* out, const JsonRun& run, const fitcore::Polynomial& polynomial, double rms,
                         const fitcore::FitInference& inference)
{
    JsonObject object = CommonMembers(run);
    AddJsonInteger(object, "order", polynomial.order);
    const size_t terms = static_cast<size_t>(polynomial.order) + 1;
    AddJsonNumbers(object, "coefficients", std::span<const double>(polynomial.coefficients, terms));
    AddJsonNumbers(object, "coefficient_errors", EachParameter(inference, terms, [](const auto& p) { return p.error; }));
    AddJsonNumber(object, "rms", rms);
    AddQuality(object, inference, true);
    AddPolynomialInference(object, inference, terms);
    return FinishJsonObject(out, object, run);
}

bool WriteWeightedLineJson(std::FILE* out, const JsonRun& run, const fitcore::FitInference& inference)
{
    JsonObject object = CommonMembers(run);
    AddJsonBool(object, "weighted", true);
    const fitcore::ParameterInference& intercept = inference.parameters[0];
    const fitcore::ParameterInference& slope = inference.parameters[1];
    AddJsonNumber(object, "slope", slope.estimate);
    AddJsonNumber(object, "slope_error", slope.error);
    AddJsonNumber(object, "slope_error_absolute", slope.error_absolute);
    AddJsonNumber(object, "intercept", intercept.estimate);
    AddJsonNumber(object, "intercept_error", intercept.error);
    AddJsonNumber(object, "intercept_error_absolute", intercept.error_absolute);
    AddChiSquare(object, inference);
    AddQuality(object, inference, false);
    AddLineInference(object, inference);
    return FinishJsonObject(out, object, run);
}

bool WriteWeightedPolynomialJson(std::FILE* out, const JsonRun& run, const fitcore::FitInference& inference)
{
    JsonObject object = CommonMembers(run);
    AddJsonBool(object, "weighted", true);
    const size_t terms = inference.parameters.size();
    AddJsonInteger(object, "order", static_cast<long long>(terms) - 1);
    AddJsonNumbers(object, "coefficients", EachParameter(inference, terms, [](const auto& p) { return p.estimate; }));
    AddJsonNumbers(object, "coefficient_errors", EachParameter(inference, terms, [](const auto& p) { return p.error; }));
    AddJsonNumbers(object, "coefficient_errors_absolute",
                   EachParameter(inference, terms, [](const auto& p) { return p.error_absolute; }));
    AddChiSquare(object, inference);
    AddQuality(object, inference, false);
    AddPolynomialInference(object, inference, terms);
    return FinishJsonObject(out, object, run);
}

bool WriteComparisonJson(std::FILE* out, const JsonRun& run, const fitcore::OrderComparison& comparison,
                         bool weighted)
{
    JsonObject object = CommonMembers(run);
    if (weighted) AddJsonBool(object, "weighted", true);
    AddJsonName(object, "orders");
    object.text += '[';
    for (const fitcore::OrderRow& row : comparison.rows) {
        JsonObject member;
        AddJsonInteger(member, "order", row.order);
        AddJsonNumber(member, "rms", row.rms);
        AddJsonNumber(member, "residual_se", row.residual_se);
        AddJsonNumber(member, "adjusted_r_squared", row.adjusted_r_squared);
        AddJsonNumber(member, "aic", row.aic);
        AddJsonNumber(member, "bic", row.bic);
        AddJsonNumber(member, "top_p", row.top_p);
        object.text += (row.order == comparison.rows.front().order ? "" : ",") + member.text + "}";
    }
    object.text += ']';
    AddJsonInteger(object, "best_bic_order", comparison.best_bic_order);
    return FinishJsonObject(out, object, run);
}
