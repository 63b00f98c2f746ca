// point.h - one measured data point and the values the fits write into it.
#pragma once

struct Point {
    double x;
    double y;
    double sigma;   // uncertainty of y; 0 when the file has no third column
    double fit;     // fitted value of y at x, written by the fit programs
    double weight;  // normalised weight, written by the weighted linear fit
};
