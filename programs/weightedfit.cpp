// weightedfit.cpp - error statistics of the least-squares line weighted by each point's sigma.
#include "weightedfit.h"

// The running sums are carried in long double; every stored value is a double.

void WeightPoints(Point* points, int32_t count)
{
    long double s = 0;
    for (int32_t i = 0; i < count; ++i) {
        long double sigma = points[i].sigma;
        s += 1 / (sigma * sigma);
    }
    for (int32_t i = 0; i < count; ++i) {
        long double sigma = points[i].sigma;
        points[i].weight = static_cast<double>(1 / (sigma * sigma * s));
    }
}

LineStatistics ComputeWeightedLineStatistics(const Point* points, int32_t count, double slope,
                                             double intercept)
{
    return LineStatisticsAboutMeans(points, count, slope, intercept, true);
}
