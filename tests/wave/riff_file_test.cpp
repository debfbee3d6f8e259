#include <gtest/gtest.h>

#include <cstdio>

#include "wave/riff_file.h"
#include "wave_bytes.h"

namespace auralyn {
namespace {

using test::Bytes;

long positionOf(const wave::RiffFile& riff) { return std::ftell(riff.file()); }

class RiffFileTest : public ::testing::Test {
protected:
    std::string writeFile(const Bytes& bytes) {
        const std::string path = dir_.file("walk.wav");
        test::writeFileBytes(path, bytes);
        return path;
    }

    test::TempDir dir_;
};

Bytes twelveByteFile() {
    Bytes bytes;
    test::appendText(bytes, "RIFF");
    test::appendU32(bytes, 4);
    test::appendText(bytes, "WAVE");
    return bytes;
}

// RIFF (12) + "fmt " (12..36) + LIST of size field 26 at 36 + "data" at 70.
Bytes fileWithList() {
    Bytes info = test::chunk("INAM", test::Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n'});
    return test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)), test::listChunk("INFO", info),
                                    test::chunk("data", test::samples({1, 2}))}));
}

TEST_F(RiffFileTest, TwelveByteFileOpensAndHoldsNothing) {
    wave::RiffFile riff(writeFile(twelveByteFile()).c_str());
    ASSERT_NE(riff.file(), nullptr);
    EXPECT_EQ(positionOf(riff), 12);
    EXPECT_FALSE(riff.descend("fmt "));
    EXPECT_EQ(positionOf(riff), 12);
    EXPECT_STREQ(riff.chunkId(), "RIFF");
}

TEST_F(RiffFileTest, RootQueriesGiveIdSizeLessFourAndFormType) {
    const Bytes bytes = test::canonicalWave(1, 8000, {1, 2, 3});
    wave::RiffFile riff(writeFile(bytes).c_str());
    ASSERT_NE(riff.file(), nullptr);
    EXPECT_STREQ(riff.chunkId(), "RIFF");
    EXPECT_EQ(riff.chunkSize(), static_cast<std::int32_t>(test::loadU32(bytes, 4)) - 4);
    EXPECT_STREQ(riff.chunkFormType(), "WAVE");
    ASSERT_TRUE(riff.descend("data"));
    EXPECT_STREQ(riff.chunkId(), "data");
    EXPECT_EQ(riff.chunkSize(), 6);
    EXPECT_EQ(riff.chunkFormType(), nullptr);
    EXPECT_EQ(positionOf(riff), 44);
}

TEST_F(RiffFileTest, OddSizedChunkIncludesItsPadByte) {
    const Bytes bytes = test::riff(test::concat({test::chunk("odd ", Bytes{7, 8, 9}), test::chunk("next", Bytes{})}));
    ASSERT_EQ(bytes.size(), 32u);
    wave::RiffFile riff(writeFile(bytes).c_str());
    ASSERT_TRUE(riff.descend("odd "));
    EXPECT_EQ(riff.currentChunk()->start, 20);
    EXPECT_EQ(riff.currentChunk()->end, 24);
    EXPECT_EQ(riff.chunkSize(), 3);
    ASSERT_TRUE(riff.ascend());
    EXPECT_EQ(positionOf(riff), 24);
    ASSERT_TRUE(riff.descend("next"));
    EXPECT_EQ(riff.currentChunk()->start, 32);
}

TEST_F(RiffFileTest, ListChunkPositionsAndSearchInside) {
    wave::RiffFile riff(writeFile(fileWithList()).c_str());
    ASSERT_TRUE(riff.descend("LIST"));
    const wave::RiffChunk* list = riff.currentChunk();
    EXPECT_EQ(list->size, 22);
    EXPECT_STREQ(list->formType, "INFO");
    EXPECT_EQ(list->start, 48);
    EXPECT_EQ(list->end, 70);
    ASSERT_TRUE(riff.descend("INAM"));
    EXPECT_EQ(riff.chunkSize(), 14);
    EXPECT_EQ(positionOf(riff), 56);
    ASSERT_TRUE(riff.ascend());
    ASSERT_TRUE(riff.ascend());
    EXPECT_EQ(positionOf(riff), 70);
    EXPECT_FALSE(riff.ascend());
}

