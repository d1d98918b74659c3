// How far a series of clock readings strays from a steady clock: the
// least-squares line through (time, position) and each reading's distance
// from it.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

struct LineFit {
    double slope = 0;
    double offset = 0;

    double distance(double x, double y) const { return std::fabs(y - (offset + slope * x)); }
};

inline LineFit fit_line(const std::vector<double>& x, const std::vector<double>& y)
{
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    LineFit fit;
    fit.slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    fit.offset = (sy - fit.slope * sx) / n;
    return fit;
}
