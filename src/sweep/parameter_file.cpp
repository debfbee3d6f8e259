#include "sweep/parameter_file.h"

#include <bit>
#include <cstring>

namespace auralyn::sweep {
namespace {

// Offsets within the record (the file adds the 11-byte magic in front).
enum Offset : std::size_t {
    kLocked = 0,
    kStartFrequency = 8,
    kEndFrequency = 16,
    kFrequencyStep = 24,
    kMinToneDuration = 32,
    kSyncPulseDuration = 40,
    kSettlingTime = 48,
    kMaxTimeDrift = 56,
    kLeadInTime = 64,
    kSampleRate = 72,
    kMaxExtraSamples = 76,
    kMaxFractionalCycle = 80,
    kToneFrequency = 88,
    kTonesPerSyncPulse = 96,
    kToneIndex = 100,
    kToneLength = 104,
    kOctaveSweep = 108,
    kSyncPulseLevel = 112,
    kSyncThreshold = 120,
    kMinCyclesPerTone = 128,
};

void storeU32(ParameterRecordBytes& out, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void storeU64(ParameterRecordBytes& out, std::size_t at, std::uint64_t value) {
    for (std::size_t i = 0; i < 8; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void storeF64(ParameterRecordBytes& out, std::size_t at, double value) {
    storeU64(out, at, std::bit_cast<std::uint64_t>(value));
}

void storeI32(ParameterRecordBytes& out, std::size_t at, std::int32_t value) {
    storeU32(out, at, static_cast<std::uint32_t>(value));
}

std::uint32_t loadU32(std::span<const std::uint8_t> in, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{in[at + i]} << (8 * i);
    return value;
}

std::uint64_t loadU64(std::span<const std::uint8_t> in, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i) value |= std::uint64_t{in[at + i]} << (8 * i);
    return value;
}

double loadF64(std::span<const std::uint8_t> in, std::size_t at) {
    return std::bit_cast<double>(loadU64(in, at));
}

std::int32_t loadI32(std::span<const std::uint8_t> in, std::size_t at) {
    return static_cast<std::int32_t>(loadU32(in, at));
}

}  // namespace

ParameterRecordBytes encodeParameterRecord(const SweepParameters& p) {
    ParameterRecordBytes out{};
    out[kLocked] = p.locked ? 1 : 0;
    storeF64(out, kStartFrequency, p.startFrequency);
    storeF64(out, kEndFrequency, p.endFrequency);
    storeF64(out, kFrequencyStep, p.frequencyStep);
    storeF64(out, kMinToneDuration, p.minToneDuration);
    storeF64(out, kSyncPulseDuration, p.syncPulseDuration);
    storeF64(out, kSettlingTime, p.settlingTime);
    storeF64(out, kMaxTimeDrift, p.maxTimeDrift);
    storeF64(out, kLeadInTime, p.leadInTime);
    storeU32(out, kSampleRate, p.sampleRate);
    storeU32(out, kMaxExtraSamples, p.maxExtraSamples);
    storeF64(out, kMaxFractionalCycle, p.maxFractionalCycle);
    storeF64(out, kToneFrequency, p.toneFrequency);
    storeU32(out, kTonesPerSyncPulse, p.tonesPerSyncPulse);
    storeU32(out, kToneIndex, p.toneIndex);
    storeI32(out, kToneLength, p.toneLength);
    storeI32(out, kOctaveSweep, p.octaveSweep);
    storeF64(out, kSyncPulseLevel, p.syncPulseLevel);
    storeF64(out, kSyncThreshold, p.syncThreshold);
    storeU32(out, kMinCyclesPerTone, p.minCyclesPerTone);
    return out;
}

std::array<std::uint8_t, kParameterFileSize> encodeParameters(const SweepParameters& p) {
    std::array<std::uint8_t, kParameterFileSize> out{};
    std::memcpy(out.data(), kParameterMagic, kParameterMagicSize);
    const ParameterRecordBytes record = encodeParameterRecord(p);
    std::memcpy(out.data() + kParameterMagicSize, record.data(), record.size());
    return out;
}

std::optional<SweepParameters> decodeParameterRecord(std::span<const std::uint8_t> in) {
    if (in.size() < kParameterRecordSize) return std::nullopt;
    if (in[kLocked] > 1) return std::nullopt;
    SweepParameters p;
    p.locked = in[kLocked] == 1;
    p.startFrequency = loadF64(in, kStartFrequency);
    p.endFrequency = loadF64(in, kEndFrequency);
    p.frequencyStep = loadF64(in, kFrequencyStep);
    p.minToneDuration = loadF64(in, kMinToneDuration);
    p.syncPulseDuration = loadF64(in, kSyncPulseDuration);
    p.settlingTime = loadF64(in, kSettlingTime);
    p.maxTimeDrift = loadF64(in, kMaxTimeDrift);
    p.leadInTime = loadF64(in, kLeadInTime);
    p.sampleRate = loadU32(in, kSampleRate);
    p.maxExtraSamples = loadU32(in, kMaxExtraSamples);
    p.maxFractionalCycle = loadF64(in, kMaxFractionalCycle);
    p.toneFrequency = loadF64(in, kToneFrequency);
    p.tonesPerSyncPulse = loadU32(in, kTonesPerSyncPulse);
    p.toneIndex = loadU32(in, kToneIndex);
    p.toneLength = loadI32(in, kToneLength);
    p.octaveSweep = loadI32(in, kOctaveSweep);
    p.syncPulseLevel = loadF64(in, kSyncPulseLevel);
    p.syncThreshold = loadF64(in, kSyncThreshold);
    p.minCyclesPerTone = loadU32(in, kMinCyclesPerTone);
    return p;
}

bool isParameterMagic(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kParameterMagicSize &&
           std::memcmp(bytes.data(), kParameterMagic, kParameterMagicSize) == 0;
}

std::optional<SweepParameters> decodeParameters(std::span<const std::uint8_t> file) {
    if (file.size() < kParameterFileSize || !isParameterMagic(file)) return std::nullopt;
    return decodeParameterRecord(file.subspan(kParameterMagicSize, kParameterRecordSize));
}

}  // namespace auralyn::sweep
