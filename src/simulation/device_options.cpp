#include "simulation/device_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "platform/printed.h"

namespace auralyn::simulation {

const char* const kUsage =
    "Usage: auralyn simulate IN.wav OUT.wav [DEVICE...]\n"
    "       auralyn simulate --response FREQ... [--rate HZ] [DEVICE...]\n"
    "       auralyn simulate --response-for REPORT.txt [DEVICE...]\n"
    "\n"
    "Plays a 16-bit mono WAV file through a simulated device and writes what a\n"
    "recorder would capture, as a 16-bit mono WAV file at the same rate. The\n"
    "device is made of these parts, applied in the order given:\n"
    "  --gain DB              gain in dB\n"
    "  --lowpass F Q          second-order low-pass at F Hz\n"
    "  --highpass F Q         second-order high-pass\n"
    "  --bandpass F Q         band-pass, 0 dB at F\n"
    "  --notch F Q            notch\n"
    "  --peak F Q DB          peaking EQ, DB at F\n"
    "  --lowshelf F Q DB      low shelf, DB below F\n"
    "  --highshelf F Q DB     high shelf, DB above F\n"
    "  --allpass F Q          all-pass, -180 degrees at F\n"
    "  --delay N              delay of N whole samples (the output grows by N)\n"
    "  --noise DBFS SEED      white Gaussian noise, RMS relative to a full-scale sine\n"
    "  --clock PPM            the recorder's clock runs PPM parts per million fast\n"
    "                         (the output is 1 + PPM/1e6 times as long)\n"
    "  --invert               polarity flip\n"
    "  --polynomial A2 A3 ... memoryless y = x + A2 x^2 + A3 x^3 + ..., x the sample\n"
    "                         over full scale (32767)\n"
    "  --clip LEVEL_DB        hard clip at LEVEL_DB (0 or below) relative to full scale\n"
    "Filters follow the audio EQ cookbook; F must lie below half the sampling rate.\n"
    "Output samples are rounded half away from zero; samples beyond full scale are\n"
    "clipped and counted in a warning.\n"
    "\n"
    "\n"
    "A loudspeaker driver measured through a sense resistor in series:\n"
    "  --driver \"Re=6.2 Le=0.45mH fs=38 Qms=3.1 Qes=0.42\"\n"
    "                         the driver (Re ohm, Le H/mH/uH, fs Hz; optional\n"
    "                         L2 and R2: the coil's eddy-current loss)\n"
    "  --sense-resistor OHMS  the resistor between the output and the driver\n"
    "  --sd CM2 --vas L       the cone's area and the driver's Vas, for:\n"
    "  --added-mass G         a mass on the cone, or\n"
    "  --box-litres L         a closed box\n"
    "With --driver the output has two channels: 1 the driver's voltage, 2 the\n"
    "drive (the input), both through the other parts (each channel's noise with\n"
    "its own seed) and both about 5.5 s later (the exact filter's delay);\n"
    "--response prints channel 1 over channel 2 at each frequency.\n"
    "\n"
    "--response prints the device's exact response at each frequency (at --rate,\n"
    "default 48000 Hz); --response-for prints it for every tone of a measurement\n"
    "report, at the report's sampling rate. Lines: frequency (Hz), magnitude (dB),\n"
    "phase (deg, -180 to 180). Noise and clock error have no response; the\n"
    "polynomial and the clip count there as 1 (they add harmonics instead).\n";

namespace {

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(value);
}

bool parseWhole(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (result > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

// Walks the arguments; every taker reports its own error text.
class ArgumentCursor {
public:
    ArgumentCursor(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

    bool done() const { return next_ >= args_.size(); }
    const std::string& take() { return args_[next_++]; }
    bool nextIsNumber() const {
        double ignored = 0.0;
        return !done() && parseNumber(args_[next_], ignored);
    }

    bool number(const std::string& option, const char* what, double low, double high, double& value) {
        if (done()) return fail(option + ": missing " + what);
        const std::string& text = take();
        if (!parseNumber(text, value)) return fail(option + ": '" + text + "' is not a number (" + what + ")");
        if (value < low || value > high)
            return fail(option + ": " + what + " " + text + " lies outside " + shortNumber(low) + " to " +
                        shortNumber(high));
        return true;
    }

    bool positive(const std::string& option, const char* what, double& value) {
        if (!number(option, what, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), value))
            return false;
        if (value <= 0.0) return fail(option + ": " + what + " must be above 0");
        return true;
    }

    bool whole(const std::string& option, const char* what, std::uint64_t high, std::uint64_t& value) {
        if (done()) return fail(option + ": missing " + what);
        const std::string& text = take();
        if (!parseWhole(text, value)) return fail(option + ": '" + text + "' is not a whole number (" + what + ")");
        if (value > high) return fail(option + ": " + what + " " + text + " is above " + std::to_string(high));
        return true;
    }

    bool fail(const std::string& text) {
        error_ = text;
        return false;
    }

private:
    static std::string shortNumber(double x) { return platform::printed("%g", x); }

    const std::vector<std::string>& args_;
    std::string& error_;
    std::size_t next_ = 0;
};

struct FilterOption {
    const char* name;
    FilterKind kind;
    bool hasGain;
};

constexpr FilterOption kFilterOptions[] = {
    {"--lowpass", FilterKind::LowPass, false},   {"--highpass", FilterKind::HighPass, false},
    {"--bandpass", FilterKind::BandPass, false}, {"--notch", FilterKind::Notch, false},
    {"--peak", FilterKind::Peak, true},          {"--lowshelf", FilterKind::LowShelf, true},
    {"--highshelf", FilterKind::HighShelf, true}, {"--allpass", FilterKind::AllPass, false},
};

bool parseFilter(const FilterOption& option, ArgumentCursor& cursor, Device& device) {
    FilterSettings filter;
    filter.kind = option.kind;
    if (!cursor.positive(option.name, "frequency in Hz", filter.frequency)) return false;
    if (!cursor.number(option.name, "Q", 0.01, 100.0, filter.q)) return false;
    if (option.hasGain && !cursor.number(option.name, "gain in dB", -60.0, 60.0, filter.gainDb)) return false;
    device.parts.emplace_back(filter);
    return true;
}

// What a parser of some of the options made of one: nothing when it is not
// one of its options, else whether it was taken (false with the error set).
using Parsed = std::optional<bool>;

// A part set by one number, `what` from `low` to `high`.
template <typename Part>
bool addNumberPart(const std::string& option, ArgumentCursor& cursor, Device& device, const char* what, double low,
                   double high, double Part::*number) {
    Part part;
    if (!cursor.number(option, what, low, high, part.*number)) return false;
    device.parts.emplace_back(part);
    return true;
}

// One device part.
Parsed parsePart(const std::string& option, ArgumentCursor& cursor, Device& device) {
    for (const FilterOption& filter : kFilterOptions) {
        if (option == filter.name) return parseFilter(filter, cursor, device);
    }
    if (option == "--gain") return addNumberPart(option, cursor, device, "gain in dB", -120.0, 120.0, &GainPart::db);
    if (option == "--delay") {
        std::uint64_t samples = 0;
        if (!cursor.whole(option, "delay in samples", kMaxDelaySamples, samples)) return false;
        device.parts.emplace_back(DelayPart{static_cast<std::int64_t>(samples)});
        return true;
    }
    if (option == "--noise") {
        NoisePart noise;
        if (!cursor.number(option, "level in dBFS", -200.0, 0.0, noise.dbfs)) return false;
        if (!cursor.whole(option, "seed", std::numeric_limits<std::uint64_t>::max(), noise.seed)) return false;
        device.parts.emplace_back(noise);
        return true;
    }
    if (option == "--clock") {
        return addNumberPart(option, cursor, device, "clock error in ppm", -kMaxClockErrorPpm, kMaxClockErrorPpm,
                             &ClockPart::ppm);
    }
    if (option == "--polynomial") {
        PolynomialPart polynomial;
        while (cursor.nextIsNumber()) {
            if (polynomial.coefficients.size() == kMaxPolynomialCoefficients)
                return cursor.fail("--polynomial: at most " + std::to_string(kMaxPolynomialCoefficients) +
                                   " coefficients (up to x^20)");
            double a = 0.0;
            if (!cursor.number(option, "coefficient", -1000.0, 1000.0, a)) return false;
            polynomial.coefficients.push_back(a);
        }
        if (polynomial.coefficients.empty()) return cursor.fail("--polynomial: give at least one coefficient (A2)");
        device.parts.emplace_back(std::move(polynomial));
        return true;
    }
    if (option == "--clip") {
        return addNumberPart(option, cursor, device, "level in dB below full scale", -120.0, 0.0, &ClipPart::levelDb);
    }
    if (option == "--invert") {
        device.parts.emplace_back(InvertPart{});
        return true;
    }
    return std::nullopt;
}

// The driver's options.
Parsed parseDriverOption(const std::string& option, ArgumentCursor& cursor, Options& options) {
    if (option == "--driver") {
        if (cursor.done()) return cursor.fail("--driver: missing the driver, e.g. \"Re=6.2 Le=0.45mH fs=38 Qms=3.1 Qes=0.42\"");
        if (!options.driver) options.driver.emplace();
        std::string error;
        if (!simulation::parseDriverSpec(cursor.take(), options.driver->driver, error)) return cursor.fail(error);
        return true;
    }
    struct Amount {
        const char* name;
        const char* what;
        double low, high;
        std::optional<double> simulation::DriverWiring::*member;
    };
    static const Amount kAmounts[] = {
        {"--sd", "cone area in cm^2", 0.1, 100000.0, &simulation::DriverWiring::sdSquareCm},
        {"--vas", "Vas in litres", 0.001, 100000.0, &simulation::DriverWiring::vasLitres},
        {"--added-mass", "mass in grams", 0.001, 100000.0, &simulation::DriverWiring::addedMassGrams},
        {"--box-litres", "box volume in litres", 0.001, 100000.0, &simulation::DriverWiring::boxLitres},
    };
    if (option == "--sense-resistor") {
        if (!options.driver) options.driver.emplace();
        return cursor.number(option, "resistance in ohms", 0.001, 1e6, options.driver->senseOhms);
    }
    for (const Amount& amount : kAmounts) {
        if (option != amount.name) continue;
        if (!options.driver) options.driver.emplace();
        double value = 0.0;
        if (!cursor.number(option, amount.what, amount.low, amount.high, value)) return false;
        (*options.driver).*(amount.member) = value;
        return true;
    }
    return std::nullopt;
}

Parsed parseModeOption(const std::string& option, ArgumentCursor& cursor, Options& options) {
    if (option == "--response") {
        if (options.mode != Mode::Process) return cursor.fail("--response and --response-for go alone");
        options.mode = Mode::Response;
        while (cursor.nextIsNumber()) {
            double frequency = 0.0;
            if (!cursor.positive(option, "frequency in Hz", frequency)) return false;
            options.frequencies.push_back(frequency);
        }
        if (options.frequencies.empty()) return cursor.fail("--response: give at least one frequency in Hz");
        return true;
    }
    if (option == "--response-for") {
        if (options.mode != Mode::Process) return cursor.fail("--response and --response-for go alone");
        if (cursor.done()) return cursor.fail("--response-for: missing the report file");
        options.mode = Mode::ResponseForReport;
        options.reportPath = cursor.take();
        return true;
    }
    if (option == "--rate") {
        double rate = 0.0;
        if (!cursor.number(option, "sampling rate in Hz", 1.0, 10'000'000.0, rate)) return false;
        options.sampleRate = rate;
        return true;
    }
    return std::nullopt;
}

bool checkCombination(const Options& options, const std::vector<std::string>& positional, std::string& error) {
    if (options.mode == Mode::Process) {
        if (positional.size() != 2) {
            error = "give the input and the output WAV file (found " + std::to_string(positional.size()) +
                    " file names)";
            return false;
        }
        if (options.sampleRate) {
            error = "--rate goes with --response; the input file brings its own rate";
            return false;
        }
        return true;
    }
    if (!positional.empty()) {
        error = "unexpected argument '" + positional.front() + "'";
        return false;
    }
    if (options.mode == Mode::ResponseForReport && options.sampleRate) {
        error = "--rate goes with --response; a report brings its own rate";
        return false;
    }
    return true;
}

// The driver's options without --driver, or the driver without its resistor.
std::string checkDriver(const simulation::DriverWiring& wiring) {
    if (!(wiring.driver.re > 0.0)) return "--sense-resistor, --sd, --vas, --added-mass and --box-litres go with --driver";
    return simulation::checkWiring(wiring);
}

}  // namespace

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    options = Options{};
    std::vector<std::string> positional;
    ArgumentCursor cursor(args, error);
    while (!cursor.done()) {
        const std::string& arg = cursor.take();
        if (arg == "--help" || arg == "-h") {
            options.mode = Mode::Help;
            return true;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        Parsed parsed = parsePart(arg, cursor, options.device);
        if (!parsed) parsed = parseModeOption(arg, cursor, options);
        if (!parsed) parsed = parseDriverOption(arg, cursor, options);
        if (!parsed) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (!*parsed) return false;
    }
    if (!checkCombination(options, positional, error)) return false;
    if (options.driver && (error = checkDriver(*options.driver), !error.empty())) return false;
    if (options.mode == Mode::Process) {
        options.inputPath = positional[0];
        options.outputPath = positional[1];
    }
    return true;
}

}  // namespace auralyn::simulation
