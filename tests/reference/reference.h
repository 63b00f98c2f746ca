// reference.h - the straightforward versions of the hot loops: printf and
// fscanf per number, one pass with pow per normal-matrix entry. The tests
// hold the fast paths to these, and the benchmarks measure against them.
#pragma once

#include <cstdint>
#include <string>

#include <fitcore/linefit.h>
#include "line_report.h"
#include <fitcore/pcpfile.h>
#include <fitcore/point.h>
#include <fitcore/polyfit.h>
#include "polynomial_report.h"

// "%.<p>g" of the value with the least p from 6 up whose text strtod reads
// back as the value: the numbers of the data files, by snprintf and strtod.
std::string PrintfExactGeneral(double value);

// PrintLineReport with one printf per line, table rows included.
void ReferencePrintLineReport(const LineStatistics& stats, const Point* points, int32_t count);

// LoadPCPFile with fscanf per number: header fields with "%ld" (a value
// outside 32 bits gives 2, text that is no number 1), points with "%lg"; a
// point that does not convert in full ends reading with the warning. Same
// results and messages.
int ReferenceLoadPCPFile(const char* path, PCPFile* file);

// SavePCPFile with one fprintf per line.
int ReferenceSavePCPFile(const char* path, const PCPFile* file);

// The normal equations of a polynomial of `order`: a is (order+1)^2 row-major
// with a(i,j) = sum of pow(x, i+j), b(i) = sum of pow(x, i) * y, every entry
// in its own pass over the points in array order.
void ReferenceNormalEquations(const Point* points, int32_t count, int order, double* a, double* b);

// FitPolynomial with every normal-matrix entry in its own pass: those of
// ReferenceNormalEquations where the fit is worked in x, else one pass per
// power of the centred variable. 0, or 1 when the solver refuses them
// (*polynomial and the points untouched).
int ReferenceFitPolynomial(Point* points, int32_t count, int order, fitcore::Polynomial* polynomial);

// PrintPolynomialReport with one printf per line, table rows included.
void ReferencePrintPolynomialReport(const fitcore::Polynomial& polynomial, double rms, const Point* points,
                                    int32_t count);
