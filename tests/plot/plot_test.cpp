#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot/bode_plot.h"
#include "plot/measurement.h"
#include "plot/output_file.h"
#include "plot/plot_axes.h"
#include "plot/xml_text.h"

namespace auralyn::plot {
namespace {

std::size_t countOf(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

TEST(FrequencyAxis, EndsOnOneTwoFiveValues) {
    LogAxis axis = logAxisFor(20.0, 20000.0);
    EXPECT_DOUBLE_EQ(axis.low, 20.0);
    EXPECT_DOUBLE_EQ(axis.high, 20000.0);
    axis = logAxisFor(50.0, 16127.0);
    EXPECT_DOUBLE_EQ(axis.low, 50.0);
    EXPECT_DOUBLE_EQ(axis.high, 20000.0);
    axis = logAxisFor(1000.0, 1000.0);  // one tone: half an octave and more around it
    EXPECT_DOUBLE_EQ(axis.low, 500.0);
    EXPECT_DOUBLE_EQ(axis.high, 2000.0);
}

TEST(FrequencyAxis, TicksAndLabels) {
    const std::vector<FrequencyTick> ticks = frequencyTicks({20.0, 20000.0});
    // 20..90, 100..900, 1k..9k, 10k, 20k
    ASSERT_EQ(ticks.size(), 8u + 9u + 9u + 2u);
    EXPECT_DOUBLE_EQ(ticks.front().frequency, 20.0);
    EXPECT_TRUE(ticks.front().labelled);
    EXPECT_FALSE(ticks.front().decade);
    EXPECT_TRUE(ticks[8].decade);  // 100 Hz
    EXPECT_FALSE(ticks[1].labelled);  // 30 Hz
    EXPECT_EQ(frequencyLabel(20.0), "20");
    EXPECT_EQ(frequencyLabel(1000.0), "1k");
    EXPECT_EQ(frequencyLabel(2500.0), "2.5k");
    EXPECT_EQ(frequencyLabel(20000.0), "20k");
    // Six decades leave room for the decades' labels only.
    const std::vector<FrequencyTick> wide = frequencyTicks({1.0, 1e6});
    for (const FrequencyTick& tick : wide) EXPECT_EQ(tick.labelled, tick.decade) << tick.frequency;
}

TEST(ValueAxis, NiceStepsAroundTheData) {
    LinearAxis flat = linearAxisFor(0.0, 0.0, 6.0, false);
    EXPECT_LE(flat.low, -3.0);
    EXPECT_GE(flat.high, 3.0);
    EXPECT_DOUBLE_EQ(flat.step, 1.0);
    const LinearAxis magnitude = linearAxisFor(-12.3, 0.0, 6.0, false);
    EXPECT_DOUBLE_EQ(magnitude.step, 2.0);
    EXPECT_DOUBLE_EQ(magnitude.low, -14.0);
    EXPECT_DOUBLE_EQ(magnitude.high, 2.0);
    const LinearAxis phase = linearAxisFor(-170.0, 170.0, 90.0, true);
    EXPECT_DOUBLE_EQ(phase.step, 45.0);
    EXPECT_DOUBLE_EQ(phase.low, -225.0);
    EXPECT_DOUBLE_EQ(phase.high, 225.0);
    const LinearAxis longDelay = linearAxisFor(-20000.0, 0.0, 90.0, true);
    EXPECT_DOUBLE_EQ(longDelay.step, 5000.0);
}

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    EXPECT_EQ(plot::escapeXml("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
    EXPECT_EQ(plot::escapeXml("caf\xC3\xA9.wav"), "caf\xC3\xA9.wav");  // UTF-8 stays
    EXPECT_EQ(plot::escapeXml("caf\xE9.wav"), "caf?.wav");            // a Latin-1 byte does not
    EXPECT_EQ(plot::escapeXml("a\x01" "b\x7F"), "a?b\x7F");
    EXPECT_EQ(plot::escapeXml("\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80"), "?????????");  // overlong, surrogate, too high
    EXPECT_EQ(plot::escapeXml("\xE2\x82"), "??");  // cut short
}

plot::Report reportWith(std::initializer_list<plot::ReportTone> tones) {
    plot::Report report;
    report.inputFile = "speaker <left>.wav";
    report.sampleRate = 44100;
    report.tones = tones;
    return report;
}

TEST(BodePlot, OnePointPerToneAndSilentTonesLeftOut) {
    const plot::Report report = reportWith({{100.0, 32767.0, 1.0, 0.0, 0.0},
                                             {200.0, 0.0, 0.0, -INFINITY, 0.0},
                                             {400.0, 3276.7, 0.1, -20.0, -90.0},
                                             {800.0, 16383.5, 0.5, -6.0, -400.0}});
    const std::vector<std::optional<ResponsePoint>> points = responsePoints(report);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_FALSE(points[1].has_value());
    EXPECT_NEAR(points[2]->magnitudeDb, -20.0, 1e-12);
    EXPECT_NEAR(points[3]->magnitudeDb, -6.0206, 1e-4);

    const std::string svg = renderBodePlot(report, points);
    EXPECT_EQ(countOf(svg, "class=\"magnitude-point\""), 3u);
    EXPECT_EQ(countOf(svg, "class=\"phase-point\""), 3u);
    EXPECT_NE(svg.find("&quot;speaker &lt;left&gt;.wav&quot;, 44100 Hz"), std::string::npos);
    EXPECT_NE(svg.find("1 silent tones not drawn"), std::string::npos);
    EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
    // The curve is broken at the silent tone: two pieces in each panel.
    EXPECT_EQ(countOf(svg, "d=\"M"), 2u);
    EXPECT_EQ(countOf(svg, " M"), 2u);

    EXPECT_EQ(renderFrd(points), "100.00 0.0000 0.00\n400.00 -20.0000 -90.00\n800.00 -6.0206 -400.00\n");
}

ToneQuality toneAt(double frequency, std::optional<double> thd, std::optional<double> h2, std::optional<double> h3,
                   std::optional<double> noise) {
    ToneQuality tone;
    tone.frequency = frequency;
    tone.thdDb = thd;
    tone.harmonicDbc[0] = h2;
    tone.harmonicDbc[1] = h3;
    tone.noiseFloorDbfs = noise;
    return tone;
}

Curve flatCurve(std::size_t tones) {
    Curve curve{"dut.csv", {}, {}};
    for (std::size_t i = 0; i < tones; ++i) {
        const double frequency = 100.0 * std::pow(2.0, static_cast<double>(i));
        curve.points.push_back(ResponsePoint{frequency, -3.0, -10.0 * static_cast<double>(i)});
        curve.quality.push_back(toneAt(frequency, -40.0, -42.0, -50.0, -100.0));
    }
    return curve;
}

TEST(BodePlot, DistortionPanelDrawsEveryQuantityWithGapsWhereValuesAreMissing) {
    BodePlot plot;
    plot.curves.push_back(flatCurve(4));
    const std::string plain = renderBodePlot(plot);
    plot.distortion = true;
    std::vector<ToneQuality>& q = plot.curves[0].quality;
    q[1] = toneAt(200.0, std::nullopt, -44.0, std::nullopt, -101.0);
    q[3].harmonicDbc[1].reset();  // 3f above half the rate
    const std::string svg = renderBodePlot(plot);
    EXPECT_EQ(countOf(plain, "thd-point"), 0u);
    EXPECT_EQ(countOf(plain, "noise floor (dBFS)"), 0u);
    EXPECT_EQ(countOf(svg, "class=\"thd-point\""), 3u);
    EXPECT_EQ(countOf(svg, "class=\"h2-point\""), 4u);
    EXPECT_EQ(countOf(svg, "class=\"h3-point\""), 2u);
    EXPECT_EQ(countOf(svg, "class=\"noise-floor-point\""), 4u);
    EXPECT_EQ(countOf(svg, "class=\"magnitude-point\""), 4u);
    // Magnitude and phase one piece each; THD broken at tone 1, H3 at tones 1 and 3; H2 and the floor whole.
    EXPECT_EQ(countOf(svg, " d=\"M"), 2u + 4u);
    EXPECT_EQ(countOf(svg, " M"), 1u + 1u);
    EXPECT_EQ(countOf(svg, "L"), countOf(plain, "L") + 1u + 3u + 0u + 3u);
    EXPECT_NE(svg.find(">Distortion (dBc), noise floor (dBFS)</text>"), std::string::npos);
    for (const char* label : {">THD (dBc)<", ">H2 (dBc)<", ">H3 (dBc)<", ">Noise floor (dBFS)<"})
        EXPECT_EQ(countOf(svg, label), 1u) << label;
    EXPECT_EQ(countOf(svg, "clip-path=\"url(#clip-distortion)\""), 1u);
}

TEST(BodePlot, DenseSweepsKeepEveryToneInTheLineButFewerMarkers) {
    BodePlot plot;
    plot.distortion = true;
    Curve curve{"dense.csv", {}, {}};
    for (int i = 0; i < 240; ++i) {
        const double frequency = 20.0 * std::pow(2.0, i / 24.0);
        curve.points.push_back(ResponsePoint{frequency, 0.0, 0.0});
        curve.quality.push_back(toneAt(frequency, -40.0, -42.0, -50.0, -100.0));
    }
    plot.curves.push_back(curve);
    const std::string svg = renderBodePlot(plot);
    EXPECT_EQ(countOf(svg, "class=\"magnitude-point\""), 240u);
    EXPECT_EQ(countOf(svg, "class=\"thd-point\""), 60u);
    EXPECT_EQ(countOf(svg, "class=\"noise-floor-point\""), 60u);
    EXPECT_EQ(countOf(svg, "L"), 6u * 239u);  // six lines of 240 tones
}

TEST(BodePlot, UncertaintyBandsFollowRunsOfIntervalsAndBarsStandAlone) {
    BodePlot plot;
    plot.curves.push_back(flatCurve(5));
    std::vector<ToneQuality>& q = plot.curves[0].quality;
    for (std::size_t i : {0u, 1u, 3u}) {
        q[i].magnitudeU95Db = 0.5;
        q[i].phaseU95Deg = 3.0;
    }
    EXPECT_EQ(countOf(renderBodePlot(plot), "-band"), 0u);
    plot.uncertainty = true;
    plot.curves[0].points[4].reset();  // a silent tone has no interval to draw
    q[4].magnitudeU95Db = 0.5;
    const std::string svg = renderBodePlot(plot);
    EXPECT_EQ(countOf(svg, "<polygon class=\"magnitude-band\""), 1u);
    EXPECT_EQ(countOf(svg, "<line class=\"magnitude-band\""), 1u);
    EXPECT_EQ(countOf(svg, "<polygon class=\"phase-band\""), 1u);
    EXPECT_EQ(countOf(svg, "<line class=\"phase-band\""), 1u);
    EXPECT_NE(svg.find(">95 % interval</text>"), std::string::npos);
    // Bands lie under the curves.
    EXPECT_LT(svg.find("magnitude-band"), svg.find("magnitude-point"));

    // An interval of 1e300 dB (all noise, or a hostile file) is cut short, not printed in 300 digits.
    q[0].magnitudeU95Db = 1e300;
    q[3].phaseU95Deg = 1e300;
    const std::string wide = renderBodePlot(plot);
    EXPECT_LT(wide.size(), svg.size() + 100u);
    EXPECT_EQ(wide.rfind("</svg>\n"), wide.size() - 7);
}

TEST(OutputPaths, ExtensionIsReplacedOrAdded) {
    EXPECT_EQ(plot::withExtension("dir/report.txt", ".svg"), "dir/report.svg");
    EXPECT_EQ(plot::withExtension("dir.v2/report", ".frd"), "dir.v2/report.frd");
    EXPECT_EQ(plot::withExtension("a.b.txt", ".frd"), "a.b.frd");
}

}  // namespace
}  // namespace auralyn::plot
