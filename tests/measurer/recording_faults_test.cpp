// Recordings that once gave a complete-looking report of wrong numbers: sweeps
// made by the real tonesmith, played through the simulated device, measured by
// the real echoprobe. Each must now be refused with the message that names
// its cause, while its near neighbours still measure.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "simulation/wave_through_device.h"
#include "measurer/recording_walk.h"
#include "run_program.h"
#include "sweep/sweep_layout.h"
#include "sweep/sweep_plan.h"
#include "test_files.h"
#include "wave/wave_file.h"

// The largest single allocation this test program asked for: a block buffer
// sized from a hostile parameter file would show here.
namespace {
std::atomic<std::size_t> largestAllocation{0};
}  // namespace

void* operator new(std::size_t size) {
    std::size_t seen = largestAllocation.load();
    while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace auralyn {
namespace {

namespace sim = simulation;
using test::Bytes;
using test::ProgramRun;

const char* const kPulseNotFound = "\nError: The synchronization pulse could not be found.\n";
const char* const kEndedEarly = "\nError: Input wave file ended before expected.\n";

// tonesmith's answers after the two file names: rate, type, start, end, step,
// minimum duration, settling time, tones per sync, then the advanced options
// ("n", or a piped "y" whose line goes on with the pulse level).
std::string sweepAnswers(const std::string& questions) { return "sweep.wav\n\n" + questions; }

const std::string kThirdOctaves = "\n\n\n\n3\n\n\n\nn\n";

// The samples of a 16-bit mono WAV file with the generator's 44-byte header.
struct Recording {
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples;
};

Recording withSilenceAppended(Recording r, double seconds) {
    r.samples.resize(r.samples.size() + static_cast<std::size_t>(seconds * r.rate), 0);
    return r;
}

sim::Device gain(double db) { return sim::Device{{sim::GainPart{db}}}; }

class RecordingFaults : public testing::Test {
protected:
    void makeSweep(const std::string& questions) {
        const ProgramRun run = test::runProgram(TONESMITH_PATH, {}, sweepAnswers(questions), dir.path().string());
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    }

    void playThrough(const sim::Device& device, const std::string& output) {
        sim::DeviceRunSummary summary;
        std::string error;
        ASSERT_TRUE(sim::runDeviceOnWave(device, file("sweep.wav"), file(output), summary, error)) << error;
    }

    // The sweep through a gain of `db`, with a second of silence after it.
    void playWithSilenceAfter(double db, const std::string& output) {
        playThrough(gain(db), output);
        save(output, withSilenceAppended(load(output), 1.0));
    }

    Recording load(const std::string& name) const {
        const Bytes bytes = test::readFileBytes(file(name));
        Recording r;
        r.rate = test::loadU32(bytes, 24);
        for (std::size_t i = 44; i + 1 < bytes.size(); i += 2) {
            r.samples.push_back(static_cast<std::int16_t>(test::loadU16(bytes, i)));
        }
        return r;
    }

    // A plain WAV file of `r`, its data chunk claiming `claimed` samples (all of
    // them when negative), followed by `trailer` (another chunk, say).
    void save(const std::string& name, const Recording& r, const Bytes& trailer = {}, long claimed = -1) const {
        Bytes out;
        const std::uint32_t dataBytes = static_cast<std::uint32_t>(2 * r.samples.size());
        test::appendText(out, "RIFF");
        test::appendU32(out, 36 + dataBytes + static_cast<std::uint32_t>(trailer.size()));
        test::appendText(out, "WAVEfmt ");
        test::appendU32(out, 16);
        test::appendU16(out, 1);
        test::appendU16(out, 1);
        test::appendU32(out, r.rate);
        test::appendU32(out, 2 * r.rate);
        test::appendU16(out, 2);
        test::appendU16(out, 16);
        test::appendText(out, "data");
        test::appendU32(out, claimed < 0 ? dataBytes : static_cast<std::uint32_t>(2 * claimed));
        for (std::int16_t s : r.samples) test::appendU16(out, static_cast<std::uint16_t>(s));
        out.insert(out.end(), trailer.begin(), trailer.end());
        test::writeFileBytes(file(name), out);
    }

    ProgramRun measure(const std::string& recording, const std::string& parameters = "sweep.swp") {
        return test::runProgram(echoprobePath(), {}, recording + "\n" + parameters + "\nreport\n\n",
                                dir.path().string());
    }

    // AURALYN_TEST_ECHOPROBE names another build's echoprobe, to show which of
    // these recordings it measured wrongly.
    static std::string echoprobePath() {
        const char* other = std::getenv("AURALYN_TEST_ECHOPROBE");
        return other != nullptr && *other != '\0' ? other : ECHOPROBE_PATH;
    }

    void expectRefused(const std::string& recording, const char* message) {
        const ProgramRun run = measure(recording);
        EXPECT_EQ(run.exitCode, 1) << recording << run.out;
        EXPECT_NE(run.out.find(message), std::string::npos) << recording << run.out;
    }

    // The measured table: one row of five numbers per tone.
    std::vector<std::vector<double>> measuredTable(const std::string& recording) {
        const ProgramRun run = measure(recording);
        EXPECT_EQ(run.exitCode, 0) << recording << run.out;
        std::vector<std::vector<double>> rows;
        std::istringstream in(test::readFileText(file("report.txt")));
        std::string line;
        bool inTable = false;
        while (std::getline(in, line)) {
            if (inTable) {
                std::vector<double> row;
                std::istringstream fields(line);
                for (std::string f; std::getline(fields, f, ',');) row.push_back(std::strtod(f.c_str(), nullptr));
                rows.push_back(row);
            }
            inTable = inTable || line.rfind("Frequency, Amplitude", 0) == 0;
        }
        return rows;
    }

    std::string file(const std::string& name) const { return dir.file(name); }

    test::TempDir dir;
};

Recording cutAt(Recording r, std::size_t samples) {
    r.samples.resize(samples);
    return r;
}

sweep::SweepPlan loadPlan(const std::string& path) {
    sweep::SweepPlan plan;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    EXPECT_NE(in, nullptr) << path;
    if (in == nullptr) return plan;
    EXPECT_TRUE(plan.readParameters(in)) << path;
    std::fclose(in);
    return plan;
}

// The last tone's block and tail: the generator writes nothing after them.
struct LastTone {
    std::int32_t length = 0;
    std::int32_t tail = 0;
};

LastTone lastTone(sweep::SweepPlan plan) {
    plan.rewind();
    while (plan.nextTone()) {
    }
    return {plan.params().toneLength, plan.driftSamples()};
}

// A LIST chunk as recorders append it after the samples.
Bytes listChunk() {
    Bytes chunk;
    const std::string info = "INFOISFT";
    const std::string software = "a recorder that puts its name after the samples, v58.76.100";
    test::appendText(chunk, "LIST");
    test::appendU32(chunk, static_cast<std::uint32_t>(info.size() + 4 + software.size() + 1));
    test::appendText(chunk, info);
    test::appendU32(chunk, static_cast<std::uint32_t>(software.size() + 1));
    test::appendText(chunk, software);
    chunk.push_back(0);
    return chunk;
}

// Offsets of two fields in the parameter file (the 11-byte magic first).
constexpr std::size_t kStartFrequencyAt = 19;
constexpr std::size_t kSettlingTimeAt = 59;

void storeF64(Bytes& bytes, std::size_t offset, double value) {
    Bytes encoded;
    test::appendF64(encoded, value);
    std::copy(encoded.begin(), encoded.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

TEST_F(RecordingFaults, APulseLevelBelowTheThresholdIsRefusedNotMeasured) {
    // A piped "y10" answers the pulse level with 10 %.
    makeSweep("\n\n\n\n3\n\n\n\ny10\n\n\n\n\n");
    expectRefused("sweep.wav", kPulseNotFound);
    save("padded.wav", withSilenceAppended(load("sweep.wav"), 1.0));
    expectRefused("padded.wav", kPulseNotFound);
    // A fast first tone right behind the weak pulse once passed for the pulse.
    makeSweep("8000\n\n777\n\n3\n\n\n\ny10\n\n\n\n\n");
    expectRefused("sweep.wav", kPulseNotFound);
}

// A playback level that puts the pulse just under the 15 % threshold while the
// tones still reach it: the search once took the first tone for the pulse and
// measured every tone at the wrong place.
TEST_F(RecordingFaults, APulseTooWeakToFindIsRefusedWhileTheTonesAreLoud) {
    makeSweep(kThirdOctaves);
    for (double db : {-15.6, -16.0, -16.3}) {
        playWithSilenceAfter(db, "quiet.wav");
        SCOPED_TRACE(db);
        expectRefused("quiet.wav", kPulseNotFound);
    }
    // A gain that keeps the pulse above the threshold still measures: every tone
    // at the gain, in phase.
    playWithSilenceAfter(-15.5, "loud.wav");
    const std::vector<std::vector<double>> table = measuredTable("loud.wav");
    ASSERT_EQ(table.size(), 30u);
    for (const std::vector<double>& row : table) {
        ASSERT_EQ(row.size(), 5u);
        EXPECT_NEAR(row[1], 32767.0 * std::pow(10.0, -15.5 / 20.0), 1.0) << row[0];
        EXPECT_LE(std::fabs(row[4]), 0.2) << row[0];
    }
}

// At 8000 Hz the pulse is one sample: missed just below the threshold, it is
// followed at once by a tone that climbs past it within a few samples.
TEST_F(RecordingFaults, AOneSamplePulseTooWeakToFindIsRefused) {
    makeSweep("8000\n1\n777\n\n3\n\n\n\nn\n");
    for (double db : {-15.7, -16.0, -16.4}) {
        playWithSilenceAfter(db, "quiet.wav");
        SCOPED_TRACE(db);
        expectRefused("quiet.wav", kPulseNotFound);
    }
    playThrough(gain(-15.4), "loud.wav");
    const std::vector<std::vector<double>> table = measuredTable("loud.wav");
    ASSERT_FALSE(table.empty());
    for (const std::vector<double>& row : table) EXPECT_LE(std::fabs(row[4]), 0.2) << row[0];
}

// The recorder started after the pulse: the first tones follow silence.
TEST_F(RecordingFaults, ARecordingThatStartsAfterThePulseIsRefused) {
    makeSweep(kThirdOctaves);
    Recording late = load("sweep.wav");
    late.samples.erase(late.samples.begin(), late.samples.begin() + static_cast<std::ptrdiff_t>(3.55 * late.rate));
    save("late.wav", withSilenceAppended(late, 1.0));
    expectRefused("late.wav", kPulseNotFound);
}

// Stopped inside the last tone's lead: the skip over the lead cannot be made.
TEST_F(RecordingFaults, ARecordingCutBeforeTheLastBlockEndedEarly) {
    makeSweep("\n\n\n\n\n\n\n\nn\n");
    const Recording sweep = load("sweep.wav");
    const LastTone last = lastTone(loadPlan(file("sweep.swp")));
    const std::size_t lastBlock = sweep.samples.size() - static_cast<std::size_t>(last.length + last.tail);
    save("cut.wav", cutAt(sweep, lastBlock - static_cast<std::size_t>(0.002 * sweep.rate)));
    expectRefused("cut.wav", kEndedEarly);
    // Exactly the sweep's length is enough.
    const std::vector<std::vector<double>> table = measuredTable("sweep.wav");
    ASSERT_FALSE(table.empty());
    EXPECT_NEAR(table.back()[1], 32767.0, 0.5);
    EXPECT_NEAR(table.back()[4], 0.0, 0.05);
}

// What follows the data chunk, or lies beyond the size it claims, is not audio.
TEST_F(RecordingFaults, BytesPastTheDataChunkAreNotMeasured) {
    makeSweep(kThirdOctaves);
    const Recording sweep = load("sweep.wav");
    const LastTone last = lastTone(loadPlan(file("sweep.swp")));
    // Ten samples short of the last block's end.
    const std::size_t shortLength = sweep.samples.size() - static_cast<std::size_t>(last.tail) - 10;
    save("listed.wav", cutAt(sweep, shortLength), listChunk());
    expectRefused("listed.wav", kEndedEarly);
    save("claims-less.wav", sweep, {}, static_cast<long>(shortLength));
    expectRefused("claims-less.wav", kEndedEarly);
    // A LIST chunk after a complete recording changes nothing.
    save("complete-listed.wav", sweep, listChunk());
    EXPECT_EQ(measuredTable("complete-listed.wav").size(), 30u);
}

// No drift allowance: 7350 Hz at 44100 Hz gets a block of 60 samples, 10 whole
// cycles, and a tail of -1, so the next tone starts on the block's last sample.
// Before, that foreign sample was measured with the tone (31405.1 here).
TEST_F(RecordingFaults, ATailOfMinusOneMeasuresOnlyTheTonesOwnSamples) {
    makeSweep("44100\n2\n7350\n7360\n10\n0\n\n\ny\n\n\n\n0\n");
    sweep::SweepPlan plan = loadPlan(file("sweep.swp"));
    plan.rewind();
    ASSERT_EQ(plan.params().toneFrequency, 7350.0);
    ASSERT_EQ(plan.params().toneLength, 60);
    ASSERT_EQ(plan.driftSamples(), -1);
    const std::vector<std::vector<double>> table = measuredTable("sweep.wav");
    ASSERT_EQ(table.size(), 2u);
    for (const std::vector<double>& row : table) {
        EXPECT_NEAR(row[1], 32767.0, 0.5) << row[0];
        EXPECT_NEAR(row[4], 0.0, 0.1) << row[0];
    }
}

// A hostile parameter file: tone 0 at 0.001 Hz, no settling, so its block is
// ten cycles of 10000 s, 441 million samples, where the recording holds 4 s.
TEST_F(RecordingFaults, ABlockLongerThanTheRecordingEndsItWithoutBeingAllocated) {
    makeSweep("44100\n2\n7350\n7360\n10\n\n\n\nn\n");
    Bytes hostile = test::readFileBytes(file("sweep.swp"));
    storeF64(hostile, kStartFrequencyAt, 0.001);
    storeF64(hostile, kSettlingTimeAt, 0.0);
    test::writeFileBytes(file("hostile.swp"), hostile);
    const ProgramRun run = measure("sweep.wav", "hostile.swp");
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find(kEndedEarly), std::string::npos) << run.out;

    // The same walk in this process, where every allocation is seen.
    sweep::SweepPlan plan = loadPlan(file("hostile.swp"));
    ASSERT_EQ(plan.params().toneLength, 441000000);
    wave::WaveFile recording;
    ASSERT_TRUE(recording.openRead(file("sweep.wav").c_str()));
    ASSERT_TRUE(recording.skipSamples(sweep::measurerLeadInSamples(plan.params())));
    largestAllocation = 0;
    const measurer::WalkOutcome outcome = measurer::walkRecording(plan, recording, [](const measurer::ToneBlock&) { return true; });
    EXPECT_EQ(outcome.end, measurer::WalkEnd::RecordingEnded);
    EXPECT_LT(largestAllocation.load(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace auralyn
