// model_columns.cpp - the data of a model fit, from arrays of their own or
// from rows of values.
#include <fitcore/model.h>

namespace fitcore {

ModelColumns::ModelColumns(const std::vector<std::span<const double>>& x_columns, std::span<const double> y_column,
                           std::span<const double> sigma_column)
    : count(y_column.size()), y{y_column.data(), 1}
{
    for (std::span<const double> column : x_columns) {
        x.push_back({column.data(), 1});
        same_lengths = same_lengths && column.size() == count;
    }
    if (!sigma_column.empty()) {
        sigma = {sigma_column.data(), 1};
        same_lengths = same_lengths && sigma_column.size() == count;
    }
}

ModelColumns model_columns_of_rows(const double* values, std::size_t rows, std::size_t width,
                                   std::size_t predictors, bool with_sigma)
{
    ModelColumns columns;
    columns.count = rows;
    for (std::size_t k = 0; k < predictors; ++k) columns.x.push_back({values + k, width});
    columns.y = {values + predictors, width};
    if (with_sigma) columns.sigma = {values + predictors + 1, width};
    return columns;
}

}  // namespace fitcore