TEST_F(RiffFileTest, NamedSearchSkipsListWholeAndStartsAtFirstSubChunk) {
    wave::RiffFile riff(writeFile(fileWithList()).c_str());
    EXPECT_FALSE(riff.descend("INAM"));  // not a direct sub-chunk of the root
    EXPECT_EQ(positionOf(riff), 12);
    ASSERT_TRUE(riff.descend("data"));
    EXPECT_EQ(positionOf(riff), 78);
    ASSERT_TRUE(riff.ascend());
    ASSERT_TRUE(riff.descend("fmt "));  // behind the position: the search starts again
    EXPECT_EQ(positionOf(riff), 20);
}

TEST_F(RiffFileTest, DataBeforeFormatIsFound) {
    const Bytes bytes =
        test::riff(test::concat({test::chunk("data", test::samples({5})), test::chunk("fmt ", test::pcmFormat(1, 8000, 16))}));
    wave::RiffFile riff(writeFile(bytes).c_str());
    ASSERT_TRUE(riff.descend("fmt "));
    ASSERT_TRUE(riff.ascend());
    ASSERT_TRUE(riff.descend("data"));
    EXPECT_EQ(positionOf(riff), 20);
}

TEST_F(RiffFileTest, DescendWithoutNameWalksFromThePosition) {
    wave::RiffFile riff(writeFile(fileWithList()).c_str());
    ASSERT_TRUE(riff.descend());
    EXPECT_STREQ(riff.chunkId(), "fmt ");
    ASSERT_TRUE(riff.ascend());
    ASSERT_TRUE(riff.descend());
    EXPECT_STREQ(riff.chunkId(), "LIST");
    ASSERT_TRUE(riff.ascend());
    ASSERT_TRUE(riff.descend());
    EXPECT_STREQ(riff.chunkId(), "data");
    ASSERT_TRUE(riff.ascend());
    EXPECT_FALSE(riff.descend());
    EXPECT_EQ(positionOf(riff), 12);
}

TEST_F(RiffFileTest, ChunkBeyondTheDeclaredRiffEndIsNotFound) {
    Bytes bytes = test::riff(test::chunk("fmt ", test::pcmFormat(1, 8000, 16)));
    const Bytes data = test::chunk("data", test::samples({1, 2}));
    bytes.insert(bytes.end(), data.begin(), data.end());
    wave::RiffFile riff(writeFile(bytes).c_str());
    EXPECT_FALSE(riff.descend("data"));
    EXPECT_EQ(positionOf(riff), 12);
    EXPECT_STREQ(riff.chunkId(), "RIFF");
}

TEST_F(RiffFileTest, AscendFromRootFailsWithoutMoving) {
    wave::RiffFile riff(writeFile(fileWithList()).c_str());
    EXPECT_FALSE(riff.ascend());
    EXPECT_EQ(positionOf(riff), 12);
}

TEST_F(RiffFileTest, RewindReturnsToRootAlone) {
    wave::RiffFile riff(writeFile(fileWithList()).c_str());
    ASSERT_TRUE(riff.descend("LIST"));
    ASSERT_TRUE(riff.descend("INAM"));
    ASSERT_TRUE(riff.rewind());
    EXPECT_STREQ(riff.chunkId(), "RIFF");
    EXPECT_EQ(positionOf(riff), 12);
    EXPECT_FALSE(riff.ascend());
}

TEST_F(RiffFileTest, NonRiffFilesLeaveNoFile) {
    Bytes notRiff = twelveByteFile();
    notRiff[0] = 'X';
    Bytes shortHeader = twelveByteFile();
    shortHeader.resize(10);
    for (const Bytes& bytes : {notRiff, shortHeader, Bytes{}, Bytes{'R', 'I', 'F', 'F'}}) {
        wave::RiffFile riff(writeFile(bytes).c_str());
        EXPECT_EQ(riff.file(), nullptr);
        EXPECT_EQ(riff.chunkId(), nullptr);
        EXPECT_EQ(riff.chunkFormType(), nullptr);
        EXPECT_EQ(riff.chunkSize(), 0);
        EXPECT_FALSE(riff.descend("data"));
        EXPECT_FALSE(riff.ascend());
    }
    wave::RiffFile missing(dir_.file("missing.wav").c_str());
    EXPECT_EQ(missing.file(), nullptr);
}

// Hostile size fields: every search ends, none moves backwards.

