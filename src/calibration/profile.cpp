#include "calibration/profile.h"

#include <cmath>
#include <ctime>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/utc_time.h"

namespace auralyn::calibration {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;
constexpr const char* kFormatKey = "auralyn_calibration_profile";
constexpr std::uintmax_t kMaxProfileBytes = 1u << 20;

// Reads fields of one JSON object, naming the file and the field in errors.
class Fields {
public:
    Fields(const Json& object, std::string where) : object_(object), where_(std::move(where)) {
        if (!object_.is_object()) fail("", "must be an object");
    }

    double number(const char* key, double lowest, double highest) const {
        const auto value = optionalNumber(key, lowest, highest);
        if (!value) fail(key, "is missing");
        return *value;
    }

    std::optional<double> optionalNumber(const char* key, double lowest, double highest) const {
        if (!object_.contains(key) || object_[key].is_null()) return std::nullopt;
        if (!object_[key].is_number()) fail(key, "must be a number");
        const double value = object_[key].get<double>();
        if (!std::isfinite(value) || value < lowest || value > highest) fail(key, "is out of range");
        return value;
    }

    std::string text(const char* key) const {
        if (!object_.contains(key) || object_[key].is_null()) return {};
        if (!object_[key].is_string()) fail(key, "must be a string");
        return object_[key].get<std::string>();
    }

    [[noreturn]] void fail(const char* key, const std::string& problem) const {
        std::string field = where_;
        if (*key != '\0') field += std::string(".") + key;
        throw ProfileError(field + " " + problem);
    }

private:
    const Json& object_;
    std::string where_;
};

Json optionalJson(const std::optional<double>& value) { return value ? Json(*value) : Json(nullptr); }

Json inputJson(const InputCalibration& input) {
    Json json;
    json["dbfs_at_94_db_spl"] = optionalJson(input.dbfsAt94DbSpl);
    json["frequency_hz"] = input.frequencyHz;
    json["tolerance_db"] = input.toleranceDb;
    json["reading_u_db"] = input.readingStandardDb;
    json["dbfs_at_1_vrms"] = optionalJson(input.dbfsAt1Vrms);
    json["source"] = input.source;
    json["date"] = input.date;
    json["sample_rate_hz"] = optionalJson(input.sampleRateHz);
    json["input_device"] = input.inputDevice;
    json["channel"] = input.channel ? Json(*input.channel) : Json(nullptr);
    return json;
}

Json outputJson(const OutputCalibration& output) {
    Json json;
    json["volts_rms_at_full_scale"] = output.voltsRmsAtFullScale;
    json["frequency_hz"] = output.frequencyHz;
    json["tolerance_db"] = output.toleranceDb;
    json["source"] = output.source;
    json["date"] = output.date;
    json["sample_rate_hz"] = optionalJson(output.sampleRateHz);
    json["output_device"] = output.outputDevice;
    return json;
}

InputCalibration inputFrom(const Json& json, const std::string& where) {
    const Fields fields(json, where);
    InputCalibration input;
    input.dbfsAt94DbSpl = fields.optionalNumber("dbfs_at_94_db_spl", -300.0, 100.0);
    input.frequencyHz = fields.optionalNumber("frequency_hz", 1e-3, 1e6).value_or(1000.0);
    input.toleranceDb = fields.optionalNumber("tolerance_db", 0.0, 20.0).value_or(0.0);
    input.readingStandardDb = fields.optionalNumber("reading_u_db", 0.0, 20.0).value_or(0.0);
    input.dbfsAt1Vrms = fields.optionalNumber("dbfs_at_1_vrms", -300.0, 300.0);
    input.source = fields.text("source");
    input.date = fields.text("date");
    input.sampleRateHz = fields.optionalNumber("sample_rate_hz", 1.0, 1e7);
    input.inputDevice = fields.text("input_device");
    if (const auto channel = fields.optionalNumber("channel", 1.0, 65535.0)) input.channel = static_cast<int>(*channel);
    if (!input.dbfsAt94DbSpl && !input.dbfsAt1Vrms) fields.fail("", "holds neither dbfs_at_94_db_spl nor dbfs_at_1_vrms");
    return input;
}

OutputCalibration outputFrom(const Json& json, const std::string& where) {
    const Fields fields(json, where);
    OutputCalibration output;
    output.voltsRmsAtFullScale = fields.number("volts_rms_at_full_scale", 1e-9, 1e5);
    output.frequencyHz = fields.optionalNumber("frequency_hz", 1e-3, 1e6).value_or(1000.0);
    output.toleranceDb = fields.optionalNumber("tolerance_db", 0.0, 20.0).value_or(0.0);
    output.source = fields.text("source");
    output.date = fields.text("date");
    output.sampleRateHz = fields.optionalNumber("sample_rate_hz", 1.0, 1e7);
    output.outputDevice = fields.text("output_device");
    return output;
}

Json parsedObject(const std::string& text, const std::string& fileName) {
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) throw ProfileError(fileName + ": not a JSON text");
    if (!json.is_object() || !json.contains(kFormatKey)) {
        throw ProfileError(fileName + ": not a calibration profile (no \"" + std::string(kFormatKey) + "\")");
    }
    if (!json[kFormatKey].is_number_integer() || json[kFormatKey].get<long long>() != kFormatVersion) {
        throw ProfileError(fileName + ": a calibration profile of another version");
    }
    return json;
}

