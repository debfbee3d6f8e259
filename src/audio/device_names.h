#pragma once

// Finding a device by the name the user typed, the same way on every system:
// the device of that exact name, or else the only one whose name contains it
// (case-insensitive).
#include <optional>
#include <span>
#include <string>

namespace auralyn::audio {

struct NameMatch {
    std::optional<std::size_t> position;  // into the names searched
    std::string error;                    // why there is none
};

// `names` are the devices of one direction ("input" or "output"); `wanted` is not empty.
NameMatch matchDeviceName(const std::string& wanted, std::span<const std::string> names, const char* direction);

}  // namespace auralyn::audio
