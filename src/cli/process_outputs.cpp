#ifdef AURALYN_HAVE_PROCESS
#include "cli/process_outputs.h"

#include <memory>

#include "cli/diagnostics.h"
#include "platform/staged_file.h"
#include "response/frequency_table.h"

namespace auralyn::cli {
namespace {

struct Pending {
    std::string path;
    std::string text;
};

std::vector<Pending> renderOutputs(const ProcessOutputs& outputs, const response::Response& r,
                                   const std::vector<response::SummaryField>& summary, const std::string& comment) {
    const bool unwrapped = outputs.phase.value_or("unwrapped") == "unwrapped";
    std::vector<Pending> pending;
    if (!outputs.csv.empty()) pending.push_back({outputs.csv, response::csvText(response::csvColumns(r, unwrapped))});
    if (!outputs.json.empty())
        pending.push_back({outputs.json, response::jsonText(summary, response::responseColumns(r, unwrapped))});
    if (!outputs.frd.empty()) {
        const bool frdUnwrapped = outputs.phase.value_or("wrapped") == "unwrapped";
        pending.push_back({outputs.frd, response::frdText(r, {comment}, frdUnwrapped)});
    }
    return pending;
}

}  // namespace

bool checkProcessOutputs(const ProcessOutputs& outputs, const std::vector<std::string>& inputs, std::string& error) {
    std::vector<std::string> named;
    for (const std::string* path : {&outputs.csv, &outputs.json, &outputs.frd})
        if (!path->empty()) named.push_back(*path);
    if (named.empty()) {
        error = "give at least one output: --csv, --json or --frd";
        return false;
    }
    for (std::size_t i = 0; i < named.size(); ++i) {
        for (const std::string& input : inputs) {
            if (!platform::samePlace(named[i], input)) continue;
            error = named[i] + ": the output would overwrite the input " + input;
            return false;
        }
        for (std::size_t j = i + 1; j < named.size(); ++j) {
            if (!platform::samePlace(named[i], named[j]) || platform::isDevice(named[i])) continue;
            error = named[i] + ": two outputs would overwrite each other";
            return false;
        }
    }
    return true;
}

bool writeProcessOutputs(const ProcessOutputs& outputs, const response::Response& response,
                         const std::vector<response::SummaryField>& summary, const std::string& frdComment) {
    const std::vector<Pending> pending = renderOutputs(outputs, response, summary, frdComment);
    std::vector<std::unique_ptr<platform::StagedFile>> files;
    for (const Pending& output : pending) {
        files.push_back(std::make_unique<platform::StagedFile>(output.path));
        std::string error;
        if (platform::writeStagedText(*files.back(), output.text, error)) continue;
        printDiagnostic(output.path + ": could not be written: " + error);
        return false;
    }
    for (const std::unique_ptr<platform::StagedFile>& file : files) {
        std::string error;
        if (file->commit(error)) continue;
        printDiagnostic(file->target() + ": could not be written: " + error);
        return false;
    }
    return true;
}

}  // namespace auralyn::cli

#endif
