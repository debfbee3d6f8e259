#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "calibration/profile.h"
#include "test_files.h"
#include "thrown_refusal.h"

namespace auralyn::calibration {
namespace {

InputCalibration someInput() {
    InputCalibration input;
    input.dbfsAt94DbSpl = -37.123456789012345;
    input.frequencyHz = 1000.25;
    input.toleranceDb = 0.4;
    input.readingStandardDb = 0.003;
    input.source = "calibrator recording cal.wav";
    input.date = "2026-12-09T07:00:00Z";
    input.sampleRateHz = 48000.0;
    input.inputDevice = "USB mic \"A\"";
    input.channel = 2;
    return input;
}

OutputCalibration someOutput() {
    OutputCalibration output;
    output.voltsRmsAtFullScale = 1.2345678901234567;
    output.frequencyHz = 1000.0;
    output.toleranceDb = 0.1;
    output.source = "voltmeter";
    output.sampleRateHz = 44100.0;
    output.outputDevice = "Line out";
    return output;
}

TEST(Profile, RoundTripKeepsEveryFieldExactly) {
    const CalibrationProfile profile{someInput(), someOutput()};
    const CalibrationProfile back = parseProfile(profileJson(profile), "p.json");
    ASSERT_TRUE(back.input && back.output);
    EXPECT_EQ(back.input->dbfsAt94DbSpl, profile.input->dbfsAt94DbSpl);
    EXPECT_EQ(back.input->frequencyHz, 1000.25);
    EXPECT_EQ(back.input->readingStandardDb, 0.003);
    EXPECT_FALSE(back.input->dbfsAt1Vrms);
    EXPECT_EQ(back.input->inputDevice, "USB mic \"A\"");
    EXPECT_EQ(back.input->channel, 2);
    EXPECT_EQ(back.output->voltsRmsAtFullScale, profile.output->voltsRmsAtFullScale);
    EXPECT_EQ(back.output->sampleRateHz, 44100.0);
    EXPECT_EQ(back.output->outputDevice, "Line out");
}

TEST(Profile, UpdateReplacesOneSideAndKeepsTheRest) {
    std::string text = profileJson(CalibrationProfile{someInput(), someOutput()});
    auto json = nlohmann::json::parse(text);
    json["note"] = "kept";
    text = json.dump();

    InputCalibration newer = someInput();
    newer.dbfsAt94DbSpl = -20.0;
    const std::string updated = updatedProfileJson(text, "p.json", CalibrationProfile{newer, std::nullopt});
    const CalibrationProfile back = parseProfile(updated, "p.json");
    EXPECT_EQ(back.input->dbfsAt94DbSpl, -20.0);
    ASSERT_TRUE(back.output);
    EXPECT_EQ(back.output->voltsRmsAtFullScale, someOutput().voltsRmsAtFullScale);
    EXPECT_EQ(nlohmann::json::parse(updated)["note"], "kept");

    const CalibrationProfile outputOnly = parseProfile(updatedProfileJson("", "new.json", {std::nullopt, someOutput()}), "new.json");
    EXPECT_FALSE(outputOnly.input);
    EXPECT_TRUE(outputOnly.output);
}

TEST(Profile, HostileProfilesNameTheField) {
    const std::string valid = profileJson(CalibrationProfile{someInput(), someOutput()});
    const auto with = [&](const char* side, const char* key, nlohmann::json value) {
        auto json = nlohmann::json::parse(valid);
        json[side][key] = value;
        return json.dump();
    };
    const struct {
        std::string text;
        const char* messagePart;
    } cases[] = {
        {"", "not a JSON text"},
        {"[1,2]", "not a calibration profile"},
        {"{\"input\": {}}", "not a calibration profile"},
        {"{\"auralyn_calibration_profile\": 2}", "another version"},
        {with("input", "dbfs_at_94_db_spl", "loud"), "input.dbfs_at_94_db_spl must be a number"},
        {with("input", "dbfs_at_94_db_spl", 1e300), "input.dbfs_at_94_db_spl is out of range"},
        {with("input", "tolerance_db", -1), "input.tolerance_db is out of range"},
        {with("output", "volts_rms_at_full_scale", 0), "output.volts_rms_at_full_scale is out of range"},
        {with("output", "volts_rms_at_full_scale", nullptr), "output.volts_rms_at_full_scale is missing"},
        {with("input", "input_device", 5), "input.input_device must be a string"},
        {with("input", "dbfs_at_94_db_spl", nullptr), "holds neither"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test::expectRefusal<ProfileError>([&] { parseProfile(c.text, "p.json"); }, [&](const ProfileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.messagePart), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("p.json", 0), 0u);
        });
    }
    EXPECT_THROW(updatedProfileJson("not json", "p.json", {someInput(), std::nullopt}), ProfileError);
}

TEST(Profile, WarnsForAnotherRateOrDevice) {
    const CalibrationProfile profile{someInput(), someOutput()};
    EXPECT_TRUE(profileWarnings(profile, {48000.0, "USB mic \"A\"", "Line out"}).size() == 1);  // output at 44.1 kHz
    EXPECT_TRUE(profileWarnings(profile, {std::nullopt, "", ""}).empty());
    const auto warnings = profileWarnings(profile, {96000.0, "Other mic", "Other out"});
    ASSERT_EQ(warnings.size(), 4u);
    EXPECT_NE(warnings[0].find("48000 Hz"), std::string::npos);
    EXPECT_NE(warnings[0].find("96000 Hz"), std::string::npos);
    EXPECT_NE(warnings[2].find("Other mic"), std::string::npos);
}

TEST(Profile, ReadsFromDiskAndRefusesMissingFiles) {
    test::TempDir dir;
    const std::string text = profileJson(CalibrationProfile{someInput(), std::nullopt});
    test::writeFileBytes(dir.file("p.json"), test::Bytes(text.begin(), text.end()));
    EXPECT_EQ(readProfile(dir.file("p.json")).input->dbfsAt94DbSpl, someInput().dbfsAt94DbSpl);
    EXPECT_THROW(readProfile(dir.file("none.json")), ProfileError);
    EXPECT_EQ(utcNow().size(), 20u);
}

}  // namespace
}  // namespace auralyn::calibration
