// model_report.cpp - the report and the JSON of a model fit.
#include "model_report.h"

#include <string>

#include "exponential_text.h"
#include "point_rows.h"
#include "json_writer.h"
#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>

namespace {

std::string E(double value) { return ExponentialText(value); }

// Why the fit stopped, as the sentence after "Converged" or "NOT CONVERGED".
std::string StopText(const ModelReportRun& run, fitcore::StopReason reason)
{
    using fitcore::StopReason;
    switch (reason) {
    case StopReason::small_reduction: return "the sum of squares no longer falls";
    case StopReason::small_step: return "the parameters no longer change";
    case StopReason::zero_residuals: return "the model goes through every point";
    case StopReason::iteration_limit: return "the limit of " + std::to_string(run.max_iterations) + " iterations was reached";
    case StopReason::no_progress: return "no step lowers the sum of squares, yet this is no solution";
    case StopReason::undefined_at_start: return "the model or its derivatives are undefined at the start values";
    case StopReason::not_determined:
        return "the sum of squares no longer falls, but the parameters ran off where the data do not determine them";
    case StopReason::not_run: break;
    }
    return "the fit was not run";
}

void PrintParameters(const ModelReportRun& run, const fitcore::ModelFit& fit)
{
    std::printf(fit.weighted ? "\nParameter\tStart\tValue\tError (scaled)\tError (absolute)\t95%% low\t95%% high\n"
                             : "\nParameter\tStart\tValue\tStd. error\t95%% low\t95%% high\n");
    std::string defaulted;
    for (std::size_t k = 0; k < fit.parameters.size(); ++k) {
        const fitcore::ModelParameter& p = fit.parameters[k];
        std::printf("%s\t%s\t%s", p.name.c_str(), E(p.start).c_str(), E(p.value).c_str());
        if (p.fixed)
            std::printf(fit.weighted ? "\tfixed\tfixed\t-\t-\n" : "\tfixed\t-\t-\n");
        else if (fit.weighted)
            std::printf("\t%s\t%s\t%s\t%s\n", E(p.error).c_str(), E(p.error_absolute).c_str(), E(p.ci95[0]).c_str(),
                        E(p.ci95[1]).c_str());
        else
            std::printf("\t%s\t%s\t%s\n", E(p.error).c_str(), E(p.ci95[0]).c_str(), E(p.ci95[1]).c_str());
        if (run.started_at_one[k]) defaulted += (defaulted.empty() ? "" : ", ") + p.name;
    }
    if (!defaulted.empty()) std::printf("Started at 1, no start value given: %s\n", defaulted.c_str());
}

void PrintCorrelation(const fitcore::ModelFit& fit)
{
    const std::size_t p = fit.parameters.size();
    std::printf("\nCorrelation\n");
    for (const fitcore::ModelParameter& parameter : fit.parameters) std::printf("\t%s", parameter.name.c_str());
    std::printf("\n");
    for (std::size_t k = 0; k < p; ++k) {
        std::printf("%s", fit.parameters[k].name.c_str());
        for (std::size_t m = 0; m < p; ++m) std::printf("\t%s", E(fit.correlation[k * p + m]).c_str());
        std::printf("\n");
    }
}

void PrintGoodness(const fitcore::ModelFit& fit)
{
    std::printf("\n");
    if (fit.weighted) {
        std::printf("Chi-square\t%s\n", E(fit.rss).c_str());
        std::printf("Degrees of freedom\t%zu\n", fit.ndf);
        std::printf("Chi-square/ndf\t%s\n", E(fit.reduced_chi2).c_str());
        std::printf("P(chi-square >= observed)\t%s\n", E(fit.chi2_p).c_str());
    } else {
        std::printf("Residual sum of squares\t%s\n", E(fit.rss).c_str());
        std::printf("Degrees of freedom\t%zu\n", fit.ndf);
    }
    std::printf("Residual standard error\t%s\n", E(fit.residual_se).c_str());
    std::printf("R-squared\t%s\n", E(fit.r_squared).c_str());
}

// The point table: number, x, y, fit and y - fit.
void PrintPointTable(const Point* points, int32_t count)
{
    std::printf("\nPoint\tx\ty\tfit\ty-fit\n");
    PrintPointRows<4>(points, count, [](const Point& point) {
        return std::array{point.x, point.y, point.fit, point.y - point.fit};
    });
}

}  // namespace

void PrintModelReport(const ModelReportRun& run, const fitcore::ModelFit& fit, const Point* points, int32_t count)
{
    std::printf("Model fit\nFormula\t%s\n", run.formula->text().c_str());
    if (fit.converged)
        std::printf("Converged after %d iterations, %d evaluations: %s.\n", fit.iterations, fit.evaluations,
                    StopText(run, fit.stop_reason).c_str());
    else
        std::printf("NOT CONVERGED after %d iterations, %d evaluations: %s.\n"
                    "The values below are the best found, not a solution.\n",
                    fit.iterations, fit.evaluations, StopText(run, fit.stop_reason).c_str());
    PrintParameters(run, fit);
    PrintCorrelation(fit);
    PrintGoodness(fit);
    PrintPointTable(points, count);
}

bool WriteModelJson(std::FILE* out, const JsonRun& run, const ModelReportRun& model, const fitcore::ModelFit& fit)
{
    JsonObject object;
    AddJsonString(object, "program", run.program);
    AddJsonString(object, "file", run.file);
    AddJsonString(object, "formula", model.formula->text());
    AddJsonInteger(object, "count", run.count);
    AddJsonRunColumns(object, run);
    if (!model.x_names.empty()) {
        AddJsonName(object, "x_names");
        for (std::size_t k = 0; k < model.x_names.size(); ++k) {
            object.text += k == 0 ? '[' : ',';
            AppendJsonString(object.text, model.x_names[k]);
        }
        object.text += ']';
    }
    AddJsonName(object, "parameters");
    object.text += '[';
    for (std::size_t k = 0; k < fit.parameters.size(); ++k) {
        const fitcore::ModelParameter& p = fit.parameters[k];
        JsonObject parameter;
        AddJsonString(parameter, "name", p.name);
        AddJsonNumber(parameter, "value", p.value);
        AddJsonNumber(parameter, "error", p.error);
        if (fit.weighted) AddJsonNumber(parameter, "error_absolute", p.error_absolute);
        AddJsonNumbers(parameter, "ci95", p.ci95);
        AddJsonNumber(parameter, "start", p.start);
        AddJsonBool(parameter, "fixed", p.fixed);
        parameter.text += '}';
        object.text += (k > 0 ? "," : "") + parameter.text;
    }
    object.text += ']';
    AddJsonNumber(object, "rss", fit.rss);
    AddJsonInteger(object, "ndf", static_cast<long long>(fit.ndf));
    AddJsonNumber(object, "residual_se", fit.residual_se);
    AddJsonNumber(object, "r_squared", fit.r_squared);
    if (fit.weighted) {
        AddJsonNumber(object, "chi2", fit.rss);
        AddJsonNumber(object, "reduced_chi2", fit.reduced_chi2);
        AddJsonNumber(object, "chi2_p", fit.chi2_p);
    }
    AddJsonMatrix(object, "correlation", fit.correlation, fit.parameters.size());
    AddJsonInteger(object, "iterations", fit.iterations);
    AddJsonInteger(object, "evaluations", fit.evaluations);
    AddJsonBool(object, "converged", fit.converged);
    AddJsonString(object, "stop_reason", fitcore::stop_reason_name(fit.stop_reason));
    return FinishJsonObject(out, object, run);
}