std::string differentRate(const char* side, double profileRate, double rate) {
    std::ostringstream text;
    text << "the profile's " << side << " side was made at " << profileRate << " Hz, this recording is at " << rate
         << " Hz";
    return text.str();
}

}  // namespace

std::string profileJson(const CalibrationProfile& profile) { return updatedProfileJson("", "profile", profile); }

CalibrationProfile parseProfile(const std::string& text, const std::string& fileName) {
    const Json json = parsedObject(text, fileName);
    CalibrationProfile profile;
    if (json.contains("input") && !json["input"].is_null()) profile.input = inputFrom(json["input"], fileName + ": input");
    if (json.contains("output") && !json["output"].is_null()) {
        profile.output = outputFrom(json["output"], fileName + ": output");
    }
    return profile;
}

CalibrationProfile readProfile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ProfileError(path + ": cannot open the calibration profile");
    std::string text;
    char buffer[4096];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxProfileBytes) throw ProfileError(path + ": too large for a calibration profile");
    }
    return parseProfile(text, path);
}

std::string updatedProfileJson(const std::string& existingText, const std::string& fileName,
                               const CalibrationProfile& sides) {
    Json json = existingText.empty() ? Json{{kFormatKey, kFormatVersion}} : parsedObject(existingText, fileName);
    if (sides.input) json["input"] = inputJson(*sides.input);
    if (sides.output) json["output"] = outputJson(*sides.output);
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::vector<std::string> profileWarnings(const CalibrationProfile& profile, const Setup& setup) {
    std::vector<std::string> warnings;
    if (profile.input && profile.input->sampleRateHz && setup.sampleRateHz &&
        *profile.input->sampleRateHz != *setup.sampleRateHz) {
        warnings.push_back(differentRate("input", *profile.input->sampleRateHz, *setup.sampleRateHz));
    }
    if (profile.output && profile.output->sampleRateHz && setup.sampleRateHz &&
        *profile.output->sampleRateHz != *setup.sampleRateHz) {
        warnings.push_back(differentRate("output", *profile.output->sampleRateHz, *setup.sampleRateHz));
    }
    if (profile.input && !profile.input->inputDevice.empty() && !setup.inputDevice.empty() &&
        profile.input->inputDevice != setup.inputDevice) {
        warnings.push_back("the profile's input was calibrated on \"" + profile.input->inputDevice +
                           "\", this measurement records from \"" + setup.inputDevice + "\"");
    }
    if (profile.output && !profile.output->outputDevice.empty() && !setup.outputDevice.empty() &&
        profile.output->outputDevice != setup.outputDevice) {
        warnings.push_back("the profile's output was calibrated on \"" + profile.output->outputDevice +
                           "\", this measurement plays on \"" + setup.outputDevice + "\"");
    }
    return warnings;
}

std::string utcNow() { return platform::utcText(std::time(nullptr), "%Y-%m-%dT%H:%M:%SZ"); }

}  // namespace auralyn::calibration
