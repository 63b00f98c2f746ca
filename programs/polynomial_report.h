// polynomial_report.h - cadrafit's order prompt and its report.
#pragma once

#include <cstdint>

#include <fitcore/point.h>
#include <fitcore/polyfit.h>

// Prints "Please enter number of coefficients for fit: " and reads a whole
// number from standard input until one from 2 to 9 arrives; the number is
// the order. Input that is not a number is discarded up to the end of its
// line. Returns 0 with *order set, the rest of the answered line left unread
// (NoteAnsweredPrompt); 1 after a message when input has ended.
int ReadPolynomialOrder(int* order);

// Writes the order, the rms error, the table of points and the coefficients
// to standard output.
void PrintPolynomialReport(const fitcore::Polynomial& polynomial, double rms, const Point* points,
                           int32_t count);
