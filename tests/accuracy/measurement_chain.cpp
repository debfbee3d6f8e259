#include "measurement_chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "run_program.h"
#include "sweep/sweep_layout.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::test {
namespace {

const std::string kTonesmith = TONESMITH_PATH;
const std::string kAuralyn = AURALYN_PATH;
const std::string kEchoprobe = ECHOPROBE_PATH;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// Sweep file name, the proposed parameter file, questions 1..8, then every advanced option.
std::string tonesmithAnswers(const SweepSettings& s) {
    std::ostringstream answers;
    answers << "sweep.wav\n\n"
            << s.sampleRate << '\n'
            << (s.octave ? 1 : 2) << '\n'
            << number(s.startFrequency) << '\n'
            << number(s.endFrequency) << '\n'
            << number(s.step) << '\n'
            << number(s.minToneDuration) << '\n'
            << number(s.settlingTime) << '\n'
            << s.tonesPerSyncPulse << '\n'
            << "y\n"
            << "90\n10\n1\n400\n"
            << number(s.maxTimeDrift) << '\n';
    return answers.str();
}

struct ExactResponse {
    double frequency;
    double db;
    double phase;
};

std::vector<ExactResponse> parseResponse(const std::string& text) {
    std::vector<ExactResponse> lines;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        ExactResponse r{};
        char* end = nullptr;
        r.frequency = std::strtod(line.c_str(), &end);
        const std::string rest = end + 2;
        r.db = rest.rfind("-Inf", 0) == 0 ? -INFINITY : std::strtod(rest.c_str(), &end);
        r.phase = std::strtod(rest.substr(rest.find(',') + 2).c_str(), nullptr);
        lines.push_back(r);
    }
    return lines;
}

// The first sample at or above the measurer's threshold after the lead-in and
// the settling silence: where the measurer starts counting.
std::int64_t thresholdCrossing(const std::string& path, const sweep::SweepParameters& p) {
    wave::WaveFile wave;
    EXPECT_TRUE(wave.openRead(path.c_str())) << path;
    const std::int32_t skip = sweep::measurerLeadInSamples(p) + sweep::syncSettlingSamples(p);
    EXPECT_TRUE(wave.skipSamples(skip));
    const int threshold = sweep::percentToAmplitude(p.syncThreshold);
    std::int16_t sample = 0;
    for (std::int64_t index = skip; wave.readSample(&sample); ++index) {
        if (std::abs(int{sample}) >= threshold) return index;
    }
    ADD_FAILURE() << "no sync pulse in " << path;
    return 0;
}

sweep::SweepPlan loadPlan(const std::string& path) {
    sweep::SweepPlan plan;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    EXPECT_NE(in, nullptr);
    if (in == nullptr) return plan;
    EXPECT_TRUE(plan.readParameters(in));
    std::fclose(in);
    return plan;
}

std::vector<ToneComparison> plannedTones(sweep::SweepPlan plan) {
    std::vector<ToneComparison> tones;
    plan.rewind();
    do {
        ToneComparison tone;
        tone.frequency = plan.params().toneFrequency;
        tone.blockLength = plan.params().toneLength;
        tone.leadLength = plan.settlingSamples();
        tones.push_back(tone);
    } while (tones.size() < plan.toneCount() && plan.nextTone());
    return tones;
}

}  // namespace

Measurement measureDevice(const TempDir& dir, const SweepSettings& sweep, const std::vector<std::string>& device) {
    Measurement result;
    const std::string where = dir.path().string();
    const ProgramRun generated = runProgram(kTonesmith, {}, tonesmithAnswers(sweep), where);
    EXPECT_EQ(generated.exitCode, 0) << generated.out << generated.err;

    std::vector<std::string> simulate = {"simulate", "sweep.wav", "recording.wav"};
    simulate.insert(simulate.end(), device.begin(), device.end());
    const ProgramRun simulated = runProgram(kAuralyn, simulate, "", where);
    EXPECT_EQ(simulated.exitCode, 0) << simulated.err;
    EXPECT_EQ(simulated.err.find("clipped"), std::string::npos) << "the test device must not clip: " << simulated.err;

    const ProgramRun measured = runProgram(kEchoprobe, {}, "recording.wav\nsweep.swp\nrecording.txt\n\n", where);
    EXPECT_EQ(measured.exitCode, 0) << measured.out << measured.err;
    EXPECT_EQ(measured.out.find("Error"), std::string::npos) << measured.out;

    plot::Report report;
    std::string error;
    EXPECT_TRUE(plot::readReportFile(dir.file("recording.txt"), report, error)) << error;

    std::vector<std::string> respond = {"simulate", "--response-for", "recording.txt"};
    respond.insert(respond.end(), device.begin(), device.end());
    const ProgramRun responded = runProgram(kAuralyn, respond, "", where);
    EXPECT_EQ(responded.exitCode, 0) << responded.err;
    const std::vector<ExactResponse> exact = parseResponse(responded.out);

    const sweep::SweepPlan plan = loadPlan(dir.file("sweep.swp"));
    result.tones = plannedTones(plan);
    EXPECT_EQ(report.tones.size(), result.tones.size());
    EXPECT_EQ(exact.size(), report.tones.size());
    if (report.tones.size() != result.tones.size() || exact.size() != report.tones.size()) {
        result.tones.clear();
        return result;
    }
    for (std::size_t i = 0; i < result.tones.size(); ++i) {
        ToneComparison& tone = result.tones[i];
        EXPECT_NEAR(report.tones[i].frequency, tone.frequency, 0.0051);
        tone.exactDb = exact[i].db;
        tone.exactPhase = exact[i].phase;
        tone.measuredDb = 20.0 * std::log10(report.tones[i].amplitude / 32767.0);
        tone.measuredPhase = report.tones[i].phaseDegrees;
    }
    result.crossingOffset = static_cast<int>(thresholdCrossing(dir.file("recording.wav"), plan.params()) -
                                             thresholdCrossing(dir.file("sweep.wav"), plan.params()));
    return result;
}

double phaseError(const ToneComparison& tone, double offset, std::uint32_t sampleRate) {
    const double expected = tone.exactPhase + 360.0 * tone.frequency * offset / sampleRate;
    double error = std::fmod(tone.measuredPhase - expected, 360.0);
    if (error > 180.0) error -= 360.0;
    if (error <= -180.0) error += 360.0;
    return error;
}

int fitOffset(const std::vector<ToneComparison>& tones, std::uint32_t sampleRate, double floorDb) {
    int best = 0;
    double bestWorst = INFINITY;
    for (int offset = -16; offset <= 64; ++offset) {
        double worst = 0.0;
        for (const ToneComparison& tone : tones) {
            if (tone.exactDb > floorDb) worst = std::max(worst, std::fabs(phaseError(tone, offset, sampleRate)));
        }
        if (worst < bestWorst) {
            bestWorst = worst;
            best = offset;
        }
    }
    return best;
}

}  // namespace auralyn::test
