#include "platform/loaded_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace auralyn::platform {
namespace {

constexpr const char* kAbsent = "libauralyn-absent-for-tests.so.9";

TEST(LoadedLibrary, AbsentLibraryIsNotLoadedAndSaysWhy) {
    const LoadedLibrary library = loadLibrary(kAbsent);
    EXPECT_FALSE(library.loaded());
    EXPECT_NE(library.error.find(kAbsent), std::string::npos) << library.error;
    EXPECT_EQ(library.symbol("anything"), nullptr);
}

TEST(LoadedLibrary, ResolvesFunctionsOfAPresentLibrary) {
    const LoadedLibrary maths = loadLibrary("libm.so.6");
    ASSERT_TRUE(maths.loaded()) << maths.error;
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(maths.resolve("cos", cosine));
    EXPECT_DOUBLE_EQ(cosine(0.5), std::cos(0.5));
    double (*missing)(double) = &std::cos;
    EXPECT_FALSE(maths.resolve("auralyn_no_such_function", missing));
    EXPECT_EQ(missing, nullptr);
}

struct MathsApi {
    double (*cosine)(double) = nullptr;
    double (*sine)(double) = nullptr;
};

const char* resolveBoth(const LoadedLibrary& library, MathsApi& api) {
    if (!library.resolve("cos", api.cosine)) return "cos";
    if (!library.resolve("auralyn_sine", api.sine)) return "auralyn_sine";
    return nullptr;
}

const char* resolveCosineOnly(const LoadedLibrary& library, MathsApi& api) {
    return library.resolve("cos", api.cosine) ? nullptr : "cos";
}

TEST(LoadedFunctions, FillsTheTableWhenEveryFunctionIsThere) {
    const LoadedFunctions<MathsApi> load = loadFunctions("libm.so.6", "maths: ", resolveCosineOnly);
    ASSERT_TRUE(load.ok()) << load.error;
    EXPECT_DOUBLE_EQ(load.api.cosine(0.0), 1.0);
}

// A library lacking one function leaves no half-filled table to call into.
TEST(LoadedFunctions, MissingFunctionEmptiesTheTableAndNamesIt) {
    const LoadedFunctions<MathsApi> load = loadFunctions("libm.so.6", "maths: ", resolveBoth);
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error, "maths: libm.so.6 has no auralyn_sine");
    EXPECT_EQ(load.api.cosine, nullptr);
}

TEST(LoadedFunctions, MissingLibraryBeginsWithTheAdvice) {
    const LoadedFunctions<MathsApi> load = loadFunctions(kAbsent, "install it: ", resolveBoth);
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error.rfind("install it: ", 0), 0u) << load.error;
    EXPECT_NE(load.error.find(kAbsent), std::string::npos) << load.error;
}

}  // namespace
}  // namespace auralyn::platform
