#pragma once

#include <vector>

#include "response/response.h"

namespace auralyn::response {

// An angle in degrees brought into (-180, 180].
double wrapDegrees(double degrees);

// Phases (radians) made continuous: each step between neighbours is taken
// as the one of its 2π alternatives that is smallest in size.
std::vector<double> unwrapRadians(std::vector<double> phases);

// The group delay -dφ/dω in seconds at each frequency, from a continuous
// phase (radians). Inside the curve it is the three-point derivative for
// uneven spacing (exact for a parabola through the tone and its two
// neighbours, so second-order accurate whatever the steps); at the ends the
// one-sided difference.
std::vector<double> groupDelay(const std::vector<double>& frequencies, const std::vector<double>& phases);
std::vector<double> groupDelay(const Response& response);

// The response with a pure delay of `seconds` taken out: each phase turned
// by +2π f·seconds (a positive delay lags the phase). Adds to delayRemoved.
Response removeDelay(Response response, double seconds);

}  // namespace auralyn::response
