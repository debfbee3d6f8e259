#pragma once

#include <optional>
#include <vector>
#include <string>

#include "response/response.h"
#include "response/response_reader.h"

namespace auralyn::response::test {

// The folder the numpy reference script wrote its files to, made once per
// test run; empty (with the reason in `why`) where python3 or numpy is missing.
const std::string& referenceFolder(std::string& why);

// Reads one of the reference files; skips the calling test when there are none.
#define LOAD_REFERENCE(variable, file)                                                      \
    std::string variable##_why;                                                            \
    const std::string& variable##_folder = ::auralyn::response::test::referenceFolder(variable##_why); \
    if (variable##_folder.empty()) GTEST_SKIP() << variable##_why;                         \
    const ::auralyn::response::Response variable =                                         \
        ::auralyn::response::readResponseFile(variable##_folder + "/" + (file)).response

// The values of a carried column, by name.
std::vector<double> referenceColumn(const Response& response, const std::string& name);

}  // namespace auralyn::response::test
