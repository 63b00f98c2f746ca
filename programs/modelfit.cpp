// modelfit - fits any formula to a data file by nonlinear least squares.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <fitcore/model.h>
#include <fitcore/table.h>

#include "fit_picture.h"
#include "fit_shell.h"
#include "model_report.h"
#include "result_plot.h"

namespace {

const ProgramInfo kProgram = {
    "modelfit",
    "Fit FORMULA, a model of y in x and named parameters, to the x/y data in FILE\n"
    "by nonlinear least squares, e.g. modelfit --start a=5,b=1 'a*exp(-b*x)+c' FILE.",
    false, true};

constexpr int kCurveSamples = 1000;  // points of the drawn curve

// "modelfit: ERROR", the formula, and a caret under the place of the error.
void PrintFormulaError(const fitcore::Formula& formula)
{
    std::string shown = formula.text();
    for (char& c : shown)
        if (std::iscntrl(static_cast<unsigned char>(c))) c = ' ';
    const std::size_t column = std::min(formula.error_position(), shown.size());
    std::fprintf(stderr, "%s: error in the formula at character %zu: %s\n  %s\n  %s^\n", kProgram.name, column + 1,
                 formula.error().c_str(), shown.c_str(), std::string(column, ' ').c_str());
}

// Reads the NAME=VALUE lists of --start or --fix into `values`, marking
// each name given in `given`. False after a usage error on standard error.
bool ReadAssignments(const std::vector<const char*>& lists, const char* option, const fitcore::Formula& formula,
                     std::vector<double>* values, std::vector<bool>* given)
{
    const std::vector<std::string>& names = formula.parameters();
    for (std::string_view list : lists) {
        for (std::size_t start = 0; start <= list.size();) {
            std::size_t end = std::min(list.find(',', start), list.size());
            std::string item(list.substr(start, end - start));
            start = end + 1;
            std::size_t equals = item.find('=');
            std::string name = item.substr(0, equals);
            auto found = std::find(names.begin(), names.end(), name);
            char* stop = nullptr;
            double value = equals == std::string::npos ? NAN : std::strtod(item.c_str() + equals + 1, &stop);
            if (equals == std::string::npos || stop == item.c_str() + equals + 1 || *stop != '\0' ||
                !std::isfinite(value)) {
                PrintUsageError(kProgram, std::string("option '--") + option + "' needs NAME=VALUE with a finite number, not '" +
                                              item + "'");
                return false;
            }
            if (found == names.end()) {
                PrintUsageError(kProgram, std::string("option '--") + option + "' names '" + name +
                                              "', which is not a parameter of the formula");
                return false;
            }
            const std::size_t k = static_cast<std::size_t>(found - names.begin());
            (*values)[k] = value;
            (*given)[k] = true;
        }
    }
    return true;
}

// The model over the data's x range, for the picture; empty with more than
// one predictor, where no single curve shows the model.
SampledCurve CurveOf(const fitcore::Formula& formula, const fitcore::ModelColumns& columns,
                     std::span<const double> values)
{
    SampledCurve curve;
    if (columns.count == 0 || formula.predictors() > 1) return curve;
    double low = columns.x[0][0], high = low;
    for (std::size_t i = 1; i < columns.count; ++i) {
        low = std::min(low, columns.x[0][i]);
        high = std::max(high, columns.x[0][i]);
    }
    for (int i = 0; i < kCurveSamples; ++i) {
        const double x = low + (high - low) * i / (kCurveSamples - 1);
        const double y = formula.value(std::span<const double>(&x, 1), values);
        if (!std::isfinite(y)) continue;
        curve.x.push_back(x);
        curve.y.push_back(y);
    }
    curve.title = "Model fit";
    return curve;
}

// The data where they lie: a table's rows, or the loaded points.
fitcore::ModelColumns ColumnsOf(const fitcore::Table& table, const PCPFile* file, bool weighted)
{
    if (table.values != nullptr)
        return fitcore::model_columns_of_rows(table.values.get(), table.rows, table.width(), table.x_columns,
                                              weighted && table.has_sigma);
    const std::size_t n = file->count > 0 ? static_cast<std::size_t>(file->count) : 0;
    if (n == 0) return fitcore::ModelColumns({{}}, {}, {});
    return fitcore::model_columns_of_rows(&file->points[0].x, n, sizeof(Point) / sizeof(double), 1, weighted);
}

// Points of x1, y and sigma, for the report and the picture of a table.
std::vector<Point> PointsOf(const fitcore::ModelColumns& columns)
{
    std::vector<Point> points(columns.count);
    for (std::size_t i = 0; i < columns.count; ++i)
        points[i] = {columns.x[0][i], columns.y[i], columns.weighted() ? columns.sigma[i] : 0.0, 0.0, 0.0};
    return points;
}

void SetFittedValues(const fitcore::Formula& formula, const fitcore::ModelColumns& columns,
                     std::span<const double> values, Point* points)
{
    std::vector<double> x(columns.x.size());
    for (std::size_t i = 0; i < columns.count; ++i) {
        for (std::size_t k = 0; k < x.size(); ++k) x[k] = columns.x[k][i];
        points[i].fit = formula.value(x, values);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    StartRun();
    FitRun run;
    int exit_status = 0;
    if (!StartFitRun(argc, argv, kProgram, &run, &exit_status)) return exit_status;
    const CommandLine& command = run.command;
    const fitcore::Formula formula(command.formula);
    if (!formula.ok()) {
        PrintFormulaError(formula);
        return FinishRun(2);
    }
    const std::size_t p = formula.parameters().size();
    fitcore::ModelOptions options;
    options.start.assign(p, 1.0);
    options.fixed.assign(p, false);
    std::vector<bool> started(p, false);
    if (!ReadAssignments(command.starts, "start", formula, &options.start, &started) ||
        !ReadAssignments(command.fixes, "fix", formula, &options.start, &options.fixed))
        return FinishRun(2);
    if (command.max_iterations > 0) options.max_iterations = command.max_iterations;
    const std::size_t x_columns = command.columns != nullptr ? fitcore::parse_columns(command.columns).x.size() : 1;
    if (static_cast<std::size_t>(formula.predictors()) > x_columns) {
        std::fprintf(stderr, "%s: the formula uses x%d, but the data give %zu x column%s; name them with -u X1,X2:Y\n",
                     kProgram.name, formula.predictors(), x_columns, x_columns == 1 ? "" : "s");
        return FinishRun(2);
    }

    char name[kFileNameSize];
    PCPFile* file = OpenDataFile(
        &run, {.load_error_names_file = false, .requires_sigma = command.weighted, .keep_rows = true}, name,
        &exit_status);
    if (file == nullptr) return FinishRun(exit_status);
    const fitcore::ModelColumns columns = ColumnsOf(run.rows, file, command.weighted);
    const fitcore::ModelFit fit = fitcore::fit_model(formula, columns, options);
    if (!fit.ok) {
        std::printf("Could not fit the model: %s.\n", fit.error.c_str());
        DisposePCPFile(file);
        return FinishRun(1);
    }
    std::vector<double> values;
    for (const fitcore::ModelParameter& parameter : fit.parameters) values.push_back(parameter.value);
    // The points serve the point table, the JSON points and the picture alone.
    std::vector<Point> table_points;
    Point* points = file->points;
    if (run.json == nullptr || command.points || command.plot_file != nullptr) {
        if (run.rows.values != nullptr) {
            // The sigmas of --errorbars are drawn even where the fit is not weighted by them.
            table_points = PointsOf(ColumnsOf(run.rows, file, command.weighted || command.error_bars));
            points = table_points.data();
        }
        SetFittedValues(formula, columns, values, points);
    }

    ModelReportRun report{&formula, {}, options.max_iterations, {}};
    for (std::size_t k = 0; k < p; ++k) report.started_at_one.push_back(!started[k] && !options.fixed[k]);
    if (run.data.x_names.size() > 1) report.x_names = run.data.x_names;
    if (run.json != nullptr) {
        JsonRun json = JsonRunOf(run, name, file);
        json.points = points;
        exit_status = JsonWritten(run, WriteModelJson(run.json, json, report, fit));
    } else {
        PrintModelReport(report, fit, points, file->count);
    }
    const int32_t count = file->count;
    const FitDetailsAdder details = [&](PictureOptions* picture, std::string* reason) {
        return AddModelDetails(command, formula, fit, points, count, picture, reason);
    };
    if (PlotResult(run, points, count, CurveOf(formula, columns, values), details) != 0) exit_status = 1;
    if (!fit.converged) exit_status = 1;

    DisposePCPFile(file);
    return FinishRun(exit_status);
}
