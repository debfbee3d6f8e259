#pragma once

#include <optional>
#include <string>
#include <vector>

namespace auralyn::plot {

// One tone of an impedance curve, with the half-widths of its 95 % intervals
// (0: none).
struct ImpedanceSample {
    double frequency = 0.0;   // Hz
    double ohms = 0.0;        // |Z|; not above 0: the tone is not drawn
    double degrees = 0.0;     // the phase of Z
    double ohmsU95 = 0.0;     // ohms
    double degreesU95 = 0.0;  // degrees
};

struct ImpedanceTrace {
    std::string label;
    std::vector<ImpedanceSample> samples;
    bool model = false;  // a fitted model: a thin dashed line without markers or band
};

// An SVG of |Z| on a logarithmic axis in ohms above the phase in degrees,
// on a shared logarithmic frequency axis; every measured trace in its own
// colour with its 95 % band (classes "impedance-band", "phase-band"), every
// model drawn over them. Measured tones are circles of class
// "impedance-point" and "phase-point".
struct ImpedancePlot {
    std::string title;
    std::string note;
    std::vector<ImpedanceTrace> traces;
};

std::string renderImpedancePlot(const ImpedancePlot& plot);

// Grid values of a logarithmic ohm axis: 1, 2 and 5 times powers of ten
// between `low` and `high`.
std::vector<double> ohmGrid(double low, double high);

}  // namespace auralyn::plot
