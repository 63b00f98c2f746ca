// polynomial_report.cpp - cadrafit's order prompt and its report.
#include "polynomial_report.h"

#include <cctype>
#include <cstdio>

#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>
#include <fitcore/whole_number.h>

#include "exponential_text.h"
#include "console_io.h"

namespace {

enum class NumberInput { Number, NotANumber, Ended };

// Consumes characters up to and including the end of the current line.
void DiscardLine(int c)
{
    while (c != '\n' && c != EOF) c = std::getchar();
}

// Reads a whole number from standard input as "%d" does: white space, an
// optional sign, decimal digits; the character after the digits stays
// unread for later reads. A value beyond the range of int is clamped to
// INT_MIN or INT_MAX rather than overflowing. Anything else that starts a
// word is discarded with the rest of its line.
NumberInput ReadWholeNumber(int* value)
{
    int c = std::getchar();
    while (c != EOF && std::isspace(c)) c = std::getchar();
    if (c == EOF) return NumberInput::Ended;

    fitcore::WholeNumberReader number;
    while (number.Take(c)) c = std::getchar();
    if (number.status() == fitcore::WholeNumberStatus::NoNumber) {
        DiscardLine(c);
        return NumberInput::NotANumber;
    }
    if (c != EOF) std::ungetc(c, stdin);
    *value = number.value();
    return NumberInput::Number;
}

// The table rows "%4d %15.5e %15.5e %15.5e %15.3e %15.3e\n": number, x, y,
// fit, y - fit and (y - fit) / rms. Written through a large buffer, on two
// threads for long tables.
void PrintPolynomialTable(double rms, const Point* points, int32_t count)
{
    auto format_row = [rms, points](char* out, size_t row) {
        const Point& point = points[row];
        const double residual = point.y - point.fit;
        out = fitcore::AppendInteger(out, static_cast<int64_t>(row) + 1, 4);
        for (double value : {point.x, point.y, point.fit}) {
            *out++ = ' ';
            out = fitcore::AppendExponential(out, value, 5, 15);
        }
        for (double value : {residual, residual / rms}) {
            *out++ = ' ';
            out = fitcore::AppendExponential(out, value, 3, 15);
        }
        *out++ = '\n';
        return out;
    };
    constexpr size_t kMaxRow = fitcore::MaxIntegerLength(4) + 5 * (1 + fitcore::MaxExponentialLength(5, 15)) + 1;
    fitcore::OutputBuffer out(stdout);
    fitcore::AppendRows(out, count > 0 ? static_cast<size_t>(count) : 0, kMaxRow, format_row);
}

}  // namespace

int ReadPolynomialOrder(int* order)
{
    int value = 0;
    while (value < fitcore::kMinPolynomialOrder || value > fitcore::kMaxPolynomialOrder) {
        std::printf("Please enter number of coefficients for fit: ");
        std::fflush(stdout);
        if (ReadWholeNumber(&value) == NumberInput::Ended) {
            std::printf("\nNo order entered: standard input has ended.\n");
            return 1;
        }
    }
    NoteAnsweredPrompt();
    *order = value;
    return 0;
}

void PrintPolynomialReport(const fitcore::Polynomial& polynomial, double rms, const Point* points,
                           int32_t count)
{
    std::printf("\nFit for polynomial of order %d\n", polynomial.order);
    std::printf("The rms error of this fit is%s\n\n", ExponentialText(rms).c_str());
    std::printf(" Point       x              y              fit             y-fit          (y-fit)/rms\n");
    // No test of rms: an exact fit divides by 0 and prints infinities or NaN.
    PrintPolynomialTable(rms, points, count);
    std::printf("\nPolynomial Coefficients:\n");
    for (int k = 0; k <= polynomial.order; ++k)
        std::printf("%4d %s\n", k, ExponentialText(polynomial.coefficients[k], 6, 15).c_str());
    std::printf("\n");
}