TEST_F(RiffFileTest, NegativeChunkSizeEndsTheSearch) {
    for (std::uint32_t sizeField : {0xFFFFFFFFu, 0x80000000u, 0xFFFFFFF0u}) {
        const Bytes bytes = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                     test::chunkWithSizeField("junk", sizeField, Bytes{}),
                                                     test::chunk("data", test::samples({1}))}));
        wave::RiffFile riff(writeFile(bytes).c_str());
        ASSERT_TRUE(riff.descend("fmt "));
        ASSERT_TRUE(riff.ascend());
        EXPECT_FALSE(riff.descend("data")) << sizeField;
        EXPECT_EQ(positionOf(riff), 12);
        EXPECT_STREQ(riff.chunkId(), "RIFF");
    }
}

TEST_F(RiffFileTest, NegativeSizeOfTheSoughtChunkFailsToo) {
    const Bytes bytes = test::riff(test::chunkWithSizeField("data", 0xFFFFFFFEu, test::samples({1, 2})));
    wave::RiffFile riff(writeFile(bytes).c_str());
    EXPECT_FALSE(riff.descend("data"));
    EXPECT_FALSE(riff.descend());
    EXPECT_EQ(positionOf(riff), 12);
}

TEST_F(RiffFileTest, ListShorterThanItsFormTypeEndsTheSearch) {
    Bytes list;
    test::appendText(list, "LIST");
    test::appendU32(list, 2);  // contents would end inside its own header
    test::appendText(list, "INFO");
    const Bytes bytes = test::riff(test::concat({list, test::chunk("data", test::samples({1}))}));
    wave::RiffFile riff(writeFile(bytes).c_str());
    EXPECT_FALSE(riff.descend("data"));
    EXPECT_EQ(positionOf(riff), 12);
}

TEST_F(RiffFileTest, RootWithNegativeSizeOpensButHoldsNothing) {
    for (std::uint32_t sizeField : {0u, 3u, 0x80000000u, 0xFFFFFFFFu}) {
        Bytes bytes = test::canonicalWave(1, 8000, {1, 2});
        bytes[4] = static_cast<std::uint8_t>(sizeField);
        bytes[5] = static_cast<std::uint8_t>(sizeField >> 8);
        bytes[6] = static_cast<std::uint8_t>(sizeField >> 16);
        bytes[7] = static_cast<std::uint8_t>(sizeField >> 24);
        wave::RiffFile riff(writeFile(bytes).c_str());
        ASSERT_NE(riff.file(), nullptr) << sizeField;
        EXPECT_LT(riff.chunkSize(), 0);
        EXPECT_FALSE(riff.descend("fmt ")) << sizeField;
    }
}

TEST_F(RiffFileTest, HugeSizesSearchPastTheFileWithoutWrapping) {
    // Root claims the largest positive size; a chunk claims 2^31 - 1 bytes, so
    // its end lies past 2^31 and the search runs off the end of the file.
    Bytes bytes = test::riff(test::concat({test::chunkWithSizeField("big ", 0x7FFFFFFFu, Bytes{1, 2}),
                                           test::chunk("data", test::samples({1}))}));
    bytes[4] = 0xFF;
    bytes[5] = 0xFF;
    bytes[6] = 0xFF;
    bytes[7] = 0x7F;
    wave::RiffFile riff(writeFile(bytes).c_str());
    EXPECT_EQ(riff.chunkSize(), 0x7FFFFFFB);
    EXPECT_FALSE(riff.descend("data"));
    EXPECT_EQ(positionOf(riff), 12);
    ASSERT_TRUE(riff.descend("big "));
    EXPECT_EQ(riff.currentChunk()->start, 20);
    EXPECT_EQ(riff.currentChunk()->end, 0x7FFFFFFF);  // saturated: the true end is 2^31 + 20
    EXPECT_EQ(riff.chunkSize(), 0x7FFFFFFF);
}

TEST_F(RiffFileTest, HeaderCutShortEndsTheSearch) {
    Bytes bytes = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)), Bytes{'d', 'a', 't'}}));
    wave::RiffFile riff(writeFile(bytes).c_str());
    EXPECT_FALSE(riff.descend("data"));
    EXPECT_EQ(positionOf(riff), 12);
    EXPECT_TRUE(riff.descend("fmt "));  // the failed search left the stream usable
}

}  // namespace
}  // namespace auralyn
