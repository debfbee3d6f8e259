#pragma once

#include <optional>
#include <string>
#include <vector>

#include "response/response.h"
#include "response/response_table.h"

namespace auralyn::cli {

// Where `auralyn process` writes, and how the phase is written: continuous
// in CSV and JSON, wrapped in FRD, unless --phase says.
struct ProcessOutputs {
    std::string csv, json, frd;
    std::optional<std::string> phase;  // "wrapped" or "unwrapped"
};

// Every output the outputs name, each under a temporary name; all are
// renamed into place only when every one was written whole. False, with a
// message on standard error naming the file, otherwise (nothing is left).
bool writeProcessOutputs(const ProcessOutputs& outputs, const response::Response& response,
                         const std::vector<response::SummaryField>& summary, const std::string& frdComment);

// False with a message (exit 2) when no output is named, or when an output
// would overwrite an input or another output.
bool checkProcessOutputs(const ProcessOutputs& outputs, const std::vector<std::string>& inputs, std::string& error);

}  // namespace auralyn::cli
