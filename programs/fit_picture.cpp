// fit_picture.cpp - the confidence band and the fitted equation of the picture.
#include "fit_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <fitcore/fit.h>

namespace {

// The terms of the equation on one line of the key, which is as wide as the picture.
constexpr std::size_t kTermsPerLine = 3;

// "%.*f" of the value, in the C locale's form the programs print in.
std::string Fixed(double value, int decimals)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string General(double value, int precision)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    return text;
}

// The UTF-8 superscript of 2 to 9 for the powers of x in the key.
const char* Superscript(int power)
{
    static const char* const kDigits[] = {"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷", "⁸", "⁹"};
    return kDigits[power];
}

// The term of c_k in the equation: " x", " x²", ...
std::string PowerOfX(std::size_t k)
{
    if (k == 0) return "";
    if (k == 1) return " x";
    return std::string(" x") + Superscript(static_cast<int>(k));
}

// The band into the picture, titled by its level.
void SetBand(fitcore::ConfidenceBand band, PictureOptions* picture)
{
    picture->band.x = std::move(band.x);
    picture->band.low = std::move(band.low);
    picture->band.high = std::move(band.high);
    picture->band.title = General(band.level * 100, 6) + "% confidence band";
}

// How many evenly spaced x the band is worked out at, besides the data's own.
constexpr std::size_t kBandSamples = 400;

// The x the band of the points is worked out at.
std::vector<double> BandAbscissae(const Point* points, int32_t count)
{
    std::vector<double> x;
    for (int32_t i = 0; i < count; ++i) x.push_back(points[i].x);
    return fitcore::band_abscissae(x, kBandSamples);
}

}  // namespace

std::string ValueWithError(double value, double error)
{
    if (!std::isfinite(value) || !(error > 0) || !std::isfinite(error))
        return "(" + General(value, 6) + " ± " + General(error, 2) + ")";
    // The place of the error's second significant digit, and the value's first.
    const int place = static_cast<int>(std::floor(std::log10(error))) - 1;
    const double larger = std::max(std::fabs(value), error);
    const int exponent = static_cast<int>(std::floor(std::log10(larger)));
    if (exponent <= 5 && place >= -6) {
        const int decimals = place < 0 ? -place : 0;
        return "(" + Fixed(value, decimals) + " ± " + Fixed(error, decimals) + ")";
    }
    const double unit = std::pow(10.0, exponent);
    const int decimals = std::max(exponent - place, 0);
    char power[16];
    std::snprintf(power, sizeof power, "e%+03d", exponent);
    return "(" + Fixed(value / unit, decimals) + " ± " + Fixed(error / unit, decimals) + ")" + power;
}

std::string EquationText(const fitcore::FitInference& inference)
{
    std::string text = "y =";
    for (std::size_t k = 0; k < inference.parameters.size(); ++k) {
        const fitcore::ParameterInference& parameter = inference.parameters[k];
        const char* joint = k == 0 ? " " : k % kTermsPerLine == 0 ? "\n    + " : " + ";
        text += joint + ValueWithError(parameter.estimate, parameter.error) + PowerOfX(k);
    }
    // After a full line of terms the quality takes a line of its own.
    const bool full_line = inference.parameters.size() % kTermsPerLine == 0;
    text += full_line ? "\n    " : ", ";
    if (inference.weighted) return text + "χ²/ndf = " + General(inference.reduced_chi2, 4);
    return text + "R² = " + General(inference.r_squared, 6);
}

bool AddFitDetails(const CommandLine& command, const Point* points, int32_t count, int order,
                   PictureOptions* picture, std::string* reason)
{
    if (command.band_level == 0 && !command.equation) return true;
    if (order < 1) {
        *reason = "the band and the equation are those of a line or a polynomial";
        return false;
    }
    const std::span<const Point> data(points, count > 0 ? static_cast<std::size_t>(count) : 0);
    const fitcore::PolynomialFit fit = fitcore::fit_polynomial(data, order, command.weighted);
    if (!fit.ok) {
        *reason = "the fit for the " + std::string(command.band_level != 0 ? "band" : "equation") +
                  " could not be made: " + fit.error;
        return false;
    }
    if (command.equation) picture->curve_title = EquationText(fitcore::infer(fit));
    if (command.band_level != 0)
        SetBand(fitcore::confidence_band(fit, BandAbscissae(points, count), command.band_level), picture);
    return true;
}

std::string ModelEquationText(const fitcore::Formula& formula, const fitcore::ModelFit& fit)
{
    std::string text = formula.text();
    for (std::size_t k = 0; k < fit.parameters.size(); ++k) {
        const fitcore::ModelParameter& parameter = fit.parameters[k];
        // The formula is the line's first term.
        text += (k + 1) % kTermsPerLine == 0 ? ",\n    " : ", ";
        text += parameter.name + " = " +
                (parameter.fixed ? General(parameter.value, 6) + " (fixed)"
                                 : ValueWithError(parameter.value, parameter.error));
    }
    if (fit.weighted) return text + ", χ²/ndf = " + General(fit.reduced_chi2, 4);
    return text + ", R² = " + General(fit.r_squared, 6);
}

bool AddModelDetails(const CommandLine& command, const fitcore::Formula& formula, const fitcore::ModelFit& fit,
                     const Point* points, int32_t count, PictureOptions* picture, std::string* reason)
{
    if (command.equation) picture->curve_title = ModelEquationText(formula, fit);
    if (command.band_level == 0) return true;
    fitcore::ConfidenceBand band = fitcore::model_band(formula, fit, BandAbscissae(points, count), command.band_level);
    if (!band.ok) {
        *reason = "the band could not be worked out: " + band.error;
        return false;
    }
    SetBand(std::move(band), picture);
    return true;
}
