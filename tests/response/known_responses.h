#pragma once

#include <complex>
#include <functional>
#include <vector>

#include "response/response.h"

namespace auralyn::response::test {

// Tones at 1 kHz·2^(k/perOctave) from low to high.
std::vector<double> logTones(int perOctave, double low = 20.0, double high = 20000.0);

// The response of a system given as a function of frequency (Hz) at the
// tones, phases made continuous.
Response sampled(const std::vector<double>& frequencies, const std::function<std::complex<double>(double)>& h);

// Analogue second-order sections, s = j·f/f0 normalised.
std::complex<double> analogHighpass(double f, double f0, double q);
std::complex<double> analogLowpass(double f, double f0, double q);
std::complex<double> analogAllpass(double f, double f0, double q);
// The exact group delay of analogAllpass, seconds.
double analogAllpassDelay(double f, double f0, double q);

}  // namespace auralyn::response::test
