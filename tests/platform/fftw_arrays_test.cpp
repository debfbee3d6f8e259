#include "platform/fftw_arrays.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace auralyn::platform {
namespace {

TEST(FftwFunctions, MissingLibraryNamesThePackage) {
    const LoadedFunctions<FftwFunctions> load = loadFunctions<FftwFunctions>("libfftw3-absent-for-tests.so.3");
    EXPECT_EQ(load.error.rfind("transforms need FFTW (libfftw3-double3): ", 0), 0u) << load.error;
    const LoadedFunctions<FftwfFunctions> single = loadFunctions<FftwfFunctions>("libm.so.6");
    EXPECT_EQ(single.error, "transforms need FFTW (libfftw3-single3): libm.so.6 has no fftwf_malloc");
}

// Worked value: the DFT of 1, 2, 3, 4 is 10, -2 + 2i, -2.
TEST(FftwFunctions, LoadedLibrariesTransformInBothPrecisions) {
    auto x = fftwArray<double>(4);
    auto spectrum = fftwArray<fftw_complex>(3);
    fftw_plan plan = fftw().planDftR2c1d(4, x.get(), spectrum.get(), FFTW_ESTIMATE);
    for (int i = 0; i < 4; ++i) x[static_cast<std::size_t>(i)] = i + 1.0;
    fftw().execute(plan);
    fftw().destroyPlan(plan);
    EXPECT_DOUBLE_EQ(spectrum[0][0], 10.0);
    EXPECT_DOUBLE_EQ(spectrum[1][0], -2.0);
    EXPECT_DOUBLE_EQ(spectrum[1][1], 2.0);
    EXPECT_DOUBLE_EQ(spectrum[2][0], -2.0);

    auto xf = fftwfArray<float>(4);
    auto spectrumF = fftwfArray<fftwf_complex>(3);
    fftwf_plan planF = fftwf().planDftR2c1d(4, xf.get(), spectrumF.get(), FFTW_ESTIMATE);
    for (int i = 0; i < 4; ++i) xf[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
    fftwf().execute(planF);
    fftwf().destroyPlan(planF);
    EXPECT_FLOAT_EQ(spectrumF[1][1], 2.0f);
}

TEST(FftwFunctionsDeathTest, AMissingLibraryEndsTheProgramWithItsReason) {
    EXPECT_EXIT(loadedOrExit(loadFunctions<FftwFunctions>("libfftw3-absent-for-tests.so.3")), testing::ExitedWithCode(1),
                "auralyn: transforms need FFTW \\(libfftw3-double3\\)");
}

}  // namespace
}  // namespace auralyn::platform
