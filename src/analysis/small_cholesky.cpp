#include "analysis/small_cholesky.h"

#include <cmath>

namespace auralyn::analysis {

bool choleskyFactor(SquareMatrix& g, int n, double relativeFloor) {
    for (int j = 0; j < n; ++j) {
        double pivot = g[j][j];
        for (int k = 0; k < j; ++k) pivot -= g[j][k] * g[j][k];
        if (!(pivot > relativeFloor * g[j][j])) return false;
        const double root = std::sqrt(pivot);
        g[j][j] = root;
        for (int i = j + 1; i < n; ++i) {
            double sum = g[i][j];
            for (int k = 0; k < j; ++k) sum -= g[i][k] * g[j][k];
            g[i][j] = sum / root;
        }
    }
    return true;
}

void choleskySolve(const SquareMatrix& l, int n, Vector& b) { choleskySolveFrom(l, n, 0, b); }

namespace {

// L y = b for a b that is zero before `first`: so is y, and the terms skipped are exact zeros.
void forwardFrom(const SquareMatrix& l, int n, int first, Vector& b) {
    for (int i = first; i < n; ++i) {
        double sum = b[i];
        for (int k = first; k < i; ++k) sum -= l[i][k] * b[k];
        b[i] = sum / l[i][i];
    }
}

// L^T x = y for the entries from the last down to `stop`.
void backwardDownTo(const SquareMatrix& l, int n, int stop, Vector& b) {
    for (int i = n - 1; i >= stop; --i) {
        double sum = b[i];
        for (int k = i + 1; k < n; ++k) sum -= l[k][i] * b[k];
        b[i] = sum / l[i][i];
    }
}

}  // namespace

void choleskySolveFrom(const SquareMatrix& l, int n, int first, Vector& b) {
    forwardFrom(l, n, first, b);
    backwardDownTo(l, n, 0, b);
}

void choleskySolveTail(const SquareMatrix& l, int n, int first, Vector& b) {
    forwardFrom(l, n, first, b);
    backwardDownTo(l, n, first, b);
}

}  // namespace auralyn::analysis
