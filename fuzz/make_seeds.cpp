// Writes the seed corpora of the two fuzz targets: valid WAV files and each
// unusual layout the chunk reader must handle, and sweep parameter files as the
// generator saves them. Usage: make_fuzz_seeds <folder>; creates <folder>/wave
// and <folder>/sweep.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "generator/parameter_dialogue.h"
#include "sweep/sweep_plan.h"
#include "wave_bytes.h"
#include "wave/wave_file.h"

namespace {

using auralyn::test::Bytes;
using auralyn::test::chunk;
using auralyn::test::concat;
using auralyn::test::chunkWithSizeField;
using auralyn::test::listChunk;
using auralyn::test::pcmFormat;
using auralyn::test::riff;
namespace fs = std::filesystem;

Bytes sine(std::size_t count) {
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) auralyn::test::appendU16(out, static_cast<std::uint16_t>((i % 8) * 4000 - 16000));
    return out;
}

void writeBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A file as the generator writes it, through the class itself.
bool writeGeneratedWave(const fs::path& path) {
    auralyn::wave::WaveFile out;
    if (!out.openWrite(path.string().c_str())) return false;
    out.setFormat(44100, 16, 1);
    out.setSampleRate(8000);
    for (int i = 0; i < 64; ++i) out.writeSample(static_cast<std::int16_t>(i * 500 - 16000));
    return out.close();
}

void writeWaveSeeds(const fs::path& dir) {
    const Bytes fmt = chunk("fmt ", pcmFormat(1, 8000, 16));
    const Bytes data = chunk("data", sine(24));
    const Bytes info = listChunk("INFO", concat({chunk("INAM", Bytes{'s', 'w', 'e', 'e', 'p'}), chunk("ICMT", Bytes{'o', 'k'})}));
    Bytes unfinished = riff(concat({fmt, chunk("data", Bytes{})}));
    const Bytes tail = sine(16);
    unfinished.insert(unfinished.end(), tail.begin(), tail.end());
    Bytes beyondEnd = riff(fmt);
    beyondEnd.insert(beyondEnd.end(), data.begin(), data.end());

    const std::vector<std::pair<std::string, Bytes>> seeds = {
        {"canonical.wav", riff(concat({fmt, data}))},
        {"stereo.wav", riff(concat({chunk("fmt ", pcmFormat(2, 48000, 16)), data}))},
        {"data-first.wav", riff(concat({data, fmt}))},
        {"list-between.wav", riff(concat({fmt, info, data}))},
        {"odd-chunk.wav", riff(concat({fmt, chunk("odd ", Bytes{1, 2, 3}), data}))},
        {"format-extension.wav", riff(concat({chunk("fmt ", pcmFormat(1, 8000, 16, 2)), data}))},
        {"format-extensible.wav", riff(concat({chunk("fmt ", pcmFormat(2, 96000, 16, 24)), data}))},
        {"never-finalised.wav", unfinished},
        {"beyond-riff-end.wav", beyondEnd},
        {"riff-only.wav", riff(Bytes{})},
        {"eight-bit.wav", riff(concat({chunk("fmt ", pcmFormat(1, 8000, 8)), chunk("data", Bytes{1, 2, 3})}))},
        {"format-empty.wav", riff(concat({chunk("fmt ", Bytes{}), data}))},
        {"format-short.wav", riff(concat({chunk("fmt ", Bytes(14, 1)), data}))},
        {"format-oversized.wav", riff(concat({chunkWithSizeField("fmt ", 0x7FFFFFF0u, pcmFormat(1, 8000, 16))}))},
        {"negative-chunk.wav", riff(concat({fmt, chunkWithSizeField("junk", 0xFFFFFFF0u, Bytes{}), data}))},
        {"list-too-small.wav", riff(concat({fmt, chunkWithSizeField("LIST", 2, Bytes{'I', 'N', 'F', 'O'}), data}))},
        {"nested-list.wav", riff(concat({fmt, listChunk("adtl", info), data}))},
        {"odd-data.wav", riff(concat({fmt, chunk("data", Bytes{1, 2, 3}), chunk("fact", Bytes{0, 0, 0, 0})}))},
        {"no-data.wav", riff(fmt)},
        {"not-wave.wav", riff(concat({fmt, data}), "AVI ")},
        // A recorder's metadata after the samples, and a data chunk that claims
        // fewer samples than follow it: neither is audio.
        {"list-after-data.wav", riff(concat({fmt, data, info}))},
        {"data-claims-less.wav", riff(concat({fmt, chunkWithSizeField("data", 20, sine(24))}))},
    };
    for (const auto& [name, bytes] : seeds) writeBytes(dir / name, bytes);
    writeGeneratedWave(dir / "generated.wav");
}

