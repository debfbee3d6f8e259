// How the impedance tests run auralyn on drivers and read what it measured.
#include "impedance_drivers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "program_runs.h"

namespace auralyn::test::drivers {

std::string Driver::description() const {
    std::ostringstream s;
    s << "Re=" << re << " Le=" << leMh << "mH fs=" << fs << " Qms=" << qms << " Qes=" << qes;
    return s.str();
}

std::complex<double> Driver::impedance(double f) const {
    const double ws = 2 * kPi * fs;
    const double ces = qes / (ws * re), les = 1 / (ws * ws * ces), res = qms / (ws * ces);
    const std::complex<double> jw(0.0, 2 * kPi * f);
    return re + jw * leMh * 1e-3 + 1.0 / (1.0 / res + jw * ces + 1.0 / (jw * les));
}

void makeSweep(const TempDir& dir) {
    const ProgramRun run = test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--rate", "16000", "--start", "10", "--end",
                                               "7000", "--step", "6", "--settling", "0.3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

void simulateDriver(const TempDir& dir, const std::string& out, const Driver& d, double rs,
                    std::vector<std::string> more) {
    std::vector<std::string> args{"simulate", "s.wav", out, "--driver", d.description(), "--sense-resistor",
                                  std::to_string(rs), "--gain", "-1", "--noise", "-90", "3"};
    args.insert(args.end(), more.begin(), more.end());
    const ProgramRun run = test::auralyn(dir, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

nlohmann::json readJson(const TempDir& dir, const std::string& name) {
    return nlohmann::json::parse(test::readFileText(dir.file(name)));
}

ProgramRun measureImpedance(const TempDir& dir, const std::string& recording, double rs, const std::string& json) {
    return test::auralyn(dir, {"impedance", recording, "s.swp", "--sense-resistor", std::to_string(rs), "--json", json,
                               "-o", json + ".zma"});
}

void expectImpedanceOf(const nlohmann::json& doc, const Driver& d) {
    std::size_t inside = 0, tones = 0;
    double worstOhms = 0.0, worstDegrees = 0.0;
    for (const nlohmann::json& t : doc["tones"]) {
        const double f = t["frequency_hz"].get<double>();
        const std::complex<double> z = d.impedance(f);
        const double ohms = t["impedance_ohm"].get<double>(), degrees = t["impedance_phase_deg"].get<double>();
        EXPECT_NEAR(ohms / std::abs(z), 1.0, 0.005) << f;
        const double phaseError = std::remainder(degrees - std::arg(z) * 180 / kPi, 360.0);
        EXPECT_LT(std::abs(phaseError), 0.5) << f;
        worstOhms = std::max(worstOhms, std::abs(ohms / std::abs(z) - 1.0));
        worstDegrees = std::max(worstDegrees, std::abs(phaseError));
        ++tones;
        inside += std::abs(ohms - std::abs(z)) <= t["impedance_u95_ohm"].get<double>() &&
                  std::abs(phaseError) <= t["impedance_phase_u95_deg"].get<double>();
    }
    EXPECT_GT(tones, 55u);
    EXPECT_GE(inside, 9 * tones / 10);
    std::printf("figure: %s: |Z| worst %.3f %%, phase worst %.3f deg, truth inside both intervals at %zu of %zu tones\n",
                d.description().c_str(), 100.0 * worstOhms, worstDegrees, inside, tones);
}

void expectParameters(const nlohmann::json& ts, const Driver& d) {
    ASSERT_EQ(ts["fit"]["verdict"], "good") << ts["fit"]["reason"];
    const nlohmann::json& p = ts["parameters"];
    const auto near = [&p](const char* key, double truth, double tolerance) {
        EXPECT_NEAR(p[key]["value"].get<double>() / truth, 1.0, tolerance) << key;
        EXPECT_GT(p[key]["u95"].get<double>(), 0.0) << key;
    };
    near("re_ohm", d.re, 0.01);
    near("fs_hz", d.fs, 0.005);
    near("qms", d.qms, 0.03);
    near("qes", d.qes, 0.03);
    near("qts", d.qts(), 0.03);
    near("le_mh", d.leMh, 0.03);
    const auto error = [&p](const char* key, double truth) { return 100.0 * (p[key]["value"].get<double>() / truth - 1.0); };
    std::printf("figure: %s: errors (%%) Re %+.3f fs %+.3f Qms %+.3f Qes %+.3f Qts %+.3f Le %+.3f\n",
                d.description().c_str(), error("re_ohm", d.re), error("fs_hz", d.fs), error("qms", d.qms),
                error("qes", d.qes), error("qts", d.qts()), error("le_mh", d.leMh));
    EXPECT_NEAR(ts["classic"]["fs_hz"]["value"].get<double>() / d.fs, 1.0, 0.01);
}

}  // namespace auralyn::test::drivers
