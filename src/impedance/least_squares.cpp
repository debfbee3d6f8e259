#include "impedance/least_squares.h"

#include <algorithm>
#include <cmath>

namespace auralyn::impedance {
namespace {

double sumOfSquares(const std::vector<double>& r) {
    double sum = 0.0;
    for (double v : r) sum += v * v;
    return sum;
}

bool allFinite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

bool evaluate(const ResidualFunction& f, const std::vector<double>& p, std::vector<double>& r) {
    return f(p, r) && allFinite(r);
}

// Central differences, column by column (row-major m x n).
bool jacobianAt(const ResidualFunction& f, const std::vector<double>& p, std::size_t m, std::vector<double>& jacobian) {
    const std::size_t n = p.size();
    jacobian.assign(m * n, 0.0);
    std::vector<double> up(m);
    std::vector<double> down(m);
    for (std::size_t j = 0; j < n; ++j) {
        const double step = 1e-6 * std::max(1.0, std::abs(p[j]));
        std::vector<double> q = p;
        q[j] = p[j] + step;
        if (!evaluate(f, q, up) || up.size() != m) return false;
        q[j] = p[j] - step;
        if (!evaluate(f, q, down) || down.size() != m) return false;
        for (std::size_t i = 0; i < m; ++i) jacobian[i * n + j] = (up[i] - down[i]) / (2.0 * step);
    }
    return true;
}

void normalEquations(const std::vector<double>& jacobian, const std::vector<double>& r, std::size_t m, std::size_t n,
                     std::vector<double>& jtj, std::vector<double>& jtr) {
    jtj.assign(n * n, 0.0);
    jtr.assign(n, 0.0);
    for (std::size_t i = 0; i < m; ++i) {
        const double* row = &jacobian[i * n];
        for (std::size_t a = 0; a < n; ++a) {
            jtr[a] += row[a] * r[i];
            for (std::size_t b = 0; b < n; ++b) jtj[a * n + b] += row[a] * row[b];
        }
    }
}

bool inverseOf(const std::vector<double>& a, std::size_t n, std::vector<double>& inverse) {
    inverse.assign(n * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        std::vector<double> column(n, 0.0);
        column[j] = 1.0;
        if (!solveSymmetric(a, column, n)) return false;
        for (std::size_t i = 0; i < n; ++i) inverse[i * n + j] = column[i];
    }
    return true;
}

}  // namespace

bool solveSymmetric(std::vector<double> a, std::vector<double>& b, std::size_t n) {
    for (std::size_t j = 0; j < n; ++j) {
        double diagonal = a[j * n + j];
        for (std::size_t k = 0; k < j; ++k) diagonal -= a[j * n + k] * a[j * n + k];
        if (!(diagonal > 1e-300)) return false;
        const double root = std::sqrt(diagonal);
        a[j * n + j] = root;
        for (std::size_t i = j + 1; i < n; ++i) {
            double value = a[i * n + j];
            for (std::size_t k = 0; k < j; ++k) value -= a[i * n + k] * a[j * n + k];
            a[i * n + j] = value / root;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < i; ++k) b[i] -= a[i * n + k] * b[k];
        b[i] /= a[i * n + i];
    }
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t k = i + 1; k < n; ++k) b[i] -= a[k * n + i] * b[k];
        b[i] /= a[i * n + i];
    }
    return std::all_of(b.begin(), b.end(), [](double v) { return std::isfinite(v); });
}

LeastSquaresFit fitLeastSquares(const ResidualFunction& f, std::vector<double> p, int maxIterations) {
    LeastSquaresFit fit;
    const std::size_t n = p.size();
    std::vector<double> r;
    if (!evaluate(f, p, r) || r.size() <= n) {
        fit.failure = r.size() <= n ? "fewer measurements than parameters" : "the model cannot be evaluated at the start";
        return fit;
    }
    const std::size_t m = r.size();
    double chi2 = sumOfSquares(r);
    double lambda = 1e-3;
    std::vector<double> jacobian, jtj, jtr, trial(m);
    for (int iteration = 0; iteration < maxIterations && !fit.converged; ++iteration) {
        fit.iterations = iteration + 1;
        if (!jacobianAt(f, p, m, jacobian)) break;
        normalEquations(jacobian, r, m, n, jtj, jtr);
        bool improved = false;
        while (!improved && lambda < 1e12) {
            std::vector<double> damped = jtj;
            for (std::size_t j = 0; j < n; ++j) damped[j * n + j] += lambda * std::max(jtj[j * n + j], 1e-12);
            std::vector<double> step = jtr;
            std::vector<double> q = p;
            if (solveSymmetric(damped, step, n)) {
                for (std::size_t j = 0; j < n; ++j) q[j] -= step[j];
                const double candidate = evaluate(f, q, trial) ? sumOfSquares(trial) : INFINITY;
                if (candidate <= chi2) {
                    // Converged when a step no longer changes chi-square or the parameters measurably.
                    const double stepSize = std::sqrt(sumOfSquares(step));
                    fit.converged = chi2 - candidate <= 1e-10 * (1.0 + chi2) || stepSize < 1e-10;
                    p = q;
                    r = trial;
                    chi2 = candidate;
                    lambda = std::max(lambda / 10.0, 1e-12);
                    improved = true;
                    continue;
                }
            }
            lambda *= 10.0;
        }
        if (!improved) fit.converged = lambda >= 1e12 && chi2 < INFINITY;  // no step helps: at the minimum
    }
    fit.parameters = p;
    fit.chiSquare = chi2;
    fit.residualCount = m;
    if (!fit.converged) {
        fit.failure = "the fit did not converge";
        return fit;
    }
    if (!jacobianAt(f, p, m, jacobian)) {
        fit.converged = false;
        fit.failure = "the model cannot be evaluated at the fit";
        return fit;
    }
    normalEquations(jacobian, r, m, n, jtj, jtr);
    if (!inverseOf(jtj, n, fit.covariance)) {
        fit.converged = false;
        fit.failure = "the parameters cannot be told apart by these tones";
    }
    return fit;
}

}  // namespace auralyn::impedance
