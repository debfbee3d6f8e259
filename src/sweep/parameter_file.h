#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "sweep/sweep_plan.h"

namespace auralyn::sweep {

// The sweep parameter file: an 11-byte magic, then the 136-byte record in
// little-endian order at fixed offsets (the record's in-memory layout on the
// original platform, padding included), 147 bytes in all.
inline constexpr std::size_t kParameterMagicSize = 11;
inline constexpr std::size_t kParameterRecordSize = 136;
inline constexpr std::size_t kParameterFileSize = kParameterMagicSize + kParameterRecordSize;
inline constexpr char kParameterMagic[] = "SWEEPPARAMS";

using ParameterRecordBytes = std::array<std::uint8_t, kParameterRecordSize>;

// The record alone, padding as zero bytes.
ParameterRecordBytes encodeParameterRecord(const SweepParameters& p);
// The whole file: magic followed by the record.
std::array<std::uint8_t, kParameterFileSize> encodeParameters(const SweepParameters& p);

// Decodes the 136 record bytes. Padding is ignored; a `locked` byte other than
// 0 or 1 was never written by any build and marks the file as foreign.
std::optional<SweepParameters> decodeParameterRecord(std::span<const std::uint8_t> record);
// Decodes a whole file image: at least 147 bytes starting with the magic;
// anything after the record is ignored. Does not judge the values.
std::optional<SweepParameters> decodeParameters(std::span<const std::uint8_t> file);

bool isParameterMagic(std::span<const std::uint8_t> bytes);

}  // namespace auralyn::sweep
