// auralyn measure: play the sweep on an output, record an input at the same
// time, and analyse the recording as `auralyn analyze` does.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_warm_up.h"
#include "cli/analyze_request.h"
#include "cli/impedance_request.h"
#include "cli/audio_commands.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/interrupt_flag.h"
#include "cli/measure_display.h"
#include "cli/measure_files.h"
#include "cli/measure_options.h"
#include "cli/playback_level.h"
#ifdef AURALYN_HAVE_CALIBRATION
#include "calibration/profile.h"
#endif
#include "cli/sweep_making.h"
#include "sweep/sweep_plan.h"

namespace auralyn::cli {
namespace {

// Without -o, --csv and --json the report goes to the current folder, named
// after the kept recording, or measurement.txt.
constexpr const char* kDefaultReport = "measurement.txt";
constexpr const char* kScratchRecording = "measurement.wav";

// The sweep to play: the one given, or one made into the scratch folder.
struct SweepToPlay {
    sweep::SweepPlan plan;
    std::vector<std::int16_t> samples;
    std::string parameterPath;
};

int prepareSweep(const MeasureCommand& m, const ScratchFolder& scratch, SweepToPlay& sweep) {
    std::string error;
    if (!m.givenSweep.empty()) {
        sweep.parameterPath = m.givenSweep[1];
        if (loadSweep(m.givenSweep[0], sweep.parameterPath, sweep.plan, sweep.samples, error)) return kExitSuccess;
        printDiagnostic(error);
        return kExitFailure;
    }
    sweep::SweepPlan made;
    if (const int status = planSweep(m.sweep, made); status != kExitSuccess) return status;
    const std::string wavePath = scratch.file("sweep.wav");
    sweep.parameterPath = scratch.file("sweep.swp");
    std::uint32_t dataSize = 0;
    if (const int status = writeSweepFiles(made, wavePath, sweep.parameterPath, true, dataSize);
        status != kExitSuccess) {
        return status;
    }
    if (loadSweep(wavePath, sweep.parameterPath, sweep.plan, sweep.samples, error)) return kExitSuccess;
    printDiagnostic(error);
    return kExitFailure;
}

audio::CaptureFormat captureFormat(const std::string& bits) {
    if (bits == "24") return audio::CaptureFormat::Int24;
    if (bits == "32f") return audio::CaptureFormat::Float32;
    return audio::CaptureFormat::Int16;
}

audio::OutputChannels outputChannels(const std::string& text) {
    if (text == "L") return audio::OutputChannels::Left;
    if (text == "R") return audio::OutputChannels::Right;
    return audio::OutputChannels::Both;
}

std::string deviceName(const std::string& name, const char* fallback) {
    return name.empty() ? fallback : "'" + name + "'";
}

// The level to play at: --level, or the one that gives --drive-volts on an
// output the --calibration profile has calibrated.
int playbackLevel(const MeasureCommand& m, double& level) {
    level = m.levelDbfs.value_or(0.0);
#ifdef AURALYN_HAVE_CALIBRATION
    if (!m.calibration.driveVolts || m.calibration.profilePath.empty()) return kExitSuccess;
    std::optional<calibration::CalibrationProfile> profile;
    try {
        profile = calibration::readProfile(m.calibration.profilePath);
    } catch (const calibration::ProfileError& error) {
        printDiagnostic(error.what());
        return kExitFailure;
    }
    if (!profile->output) return kExitSuccess;
    if (m.levelDbfs) {
        printDiagnostic("--level and --drive-volts with a calibrated output both set the level; give one");
        return kExitUsage;
    }
    std::string error;
    const auto driveLevel = levelForDrive(*m.calibration.driveVolts, profile->output->voltsRmsAtFullScale, error);
    if (!driveLevel) {
        printDiagnostic(error);
        return kExitUsage;
    }
    level = *driveLevel;
#endif
    return kExitSuccess;
}

// The sweep played below full scale, with a parameter file whose pulse level
// and threshold follow, for the analysis to find the pulse.
int attenuateSweep(const ScratchFolder& scratch, double level, SweepToPlay& sweep) {
    if (level == 0.0) return kExitSuccess;
    sweep.samples = attenuatedSamples(sweep.samples, level);
    const std::string played = scratch.file("played.swp");
    std::string error;
    sweep::SweepPlan plan;
    if (!writeAttenuatedParameters(sweep.parameterPath, played, level, error)) {
        printDiagnostic(error);
        return kExitFailure;
    }
    std::FILE* file = std::fopen(played.c_str(), "rb");
    const bool read = file != nullptr && plan.readParameters(file);
    if (file != nullptr) std::fclose(file);
    if (!read) {
        printDiagnostic(played + ": could not be read back");
        return kExitFailure;
    }
    plan.lock();
    sweep.plan = plan;
    sweep.parameterPath = played;
    std::printf("Playing at %.2f dBFS\n", level);
    return kExitSuccess;
}

void printPlan(const MeasureCommand& m, const SweepToPlay& sweep) {
    const double seconds = static_cast<double>(sweep.samples.size()) / sweep.plan.params().sampleRate;
    std::printf("Measuring: a %.1f s sweep at %u Hz from %s, recorded on %s (channel %d", seconds,
                sweep.plan.params().sampleRate, deviceName(m.outputDevice, "the default output").c_str(),
                deviceName(m.inputDevice, "the default input").c_str(), m.inputChannel);
    if (m.referenceChannel != 0) std::printf(", reference channel %d", m.referenceChannel);
    std::printf(", %s samples", m.bits == "32f" ? "32-bit float" : m.bits == "24" ? "24-bit" : "16-bit");
    std::printf(")\n");
    std::fflush(stdout);
}

PulseWatch pulseWatch(const sweep::SweepPlan& plan) {
    PulseWatch watch;
    watch.seconds = plan.params().syncPulseDuration;
    watch.thresholdPercent = plan.params().syncThreshold;
    watch.thresholdDbfs = peakDbfs(sweep::percentToAmplitude(plan.params().syncThreshold));
    return watch;
}

int keepInterrupted(const MeasureCommand& m, const audio::SessionResult& result, audio::CaptureFormat format) {
    if (m.keepRecording.empty()) {
        printDiagnostic("interrupted: playback stopped, nothing was written");
        return kExitInterrupted;
    }
    std::string error;
    if (!writeRecording(m.keepRecording, result.frames, result.channels, result.sampleRate, format, error)) {
        printDiagnostic("interrupted; " + error);
        return kExitInterrupted;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(result.frames.size()) / result.channels /
                                                       result.sampleRate);
    printDiagnostic("interrupted: playback stopped; the recording up to then (" + std::string(seconds) +
                    " s) is in " + m.keepRecording + "; nothing was analysed");
    return kExitInterrupted;
}

// The analysis finds the pulse at the first sample that reaches the sweep's
// threshold: a recording with none on the measured channels cannot be measured.
bool pulseCanBeFound(const MeasureCommand& m, const sweep::SweepPlan& plan, const audio::SessionResult& result) {
    const int threshold = sweep::percentToAmplitude(plan.params().syncThreshold);
    int peak = channelPeak(result.frames, result.channels, m.inputChannel - 1);
    if (m.referenceChannel != 0) {
        peak = std::max(peak, channelPeak(result.frames, result.channels, m.referenceChannel - 1));
    }
    if (peak >= threshold) return true;
    char text[320];
    std::snprintf(text, sizeof text,
                  "the recording peaks at %.1f dBFS, below the %.1f dBFS (%g %% of full scale) the sync pulse must "
                  "reach to be found; nothing was analysed. Raise the input gain or the output volume and measure "
                  "again",
                  peakDbfs(peak), peakDbfs(threshold), plan.params().syncThreshold);
    printDiagnostic(text);
    return false;
}

// A sweep played at full scale reaches full scale through a unity path, on as
// many samples as it holds there; more than that, the input clipped.
void warnOfClipping(const MeasureCommand& m, const SweepToPlay& sweep, const audio::SessionResult& result) {
    const std::size_t played = fullScaleCount(sweep.samples, 1, 0);
    for (const int channel : {m.inputChannel, m.referenceChannel}) {
        if (channel == 0) continue;
        const std::size_t recorded = fullScaleCount(result.frames, result.channels, channel - 1);
        if (recorded <= played) continue;
        printDiagnostic("warning: input channel " + std::to_string(channel) + " clipped (" + std::to_string(recorded) +
                        " samples at full scale, the sweep has " + std::to_string(played) +
                        "): the response measured is wrong; lower the input gain or the output volume");
    }
}

// What an analysis and an impedance run of the recording take alike: the
// recording, its sweep, the channels and the tables and plot asked for.
template <typename Request>
void setSharedInputs(Request& request, const MeasureCommand& m, const std::string& recordingPath,
                     const std::string& parameters) {
    request.recordingPath = recordingPath;
    request.parameterPath = parameters;
    request.channel = m.inputChannel;
    request.referenceChannel = m.referenceChannel;
    request.csvPath = m.csvPath;
    request.jsonPath = m.jsonPath;
    request.plotPath = m.plotPath;
}

AnalyzeRequest analysisOf(const MeasureCommand& m, const std::string& recordingPath, const std::string& parameters,
                          double level) {
    AnalyzeRequest a;
    setSharedInputs(a, m, recordingPath, parameters);
    a.reportPath = m.reportPath;
    a.quiet = m.quiet;
    a.calibration = m.calibration;
    a.calibration.playbackLevelDb = level;
    a.calibration.inputDevice = m.inputDevice;
    a.calibration.outputDevice = m.outputDevice;
    if (m.reportPath.empty() && m.csvPath.empty() && m.jsonPath.empty() && m.keepRecording.empty()) {
        a.reportPath = kDefaultReport;
    }
    return a;
}

// The impedance of the recording, its outputs where the analysis' would go.
ImpedanceRequest impedanceOf(const MeasureCommand& m, const std::string& recordingPath, const std::string& parameters) {
    ImpedanceRequest r;
    setSharedInputs(r, m, recordingPath, parameters);
    r.senseOhms = m.senseOhms;
    r.calibrationPath = m.calibration.profilePath;
    r.zmaPath = m.reportPath.empty() && m.csvPath.empty() && m.jsonPath.empty() && m.plotPath.empty()
                    ? "measurement.zma"
                    : m.reportPath;
    return r;
}

void printWritten(const MeasureCommand& m, const AnalyzeRequest& a) {
    std::vector<std::string> written = outputPaths(m);
    if (m.reportPath.empty() && !a.reportPath.empty()) written.insert(written.begin(), a.reportPath);
    if (!m.keepRecording.empty()) written.push_back(m.keepRecording);
    std::string list;
    for (const std::string& path : written) list += (list.empty() ? "" : ", ") + path;
    if (!list.empty()) std::printf("Wrote %s\n", list.c_str());
    std::fflush(stdout);
}

#ifdef AURALYN_HAVE_AUDIO

// An impedance needs the drive recorded: the reference channel is 2 unless named.
MeasureCommand withImpedanceDefaults(MeasureCommand m) {
    if (m.impedance && m.referenceChannel == 0) m.referenceChannel = m.inputChannel == 2 ? 1 : 2;
    return m;
}

// 24-bit samples where this build can keep and measure them.
MeasureCommand withCaptureDefault(MeasureCommand m) {
    if (m.bits == "auto") m.bits = deepCapturesWork() ? "24" : "16";
    return m;
}

// A device that takes no float samples at this rate records 16-bit ones when
// the depth was left to the kit: said, and the session run again.
audio::SessionResult recordWithFallback(audio::SessionRequest& request, bool depthChosen,
                                        const audio::ProgressObserver& observer) {
    audio::SessionResult result = audio::playAndRecord(request, observer);
    if (result.status != audio::SessionStatus::RateRefused || depthChosen ||
        request.capture == audio::CaptureFormat::Int16)
        return result;
    printDiagnostic("the input device takes no 24-bit samples here (" + result.message + "): recording 16-bit ones");
    request.capture = audio::CaptureFormat::Int16;
    return audio::playAndRecord(request, observer);
}

int runMeasure(const MeasureCommand& given) {
    const MeasureCommand m = withCaptureDefault(withImpedanceDefaults(given));
    if (const int status = checkMeasureCommandLine(m); status != kExitSuccess) return status;
    // The audio system starts while the sweep is made.
    audio::AudioWarmUp warmUp;
    InterruptScope interrupt;
    ScratchFolder scratch;
    std::string error;
    if (!scratch.create(error)) {
        printDiagnostic(error);
        return kExitFailure;
    }
    SweepToPlay sweep;
    if (const int status = prepareSweep(m, scratch, sweep); status != kExitSuccess) return status;
    double level = 0.0;
    if (const int status = playbackLevel(m, level); status != kExitSuccess) return status;
    if (const int status = attenuateSweep(scratch, level, sweep); status != kExitSuccess) return status;
    if (interrupt.interrupted()) {
        printDiagnostic("interrupted: nothing was played or written");
        return kExitInterrupted;
    }
    printPlan(m, sweep);

    audio::SessionRequest request;
    request.outputDevice = m.outputDevice;
    request.outputChannels = outputChannels(m.outputChannels);
    request.inputDevice = m.inputDevice;
    request.inputChannels = std::max(m.inputChannel, m.referenceChannel);
    request.sampleRate = static_cast<int>(sweep.plan.params().sampleRate);
    request.sweep = sweep.samples;
    request.capture = captureFormat(m.bits);
    // The sweep's own lead-in holds the silence the analysis needs: the
    // session only keeps a device's start away from it, and the tail only
    // covers a latency reported short.
    request.leadSeconds = 0.1;
    request.tailSeconds = 0.25;
    request.cancel = &interrupt.flag();
    audio::SessionResult result;
    warmUp.wait();
    {
        SessionDisplay display(m.quiet, pulseWatch(sweep.plan));
        result = recordWithFallback(request, given.bits != "auto",
                                    [&display](const audio::SessionProgress& p) { display.update(p); });
    }
    if (result.status == audio::SessionStatus::Cancelled) return keepInterrupted(m, result, request.capture);
    if (!result.ok()) {
        printDiagnostic(result.message.empty() ? audio::describe(result.status) : result.message);
        return kExitFailure;
    }
    const std::string recordingPath = m.keepRecording.empty() ? scratch.file(kScratchRecording) : m.keepRecording;
    if (!writeRecording(recordingPath, result.frames, result.channels, result.sampleRate, request.capture, error)) {
        printDiagnostic(error);
        return kExitFailure;
    }
    if (!pulseCanBeFound(m, sweep.plan, result)) return kExitFailure;
    warnOfClipping(m, sweep, result);
    if (interrupt.interrupted()) {
        printDiagnostic("interrupted before the analysis; nothing was analysed");
        return kExitInterrupted;
    }
    if (m.impedance) return runImpedanceRequest(impedanceOf(m, recordingPath, sweep.parameterPath));
    const AnalyzeRequest analysis = analysisOf(m, recordingPath, sweep.parameterPath, level);
    const int status = runAnalyzeRequest(analysis);
    if (status == kExitSuccess) printWritten(m, analysis);
    return status;
}

#else

int runMeasure(const MeasureCommand&) {
    printDiagnostic("this build has no audio devices; play the sweep and record it yourself, then use analyze");
    return kExitFailure;
}

#endif

}  // namespace

void addMeasureCommand(CLI::App& app, int& exitCode) {
    addRequestCommand<MeasureCommand>(
        app, exitCode, "measure",
        "Play the sweep on an output device and record an input device at the same time, then analyse the "
        "recording as analyze does and write the same files. The sweep is made from the sweep options (as "
        "sweep makes it) into a temporary folder, or given with --sweep. Recording starts 0.5 s before playback "
        "and goes on 1 s beyond the sweep. Without -o, --csv and --json the report goes to measurement.txt in "
        "the current folder (REC.txt with --keep-recording REC.wav). Ctrl-C stops playback at once and leaves "
        "no files but the --keep-recording one, complete up to that point; the exit status is then 130. A "
        "device that is missing, refuses the rate, records silence, loses samples or goes away ends the run "
        "with exit status 1 and no report.",
        addMeasureOptions, runMeasure);
}

}  // namespace auralyn::cli