bool writePlan(const fs::path& path, const std::function<void(auralyn::sweep::SweepPlan&)>& configure, bool lock = true) {
    auralyn::sweep::SweepPlan plan;
    configure(plan);
    if (lock) plan.lock();
    std::FILE* out = std::fopen(path.string().c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = plan.writeParameters(out);
    return std::fclose(out) == 0 && written;
}

// The values the generator's dialogue stores when every question takes its default.
void dialogueDefaults(auralyn::sweep::SweepPlan& plan) { plan = auralyn::generator::planFromAnswers({}); }

void writeSweepSeeds(const fs::path& dir) {
    writePlan(dir / "defaults.swp", dialogueDefaults);
    writePlan(dir / "defaults-unlocked.swp", dialogueDefaults, false);
    writePlan(dir / "linear.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setSampleRate(44100);
        plan.setOctaveSweep(0);
        plan.setFrequencyStep(10);
        plan.setTonesPerSyncPulse(100);
    });
    writePlan(dir / "octave-coarse.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setSampleRate(96000);
        plan.setFrequencyStep(3);
        plan.setTonesPerSyncPulse(5);
        plan.setMaxFractionalCycle(0.01);
        plan.setMaxExtraSamples(3000);
    });
    writePlan(dir / "low-rate-extremes.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setSampleRate(8000);
        plan.setStartFrequency(0.1);
        plan.setEndFrequency(4000);
        plan.setFrequencyStep(5000);
        plan.setMinToneDuration(0);
        plan.setSettlingTime(1);
        plan.setMaxTimeDrift(1);
        plan.setMaxFractionalCycle(0);
        plan.setMaxExtraSamples(3000);
        plan.setSyncPulseLevel(10);
    });
    writePlan(dir / "linear-fine.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setSampleRate(8000);
        plan.setOctaveSweep(0);
        plan.setEndFrequency(200);
        plan.setFrequencyStep(0.01);
        plan.setTonesPerSyncPulse(1);
    });
    writePlan(dir / "single-tone.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setOctaveSweep(0);
        plan.setStartFrequency(1000);
        plan.setEndFrequency(1000);
        plan.setFrequencyStep(1e10);
        plan.setSyncPulseLevel(100);
    });
    writePlan(dir / "nyquist.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setOctaveSweep(0);
        plan.setStartFrequency(23000);
        plan.setEndFrequency(24000);
        plan.setFrequencyStep(500);
        plan.setMinToneDuration(1000);
    });
    writePlan(dir / "constructor-values.swp", [](auralyn::sweep::SweepPlan&) {});
    // Recordings of these once gave wrong reports: a pulse level below the
    // threshold, no drift allowance (blocks of whole cycles get a tail of -1),
    // and a first block of 441 million samples.
    writePlan(dir / "pulse-below-threshold.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setFrequencyStep(3);
        plan.setSyncPulseLevel(10);
    });
    writePlan(dir / "tail-minus-one.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setSampleRate(44100);
        plan.setOctaveSweep(0);
        plan.setStartFrequency(7350);
        plan.setEndFrequency(7360);
        plan.setFrequencyStep(10);
        plan.setMinToneDuration(0);
        plan.setMaxTimeDrift(0);
    });
    writePlan(dir / "block-of-millions.swp", [](auralyn::sweep::SweepPlan& plan) {
        dialogueDefaults(plan);
        plan.setSampleRate(44100);
        plan.setOctaveSweep(0);
        plan.setStartFrequency(0.001);
        plan.setEndFrequency(7360);
        plan.setFrequencyStep(10);
        plan.setSettlingTime(0);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    std::error_code error;
    fs::create_directories(root / "wave", error);
    fs::create_directories(root / "sweep", error);
    if (error) {
        std::fprintf(stderr, "cannot create %s\n", root.string().c_str());
        return 1;
    }
    writeWaveSeeds(root / "wave");
    writeSweepSeeds(root / "sweep");
    return 0;
}
