#include "analysis/sinusoid_gram.h"

#include <array>
#include <cmath>
#include <complex>

#include "clock/progression_sum.h"

namespace auralyn::analysis {

void sinusoidGram(std::size_t count, double t0, double w, int harmonics, SquareMatrix& gram) {
    std::array<std::complex<double>, 2 * kMaxParameters> d{};
    for (int m = 0; m <= 2 * harmonics; ++m) d[m] = clock::progressionSum(count, t0, w * m);
    // sum cos(j.) cos(k.) = (Re D(j-k) + Re D(j+k)) / 2, and so on; D(-m) = conj D(m).
    auto difference = [&](int j, int k) { return j >= k ? d[j - k] : std::conj(d[k - j]); };
    gram[0][0] = static_cast<double>(count);
    for (int k = 1; k <= harmonics; ++k) {
        const int c = 2 * k - 1;
        const int s = 2 * k;
        gram[0][c] = gram[c][0] = d[k].real();
        gram[0][s] = gram[s][0] = d[k].imag();
        for (int j = 1; j <= harmonics; ++j) {
            const int cj = 2 * j - 1;
            const int sj = 2 * j;
            const std::complex<double> minus = difference(j, k);
            const std::complex<double> plus = d[j + k];
            gram[cj][c] = 0.5 * (minus.real() + plus.real());
            gram[sj][s] = 0.5 * (minus.real() - plus.real());
            gram[cj][s] = 0.5 * (plus.imag() - minus.imag());  // sum cos(j.) sin(k.)
        }
    }
    for (int j = 1; j <= harmonics; ++j) {
        for (int k = 1; k <= harmonics; ++k) gram[2 * k][2 * j - 1] = gram[2 * j - 1][2 * k];
    }
}

}  // namespace auralyn::analysis
