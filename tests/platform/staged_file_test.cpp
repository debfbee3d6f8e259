// Outputs appear whole or not at all, and devices are written, never replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/staged_file.h"
#include "test_files.h"

namespace auralyn::platform {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
}

TEST(StagedFile, AppearsUnderItsNameOnlyWhenCommitted) {
    test::TempDir dir;
    const std::string target = dir.file("out.csv");
    test::writeFileBytes(target, {'o', 'l', 'd'});
    std::string error;
    {
        StagedFile file(target);
        EXPECT_NE(file.writePath(), target);
        ASSERT_TRUE(writeStagedText(file, "new\n", error)) << error;
        EXPECT_EQ(test::readFileText(target), "old");
        ASSERT_TRUE(file.commit(error)) << error;
    }
    EXPECT_EQ(test::readFileText(target), "new\n");
    EXPECT_EQ(entries(dir.path()), 1u);
    {
        StagedFile abandoned(target);
        ASSERT_TRUE(writeStagedText(abandoned, "half", error));
    }
    EXPECT_EQ(test::readFileText(target), "new\n");
    EXPECT_EQ(entries(dir.path()), 1u);
}

// "link.txt" pointing at "real.txt", which holds "a".
void makeLinkToRealFile(const test::TempDir& dir) {
    test::writeFileBytes(dir.file("real.txt"), {'a'});
    fs::create_symlink("real.txt", dir.file("link.txt"));
}

TEST(StagedFile, ALinkKeepsPointingAtTheReplacedFile) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need privileges on Windows";
#endif
    test::TempDir dir;
    makeLinkToRealFile(dir);
    StagedFile file(dir.file("link.txt"));
    std::string error;
    ASSERT_TRUE(writeStagedText(file, "b", error));
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(test::readFileText(dir.file("real.txt")), "b");
}

TEST(StagedFile, ALinkWrittenThroughIsWrittenInPlace) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need privileges on Windows";
#endif
    test::TempDir dir;
    makeLinkToRealFile(dir);
    StagedFile file(dir.file("link.txt"), LinkedFile::writtenThrough);
    EXPECT_EQ(file.writePath(), dir.file("link.txt"));
    std::string error;
    ASSERT_TRUE(writeStagedText(file, "b", error));
    EXPECT_EQ(test::readFileText(dir.file("real.txt")), "b");
    file.discard();
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(test::readFileText(dir.file("real.txt")), "b");
}

TEST(StagedFile, AFolderIsOpenedAsItIsAndFails) {
    test::TempDir dir;
    fs::create_directory(dir.file("sub"));
    StagedFile file(dir.file("sub"));
    EXPECT_EQ(file.writePath(), dir.file("sub"));
    std::string error;
    EXPECT_FALSE(writeStagedText(file, "x", error));
    EXPECT_TRUE(fs::is_directory(dir.file("sub")));
}

TEST(StagedFile, AMovedFileKeepsItsTemporaryAndAReplacedOneIsRemoved) {
    test::TempDir dir;
    StagedFile first(dir.file("a.txt"));
    std::string error;
    ASSERT_TRUE(writeStagedText(first, "a", error));
    StagedFile moved(std::move(first));
    EXPECT_TRUE(fs::exists(moved.writePath()));
    moved = StagedFile(dir.file("b.txt"));
    EXPECT_EQ(entries(dir.path()), 0u);
}

#ifndef _WIN32
TEST(StagedFile, DevicesAreWrittenDirectlyAndAFullOneFails) {
    StagedFile null("/dev/null");
    EXPECT_EQ(null.writePath(), "/dev/null");
    std::string error;
    EXPECT_TRUE(writeStagedText(null, "anything", error));
    EXPECT_TRUE(null.commit(error));
    EXPECT_TRUE(fs::exists("/dev/null"));

    test::TempDir dir;
    fs::create_symlink("/dev/full", dir.file("full.json"));
    StagedFile full(dir.file("full.json"));
    EXPECT_FALSE(writeStagedText(full, std::string(100000, 'x'), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_symlink(dir.file("full.json")));
}
#endif

TEST(StagedFile, SamePlaceSeesThroughSpellingsOfOnePath) {
    test::TempDir dir;
    test::writeFileBytes(dir.file("a.wav"), {});
    EXPECT_TRUE(samePlace(dir.file("a.wav"), (dir.path() / "." / "a.wav").string()));
    EXPECT_TRUE(samePlace(dir.file("new.txt"), (dir.path() / "x" / ".." / "new.txt").string()));
    EXPECT_FALSE(samePlace(dir.file("a.wav"), dir.file("a.swp")));
}

}  // namespace
}  // namespace auralyn::platform
