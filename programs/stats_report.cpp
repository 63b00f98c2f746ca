// stats_report.cpp - the statistics block, the weighted report and the table of orders.
#include "stats_report.h"

#include <cstdio>

#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>

#include "exponential_text.h"
#include "point_rows.h"

namespace {

std::string E(double value) { return ExponentialText(value); }

// "%15.6e": the columns of the tables below line up.
std::string Column(double value) { return ExponentialText(value, 6, 15); }

std::string Padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::size_t NameWidth(const std::vector<std::string>& names)
{
    std::size_t width = 9;  // "Parameter"
    for (const std::string& name : names) width = std::max(width, name.size());
    return width + 2;
}

void PrintCorrelations(const fitcore::FitInference& inference, const std::vector<std::string>& names)
{
    const std::size_t d = inference.parameters.size(), width = NameWidth(names);
    std::printf("\nCorrelations of the parameters\n%s", Padded("", width).c_str());
    for (const std::string& name : names) std::printf("%15s", name.c_str());
    std::printf("\n");
    for (std::size_t i = 0; i < d; ++i) {
        std::printf("%s", Padded(names[i], width).c_str());
        for (std::size_t j = 0; j < d; ++j) std::printf("%s", Column(inference.correlation[i * d + j]).c_str());
        std::printf("\n");
    }
}

// The table rows: number, x, y, sigma, fit and (y - fit) / sigma.
void PrintWeightedTable(const Point* points, int32_t count)
{
    PrintPointRows<5>(points, count, [](const Point& point) {
        return std::array{point.x, point.y, point.sigma, point.fit, (point.y - point.fit) / point.sigma};
    });
}

}  // namespace

std::vector<std::string> LineParameterNames() { return {"y intercept", "Slope"}; }

std::vector<std::string> PolynomialParameterNames(int order)
{
    std::vector<std::string> names;
    for (int k = 0; k <= order; ++k) names.push_back("c" + std::to_string(k));
    return names;
}

void PrintStatistics(const fitcore::FitInference& inference, const std::vector<std::string>& names)
{
    if (!inference.ok) {
        std::printf("\nNo statistics: %s.\n", inference.error.c_str());
        return;
    }
    const std::size_t width = NameWidth(names);
    std::printf("\nStatistics of the fit%s\n",
                inference.weighted ? " (standard errors scaled by sqrt(chi2/ndf))" : "");
    std::printf("%s       Estimate     Std. error        t value        p value     95%% CI low    95%% CI high\n",
                Padded("Parameter", width).c_str());
    for (std::size_t i = 0; i < inference.parameters.size(); ++i) {
        const fitcore::ParameterInference& parameter = inference.parameters[i];
        std::printf("%s", Padded(names[i], width).c_str());
        for (double value : {parameter.estimate, parameter.error, parameter.t, parameter.p, parameter.low,
                             parameter.high})
            std::printf("%s", Column(value).c_str());
        std::printf("\n");
    }
    std::printf("\nDegrees of freedom\t%zu\n", inference.ndf);
    std::printf("Residual standard error\t%s\n", E(inference.residual_se).c_str());
    std::printf("R-squared\t%s\n", E(inference.r_squared).c_str());
    std::printf("Adjusted R-squared\t%s\n", E(inference.adjusted_r_squared).c_str());
    PrintCorrelations(inference, names);
}

void PrintWeightedReport(const std::string& title, const fitcore::FitInference& inference,
                         const std::vector<std::string>& names, const Point* points, int32_t count)
{
    std::printf("%s\n", title.c_str());
    std::printf("Least squares weighted by 1/sigma^2\n");
    std::printf("chi2=%s\n", E(inference.chi2).c_str());
    std::printf("Degrees of freedom=%zu\n", inference.ndf);
    std::printf("chi2/ndf=%s\n", E(inference.reduced_chi2).c_str());
    std::printf("Probability of a chi2 at least as large=%s\n\n", E(inference.chi2_p).c_str());
    const std::size_t width = NameWidth(names);
    std::printf("%s          Value Error (scaled) Error (absolute)\n", Padded("Parameter", width).c_str());
    for (std::size_t i = 0; i < inference.parameters.size(); ++i) {
        const fitcore::ParameterInference& parameter = inference.parameters[i];
        std::printf("%s%s%s%s\n", Padded(names[i], width).c_str(), Column(parameter.estimate).c_str(),
                    Column(parameter.error).c_str(), Column(parameter.error_absolute).c_str());
    }
    std::printf("\nScaled errors are the absolute ones times sqrt(chi2/ndf): they take the\n"
                "scatter of the points about the fit as the measure of its uncertainty.\n"
                "Absolute errors take the sigmas as exact.\n");
    std::printf("\nPoint\tx\ty\tsigma\tfit\t(y-fit)/sigma\n");
    PrintWeightedTable(points, count);
}

void PrintOrderComparison(const fitcore::OrderComparison& comparison, int32_t count, bool weighted)
{
    const int first = comparison.rows.front().order, last = comparison.rows.back().order;
    std::printf("\nComparison of polynomial orders %d to %d over %d points%s\n\n", first, last, count,
                weighted ? ", weighted by 1/sigma^2 (RSS is chi2)" : "");
    std::printf("Order            rms    Residual SE   Adjusted R^2            AIC            BIC          top p\n");
    for (const fitcore::OrderRow& row : comparison.rows) {
        std::printf("%5d", row.order);
        for (double value : {row.rms, row.residual_se, row.adjusted_r_squared, row.aic, row.bic, row.top_p})
            std::printf("%s", Column(value).c_str());
        std::printf("%s\n", row.order == comparison.best_bic_order ? "  <- lowest BIC" : "");
    }
    std::printf("\nAIC = N ln(2 pi RSS/N) + N + 2k and BIC = N ln(2 pi RSS/N) + N + k ln N,\n"
                "k = order + 1; top p is the p value of the highest coefficient.\n");
}
