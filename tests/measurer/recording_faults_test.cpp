// Recordings that once gave a complete-looking report of wrong numbers: sweeps
// made by the real tonesmith, played through the simulated device, measured by
// the real echoprobe. Each must now be refused with the message that names
// its cause, while its near neighbours still measure.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "devicesim/wave_through_device.h"
#include "run_program.h"
#include "test_files.h"

namespace auralyn {
namespace {

namespace sim = devicesim;
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

Recording withSilenceAppended(Recording r, double seconds) {
    r.samples.resize(r.samples.size() + static_cast<std::size_t>(seconds * r.rate), 0);
    return r;
}

TEST_F(RecordingFaults, APulseLevelBelowTheThresholdIsRefusedNotMeasured) {
    // A piped "y10" answers the pulse level with 10 %.
    makeSweep("\n\n\n\n3\n\n\n\ny10\n\n\n\n\n");
    expectRefused("sweep.wav", kPulseNotFound);
    save("padded.wav", withSilenceAppended(load("sweep.wav"), 1.0));
    expectRefused("padded.wav", kPulseNotFound);
}

}  // namespace
}  // namespace auralyn
