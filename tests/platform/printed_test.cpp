#include "platform/printed.h"

#include <string>

#include <gtest/gtest.h>

namespace auralyn::platform {
namespace {

TEST(Printed, FormatsAsPrintfDoes) {
    EXPECT_EQ(printed("%.4f", -1.23456), "-1.2346");
    EXPECT_EQ(printed("%g", 20000.0), "20000");
    EXPECT_EQ(printed("%.6g Hz", 1234.56789), "1234.57 Hz");
    EXPECT_EQ(printed("%gk", 2.5), "2.5k");
    EXPECT_EQ(printed("%s", ""), "");
}

TEST(Printed, TextLongerThanAnyLineBufferIsKeptWhole) {
    const std::string word(5000, 'x');
    const std::string text = printed("%s %.17g", word.c_str(), 0.1);
    EXPECT_EQ(text, word + " 0.10000000000000001");
}

}  // namespace
}  // namespace auralyn::platform
