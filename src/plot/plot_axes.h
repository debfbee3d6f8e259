#pragma once

#include <string>
#include <vector>

namespace auralyn::plot {

// A logarithmic frequency axis whose ends are 1, 2 or 5 times a power of ten.
struct LogAxis {
    double low = 1.0;
    double high = 10.0;
};

LogAxis logAxisFor(double minimum, double maximum);

struct FrequencyTick {
    double frequency = 0.0;
    bool decade = false;   // 1, 10, 100 ...: a heavier line
    bool labelled = false;
};

// Lines at 1..9 times every power of ten inside the axis; decades are always
// labelled, 2 and 5 too when the axis is short enough to hold their labels.
std::vector<FrequencyTick> frequencyTicks(const LogAxis& axis);

// "20", "500", "1k", "2.5k", "10k".
std::string frequencyLabel(double frequency);

// A value axis from `low` to `high` with grid lines every `step`.
struct LinearAxis {
    double low = 0.0;
    double high = 1.0;
    double step = 1.0;
};

// Grid steps of 1, 2 and 5 times a power of ten; phase axes prefer 15, 30, 45,
// 90 and 180 degrees. The axis spans at least `minimumSpan`, centred on the data.
LinearAxis linearAxisFor(double minimum, double maximum, double minimumSpan, bool degrees);

}  // namespace auralyn::plot
