#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"
#include "wave/wave_file.h"

namespace auralyn::test {

// A test with a folder of its own for the files it builds byte by byte, and a
// wave file to open them with.
class WaveFolderTest : public ::testing::Test {
protected:
    std::string writeFile(const Bytes& bytes, const std::string& name = "in.wav") {
        const std::string path = dir_.file(name);
        writeFileBytes(path, bytes);
        return path;
    }

    TempDir dir_;
    wave::WaveFile wave_;
};

}  // namespace auralyn::test
