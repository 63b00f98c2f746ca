// polynomial_report.cpp - cadrafit's order prompt and its report.
#include "polynomial_report.h"

#include <cctype>
#include <cstdio>

#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>
#include <fitcore/whole_number.h>

#include "exponential_text.h"
#include "console_io.h"
#include "fit_shell.h"  // kFileNameSize

namespace {

enum class NumberInput { Number, NotANumber, Ended, LineTooLong };

// The most characters a line of answers may hold, as at the file name prompt.
constexpr size_t kMaxAnswerLine = kFileNameSize - 1;

// Standard input read character by character, counting those of the current
// line: input without a line end can't keep the prompt reading for ever.
class AnswerLine {
public:
    int Get()
    {
        const int c = std::getchar();
        length_ = c == '\n' ? 0 : length_ + 1;
        return c;
    }
    void Unget(int c) { length_ = c == '\n' ? 0 : length_ - 1; }
    bool TooLong() const { return length_ > kMaxAnswerLine; }

private:
    size_t length_ = 0;
};

// Reads a whole number from standard input as "%d" does: white space, an
// optional sign, decimal digits; the character after the digits stays
// unread for later reads. A value beyond the range of int is clamped to
// INT_MIN or INT_MAX rather than overflowing. Anything else that starts a
// word is discarded with the rest of its line. A line longer than
// kMaxAnswerLine characters ends the reading; `line` counts across reads.
NumberInput ReadWholeNumber(AnswerLine& line, int* value)
{
    int c = line.Get();
    while (c != EOF && std::isspace(c) && !line.TooLong()) c = line.Get();
    if (c == EOF) return NumberInput::Ended;

    fitcore::WholeNumberReader number;
    while (!line.TooLong() && number.Take(c)) c = line.Get();
    if (line.TooLong()) return NumberInput::LineTooLong;
    if (number.status() == fitcore::WholeNumberStatus::NoNumber) {
        while (c != '\n' && c != EOF && !line.TooLong()) c = line.Get();
        return line.TooLong() ? NumberInput::LineTooLong : NumberInput::NotANumber;
    }
    if (c != EOF) {
        std::ungetc(c, stdin);
        line.Unget(c);
    }
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
    if (!out.Flush()) NoteFailedWrite(out.error());
}

}  // namespace

int ReadPolynomialOrder(int* order)
{
    int value = 0;
    AnswerLine line;
    while (value < fitcore::kMinPolynomialOrder || value > fitcore::kMaxPolynomialOrder) {
        std::printf("Please enter number of coefficients for fit: ");
        std::fflush(stdout);
        const NumberInput input = ReadWholeNumber(line, &value);
        if (input == NumberInput::Ended) {
            std::printf("\nNo order entered: standard input has ended.\n");
            return 1;
        }
        if (input == NumberInput::LineTooLong) {
            std::printf("\nNo order entered: a line of more than %zu characters.\n", kMaxAnswerLine);
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
