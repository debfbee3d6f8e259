#pragma once

#include <cstddef>

namespace auralyn::analysis {

// The sweep's start is searched on a grid of lags before it is refined
// (sweep_origin.h): Z(s) = sum over tones of w exp(i (phase + 2 pi nu s)) at
// every lag s. Each tone enters as its terms at the grid's first four lags
// and its turn over four lags, so that four lags advance with one complex
// product.
inline constexpr std::size_t kGridLanes = 4;

struct GridTone {
    double re[kGridLanes] = {};
    double im[kGridLanes] = {};
    double turnRe = 1.0;
    double turnIm = 0.0;
};

// Z on `chunks` * kGridLanes lags into re and im (each that long), the
// tones' terms added at every lag in their order. Where the processor has
// AVX2, four lags go to an instruction, else two: the same products and sums
// in the same order, so the same bits on either.
void sumGridTones(const GridTone* tones, std::size_t count, std::size_t chunks, double* re, double* im);

}  // namespace auralyn::analysis
