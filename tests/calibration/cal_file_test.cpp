#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calibration/cal_file.h"
#include "test_files.h"
#include "thrown_refusal.h"

namespace auralyn::calibration {
namespace {

struct Dialect {
    const char* name;
    std::string text;
};

// The same three-row curve (20 Hz -1.5 dB, 1 kHz 0 dB, 20 kHz 2.25 dB) as
// the files in circulation write it.
std::vector<Dialect> dialects() {
    return {
        {"tabs with a star header", "*1000Hz\t-38.6\n20\t-1.5\n1000\t0\n20000\t2.25\n"},
        {"quoted Sens Factor header and spaces",
         "\"Sens Factor =-1.378dB, SERNO: 7007184\"\n20  -1.5\n1000  0.0\n20000  2.25\n"},
        {"Sens Factor without leading zero", "Sens Factor =.27710dB, SERNO: 8000123\n20 -1.5\n1000 0\n20000 2.25\n"},
        {"comma separated with column titles", "Frequency,dB\n20,-1.5\n1000,0\n20000,2.25\n"},
        {"comma and blank", "# exported\n20, -1.5\n1000, 0\n20000, 2.25\n"},
        {"semicolons", "; made by hand\n20;-1.5\n1000;0\n20000;2.25\n"},
        {"CR LF line ends and a byte order mark", "\xEF\xBB\xBF* mic\r\n20 -1.5\r\n1000 0\r\n20000 2.25\r\n"},
        {"blank lines, leading blanks, trailing comments",
         "\n   20 -1.5   # low\n\n\t1000 0 ; ref\n20000 2.25 dB\n\n"},
        {"spreadsheet quotes", "\"Freq\",\"dB\"\n\"20\",\"-1.5\"\n\"1000\",\"0\"\n\"20000\",\"2.25\"\n"},
        {"exponents and plus signs", "2e1 -1.5\n1.0E3 +0\n20000. 2.25\n"},
        {"no final line feed", "20 -1.5\n1000 0\n20000 2.25"},
        {"trailing separator", "20,-1.5,\n1000,0,\n20000,2.25,\n"},
    };
}

TEST(CalFile, EveryDialectGivesTheSameCurve) {
    for (const auto& dialect : dialects()) {
        SCOPED_TRACE(dialect.name);
        const CalCurve curve = parseCalText(dialect.text, "mic.txt");
        ASSERT_EQ(curve.points.size(), 3u);
        EXPECT_EQ(curve.points[0].frequencyHz, 20.0);
        EXPECT_EQ(curve.points[0].db, -1.5);
        EXPECT_EQ(curve.points[1].frequencyHz, 1000.0);
        EXPECT_EQ(curve.points[1].db, 0.0);
        EXPECT_EQ(curve.points[2].frequencyHz, 20000.0);
        EXPECT_EQ(curve.points[2].db, 2.25);
        EXPECT_FALSE(curve.points[0].phaseDeg);
    }
}

TEST(CalFile, HeadersGiveTheSensitivity) {
    const CalCurve star = parseCalText(dialects()[0].text, "a.txt");
    EXPECT_EQ(star.header.sensitivityDbv, -38.6);
    EXPECT_EQ(star.header.sensitivityFrequencyHz, 1000.0);
    EXPECT_EQ(star.header.line, 1);
    EXPECT_FALSE(star.header.sensFactorDb);

    const CalCurve sens = parseCalText(dialects()[1].text, "b.txt");
    EXPECT_EQ(sens.header.sensFactorDb, -1.378);
    EXPECT_EQ(sens.header.serialNumber, "7007184");
    EXPECT_FALSE(sens.header.sensitivityDbv);

    EXPECT_EQ(parseCalText(dialects()[2].text, "c.txt").header.sensFactorDb, 0.2771);
    EXPECT_FALSE(parseCalText("* 2019 calibration\n20 0\n30 0\n", "d.txt").header.sensitivityDbv);
}

TEST(CalFile, PhaseAndUncertaintyColumns) {
    const CalCurve curve = parseCalText("20 -1.5 10 0.4\n1000 0 0 0.2\n", "p.txt");
    ASSERT_EQ(curve.points.size(), 2u);
    EXPECT_EQ(curve.points[0].phaseDeg, 10.0);
    EXPECT_EQ(curve.points[0].u95Db, 0.4);
    EXPECT_EQ(curve.points[1].u95Db, 0.2);
    const CalCurve phase = parseCalText("20,-1.5,10\n1000,0,0\n", "q.txt");
    EXPECT_EQ(phase.points[0].phaseDeg, 10.0);
    EXPECT_FALSE(phase.points[0].u95Db);
}

struct Malformed {
    const char* text;
    int line;
    const char* reasonPart;
};

TEST(CalFile, MalformedFilesNameFileLineAndText) {
    const std::vector<Malformed> cases = {
        {"20 -1.5\n1000 --3.1221\n", 2, "malformed number \"--3.1221\""},
        {"20 -1.5\n1.2.3 0\n", 2, "malformed number \"1.2.3\""},
        {"20 -1,5\n1000 0,0\n", 1, "decimal comma"},
        {"20;-1,5\n1000;0\n", 1, "decimal comma"},
        {"20 -1.5\n1000 1e\n", 2, "malformed number \"1e\""},
        {"20 -1.5\n1000 0x10\n", 2, "malformed number \"0x10\""},
        {"20 -1.5\n1000\n", 2, "needs a frequency and a level"},
        {"20 -1.5\n1000 0 5\n", 2, "3 columns where line 1 has 2"},
        {"1000 0\n20 -1.5\n", 2, "must rise"},
        {"20 0\n20 1\n", 2, "repeated"},
        {"0 0\n20 1\n", 1, "above 0 Hz"},
        {"-20 0\n20 1\n", 1, "above 0 Hz"},
        {"20,,0\n30,1\n", 1, "empty field"},
        {"20 0 0 -1\n30 0 0 1\n", 1, "negative"},
        {"20 1 2 3 4\n30 1 2 3 4\n", 1, "more than four"},
        {"20 \xE2\x88\x92" "1\n30 0\n", 1, "unexpected text"},
        {"Sens Factor =--1.3dB\n20 0\n30 0\n", 1, "malformed Sens Factor"},
        {"Sens Factor -1.3dB\n20 0\n30 0\n", 1, "without \"=\""},
        {"*1000Hz -38.6.1\n20 0\n30 0\n", 1, "malformed sensitivity"},
        {"20 0\n30 1e999\n", 2, "malformed number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test::expectRefusal<CalFileError>([&] { parseCalText(c.text, "bad.txt"); }, [&](const CalFileError& error) {
            EXPECT_EQ(error.fileName(), "bad.txt");
            EXPECT_EQ(error.line(), c.line);
            const std::string message = error.what();
            EXPECT_NE(message.find("bad.txt line " + std::to_string(c.line)), std::string::npos) << message;
            EXPECT_NE(message.find(c.reasonPart), std::string::npos) << message;
            EXPECT_FALSE(error.text().empty());
        });
    }
}

TEST(CalFile, FilesWithoutEnoughPointsAreRefused) {
    for (const char* text : {"", "* only a comment\n", "20 0\n", "\x00\x01\x02 binary"}) {
        SCOPED_TRACE(text);
        try {
            parseCalText(text, "few.txt");
            ADD_FAILURE() << "accepted";
        } catch (const CalFileError& error) {
            EXPECT_EQ(error.line(), 0);
            EXPECT_EQ(std::string(error.what()).rfind("few.txt: ", 0), 0u) << error.what();
        }
    }
}

TEST(CalFile, ReadsFromDiskAndRefusesMissingAndHugeFiles) {
    test::TempDir dir;
    const std::string path = dir.file("cal.txt");
    test::writeFileBytes(path, test::Bytes{'2', '0', ' ', '1', '\n', '3', '0', ' ', '2', '\n'});
    EXPECT_EQ(readCalFile(path).points.size(), 2u);
    EXPECT_THROW(readCalFile(dir.file("missing.txt")), CalFileError);
    test::writeFileBytes(dir.file("huge.txt"), test::Bytes((9u << 20), '*'));
    EXPECT_THROW(readCalFile(dir.file("huge.txt")), CalFileError);
}

}  // namespace
}  // namespace auralyn::calibration
