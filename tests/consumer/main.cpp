// fit_example - loads the data file named by the first argument with the
// installed fitcore library, fits a line and a cubic to its points (weighted
// by their uncertainties when the file has them) and plots them.
#include <cstdio>
#include <vector>

#include <fitcore/fit.h>
#include <fitcore/handles.h>
#include <fitcore/plot.h>

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    fitcore::PCPFileHandle file = fitcore::load_data_file(argv[1]);  // PCP, or CSV for *.csv
    if (!file) return 1;                     // load_data_file has said why
    std::vector<double> x, y, sigma;
    for (const Point& point : fitcore::points_of(*file)) {
        x.push_back(point.x);
        y.push_back(point.y);
        sigma.push_back(point.sigma);
    }
    fitcore::LineFit line = file->has_sigma ? fitcore::fit_line(x, y, sigma) : fitcore::fit_line(x, y);
    if (!line.ok) {
        std::fprintf(stderr, "no line: %s\n", line.error.c_str());
        return 1;
    }
    std::printf("slope %g +- %g, intercept %g +- %g, r^2 %.4f\n", line.slope, line.slope_error,
                line.intercept, line.intercept_error, line.r_squared);

    fitcore::PolynomialFit cubic = fitcore::fit_polynomial(x, y, 3);
    for (size_t k = 0; cubic.ok && k < cubic.coefficients.size(); ++k)
        std::printf("c%zu = %g +- %g\n", k, cubic.coefficients[k], cubic.coefficient_errors[k]);

    fitcore::Plot plot;                      // gnuplot, through pgnuplot.exe on PATH
    plot.xy(x, y, "points");
    char curve[128];
    std::snprintf(curve, sizeof curve, "replot %.17g*x+%.17g title 'line' with lines", line.slope,
                  line.intercept);
    plot.command(curve);
    std::getchar();                          // the plot stays while the program waits
}                                            // gnuplot is closed, its data file deleted
