// The loop every reader's refusal test shares.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace auralyn::impedance::test {

// A broken file's text and a part of the message that must refuse it.
using RefusedText = std::pair<std::string, std::string>;

// Reads each text with `read` (istream -> a reading with ok() and error); each
// must be refused with a message that holds its part.
template <typename Read>
void expectEachRefused(const std::vector<RefusedText>& cases, Read read) {
    for (const auto& [text, expected] : cases) {
        std::istringstream in(text);
        const auto reading = read(in);
        EXPECT_FALSE(reading.ok()) << text;
        EXPECT_NE(reading.error.find(expected), std::string::npos) << reading.error;
    }
}

}  // namespace auralyn::impedance::test
