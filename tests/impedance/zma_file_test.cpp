// ZMA files: the exact text written, round trips, and files that are not ZMA.
#include <gtest/gtest.h>

#include <complex>
#include <sstream>

#include "impedance/zma_file.h"
#include "refused_texts.h"

namespace auralyn::impedance {
namespace {

ImpedancePoint point(double f, double ohms, double degrees) {
    ImpedancePoint p;
    p.frequency = f;
    p.ohms = std::polar(ohms, degrees * 3.14159265358979323846 / 180.0);
    return p;
}

TEST(ZmaWriting, CommentsThenFourDecimalColumns) {
    std::ostringstream out;
    writeZma(out, {point(20.0, 6.5, 12.25), point(1000.5, 123.45678, -179.99999)},
                 {"Impedance of woofer.wav", "Unit: ohm, degree; Rs 10 \xE2\x84\xA6"});
    EXPECT_EQ(out.str(),
              "* Impedance of woofer.wav\n"
              "* Unit: ohm, degree; Rs 10 ???\n"
              "20.0000 6.5000 12.2500\n"
              "1000.5000 123.4568 180.0000\n");
}

TEST(ZmaReading, RoundTripsWhatItWrites) {
    const ImpedanceCurve curve = {point(10.0, 7.25, 0.5), point(38.0, 42.0, -3.0), point(20000.0, 61.0, 70.1234)};
    std::stringstream file;
    writeZma(file, curve, {"comment"});
    const ZmaReading r = readZma(file);
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.curve.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.curve[i].frequency, curve[i].frequency);
        EXPECT_NEAR(std::abs(r.curve[i].ohms), std::abs(curve[i].ohms), 1e-9);
        EXPECT_NEAR(std::arg(r.curve[i].ohms), std::arg(curve[i].ohms), 1e-9);
    }
}

TEST(ZmaReading, TakesOtherToolsFilesWithTabsCarriageReturnsAndBlankLines) {
    std::istringstream file("* from elsewhere\r\n\r\n10\t7.1\t-2.5\r\n  20 8.0 5 extra\r\n");
    const ZmaReading r = readZma(file);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.curve.size(), 2u);
}

TEST(ZmaReading, RefusesWhatIsNotAnImpedanceFileWithTheLine) {
    const std::vector<test::RefusedText> cases = {
        {"10 5 0\n5 5 0\n", "line 2"},             // descending
        {"10 5 0\n10 5 0\n", "line 2"},            // repeated
        {"* c\n10 -5 0\n", "line 2"},              // negative ohms
        {"10 5 190\n", "line 1"},                  // phase beyond 180
        {"0 5 0\n", "line 1"},                     // zero frequency
        {"10 5\n", "line 1"},                      // two columns
        {"10 5 nan\n", "line 1"},
        {"10,0 5,0 0,0\n", "line 1"},              // decimal commas
        {"RIFF\x01\x02 WAVE\n", "line 1"},
        {"* only comments\n", "no impedance lines"},
        {"", "no impedance lines"},
    };
    test::expectEachRefused(cases, [](std::istream& file) {
        ZmaReading r = readZma(file);
        EXPECT_TRUE(r.curve.empty());
        return r;
    });
}

}  // namespace
}  // namespace auralyn::impedance
