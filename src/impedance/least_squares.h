#pragma once

#include <functional>
#include <string>
#include <vector>

namespace auralyn::impedance {

// Weighted residuals (already divided by their standard deviations) of a
// model at the parameters; false where the model cannot be evaluated.
using ResidualFunction = std::function<bool(const std::vector<double>& parameters, std::vector<double>& residuals)>;

struct LeastSquaresFit {
    std::vector<double> parameters;
    std::vector<double> covariance;  // n x n, row-major: (J^T J)^-1 at the minimum
    double chiSquare = 0.0;          // sum of squared weighted residuals
    std::size_t residualCount = 0;
    int iterations = 0;
    bool converged = false;
    std::string failure;             // why not, when not
};

// Levenberg-Marquardt (Marquardt 1963, with the diagonal scaling of
// Moré 1978) on a numerically differentiated Jacobian: the standard method
// for small nonlinear weighted least-squares problems, robust far from the
// minimum and Gauss-Newton fast near it. The covariance of the parameters is
// that of the linearised problem at the minimum, exact to first order when
// the weights are the inverse variances.
LeastSquaresFit fitLeastSquares(const ResidualFunction& residuals, std::vector<double> start, int maxIterations = 200);

// Solves the symmetric positive definite system A x = b (n x n, row-major)
// by Cholesky; false when A is singular to working precision.
bool solveSymmetric(std::vector<double> a, std::vector<double>& b, std::size_t n);

}  // namespace auralyn::impedance
