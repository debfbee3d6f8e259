#include "platform/loaded_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <math.h>

// Declared only: no library defines it.
extern "C" double auralyn_absent_for_tests(double);

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

// Tables made as the libraries' own are: one that libm fills, and one it
// cannot, since its second function is declared here but defined nowhere.
#define AURALYN_BESSEL_FUNCTIONS(F) F(besselJ0, j0)
AURALYN_LOADED_LIBRARY(BesselApi, AURALYN_BESSEL_FUNCTIONS, "libm.so.6", "maths: ");

#define AURALYN_HALF_MISSING_FUNCTIONS(F) F(besselJ0, j0) F(absent, auralyn_absent_for_tests)
AURALYN_LOADED_LIBRARY(HalfMissingApi, AURALYN_HALF_MISSING_FUNCTIONS, "libm.so.6", "maths: ");

TEST(LoadedFunctions, FillsTheTableWhenEveryFunctionIsThere) {
    const LoadedFunctions<BesselApi> load = loadFunctions<BesselApi>();
    ASSERT_TRUE(load.ok()) << load.error;
    EXPECT_DOUBLE_EQ(load.api.besselJ0(0.0), 1.0);
    EXPECT_EQ(&loadedOnce<BesselApi>(), &loadedOnce<BesselApi>());
}

// A library lacking one function leaves no half-filled table to call into.
TEST(LoadedFunctions, MissingFunctionEmptiesTheTableAndNamesIt) {
    const LoadedFunctions<HalfMissingApi> load = loadFunctions<HalfMissingApi>();
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error, "maths: libm.so.6 has no auralyn_absent_for_tests");
    EXPECT_EQ(load.api.besselJ0, nullptr);
}

TEST(LoadedFunctions, MissingLibraryBeginsWithTheAdvice) {
    const LoadedFunctions<BesselApi> load = loadFunctions<BesselApi>(kAbsent);
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error.rfind("maths: ", 0), 0u) << load.error;
    EXPECT_NE(load.error.find(kAbsent), std::string::npos) << load.error;
}

}  // namespace
}  // namespace auralyn::platform
