#include "platform/utc_time.h"

#include <string>

#include <gtest/gtest.h>

namespace auralyn::platform {
namespace {

TEST(UtcText, WritesTheMomentInUtc) {
    EXPECT_EQ(utcText(0, "%Y-%m-%dT%H:%M:%SZ"), "1970-01-01T00:00:00Z");
    // 1700000000 s: 14 November 2023, 22:13:20 UTC (date -u -d @1700000000).
    EXPECT_EQ(utcText(1700000000, "%Y-%m-%d %H:%M:%S UTC"), "2023-11-14 22:13:20 UTC");
    EXPECT_EQ(utcText(1700000000, "%Y-%m-%d"), "2023-11-14");
}

TEST(UtcText, TextTooLongForItsBufferIsEmpty) {
    const std::string format(70, 'x');
    EXPECT_EQ(utcText(0, format.c_str()), "");
}

}  // namespace
}  // namespace auralyn::platform
