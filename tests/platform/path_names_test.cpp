#include "platform/path_names.h"

#include <gtest/gtest.h>

namespace auralyn::platform {
namespace {

TEST(PathOffsets, ReportTheNameAndExtensionAsTheFileDialogsDo) {
    EXPECT_EQ(pathOffsets("sweep.wav").file, 0);
    EXPECT_EQ(pathOffsets("sweep.wav").extension, 6);
    EXPECT_EQ(pathOffsets("/tmp/a/take1.dat").file, 7);
    EXPECT_EQ(pathOffsets("/tmp/a/take1.dat").extension, 13);
}

TEST(PathOffsets, NameWithoutDotPointsAtTheEnd) {
    EXPECT_EQ(pathOffsets("sweep").extension, 5);
    // A dot in a folder name is no extension.
    EXPECT_EQ(pathOffsets("runs.old/sweep").extension, 14);
    EXPECT_EQ(pathOffsets("runs.old/sweep").file, 9);
}

TEST(PathOffsets, NameEndingInADotGivesZero) {
    EXPECT_EQ(pathOffsets("sweep.").extension, 0);
    EXPECT_EQ(pathOffsets("a/b.").extension, 0);
}

TEST(WithoutExtension, CutsAtTheDotOfTheExtension) {
    EXPECT_EQ(withoutExtension("sweep.wav", 6), "sweep");
    EXPECT_EQ(withoutExtension("take1.dat", 6), "take1");
    EXPECT_EQ(withoutExtension("/tmp/a/take1.dat", 13), "/tmp/a/take1");
    EXPECT_EQ(withoutExtension("archive.tar.gz", 12), "archive.tar");
}

TEST(WithoutExtension, KeepsTheWholePathForOffsetZeroOrTheLength) {
    EXPECT_EQ(withoutExtension("sweep.wav", 0), "sweep.wav");
    EXPECT_EQ(withoutExtension("sweep", 5), "sweep");
    EXPECT_EQ(withoutExtension("sweep.", 0), "sweep.");
    EXPECT_EQ(withoutExtension("sweep", 200), "sweep");
}

TEST(BaseName, IsTheNameWithoutFolderAndExtension) {
    EXPECT_EQ(baseName("/tmp/a/take1.dat", 7, 13), "take1");
    EXPECT_EQ(baseName("take1.dat", 0, 6), "take1");
    EXPECT_EQ(baseName("/tmp/take1", 5, 10), "take1");
    EXPECT_EQ(baseName("/tmp/take1.", 5, 0), "take1.");
    EXPECT_EQ(baseName("/tmp/", 5, 5), "");
    EXPECT_EQ(baseName("x", 9, 1), "");
}

TEST(OutputPaths, ExtensionIsReplacedOrAdded) {
    EXPECT_EQ(withExtension("dir/report.txt", ".svg"), "dir/report.svg");
    EXPECT_EQ(withExtension("dir.v2/report", ".frd"), "dir.v2/report.frd");
    EXPECT_EQ(withExtension("a.b.txt", ".frd"), "a.b.frd");
}

}  // namespace
}  // namespace auralyn::platform
