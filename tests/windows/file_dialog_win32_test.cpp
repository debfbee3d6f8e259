// The Windows file questions and message boxes, against scripted stand-ins of the
// common dialogs: the record each dialog receives, what carries over from one
// dialog to the next, and the console questions taking over when standard input
// is redirected.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

#include "generator/parameter_dialogue.h"
#include "tonesmith/tonesmith_driver.h"
#include "echoprobe/measurer_driver.h"
#include "platform/console.h"
#include "platform/file_dialog.h"
#include "sweep/sweep_plan.h"
#include "test_files.h"
#include "wave/wave_file.h"
#include "win32_fakes.h"

namespace auralyn {
namespace {

using platform::DialogSettings;
using platform::FileDialog;
using test::TempDir;
using namespace test::win32;
using echoprobe::OutputFile;
using echoprobe::selectFiles;
using tonesmith::OutputFiles;
using tonesmith::selectOutputFiles;

const char kWaveFilter[] = "Wave Files (*.wav)\0*.wav\0All Files (*.*)\0*\0";
const char kParameterFilter[] = "Sweep Parameter Files (*.swp)\0*.swp\0All Files (*.*)\0*\0";
const char kTextFilter[] = "Text Files (*.txt)\0*.txt\0All Files (*.*)\0*\0";

// The record without the Windows 2000 additions: 76 bytes in 32-bit programs,
// 136 in 64-bit ones, where its eleven pointers are twice as wide.
constexpr DWORD kRecordSize = sizeof(void*) == 8 ? 136 : 76;

// The filter list as the dialog reads it: every string with its zero, without the final one.
std::string filterText(const char* filter, std::size_t size) { return std::string(filter, size - 1); }

// A dialog's acceptance of `folder\name`, with the offsets a real dialog reports.
DialogAnswer accepted(const std::string& folder, const std::string& name) {
    DialogAnswer answer;
    answer.path = folder + "\\" + name;
    answer.fileOffset = static_cast<WORD>(folder.size() + 1);
    const std::size_t dot = name.rfind('.');
    answer.extensionOffset = static_cast<WORD>(dot == std::string::npos ? answer.path.size() : folder.size() + 2 + dot);
    return answer;
}

DialogAnswer cancelled(DWORD extendedError = 0) {
    DialogAnswer answer;
    answer.accept = false;
    answer.extendedError = extendedError;
    return answer;
}

// Fresh fakes for each test, standard input of the given kind, a scratch folder.
template <StandardInput (*standardInput)()>
class FakeWindows : public ::testing::Test {
protected:
    void SetUp() override {
        resetFakes();
        fakes().standardInput = standardInput();
    }
    void TearDown() override { resetFakes(); }

    TempDir dir;
};

class Win32Dialogs : public FakeWindows<console> {
protected:
    std::string folder = dir.path().string();
};

TEST_F(Win32Dialogs, RecordStartsEmptyWithTheFixedFields) {
    fakes().answers.push_back(accepted("C:\\data", "sweep.wav"));
    FileDialog dialog;
    const DialogSettings settings{"Enter a name for the output wave file", kWaveFilter, "wav", 0x8002};
    ASSERT_TRUE(dialog.askSave(settings));

    ASSERT_EQ(fakes().dialogs.size(), 1u);
    const DialogCall& call = fakes().dialogs[0];
    EXPECT_TRUE(call.save);
    EXPECT_EQ(call.record.lStructSize, kRecordSize);
    EXPECT_EQ(call.record.hwndOwner, nullptr);
    EXPECT_EQ(call.record.hInstance, nullptr);
    EXPECT_EQ(call.record.lpstrCustomFilter, nullptr);
    EXPECT_EQ(call.record.lpstrFileTitle, nullptr);
    EXPECT_EQ(call.record.lpstrInitialDir, nullptr);
    EXPECT_EQ(call.record.nFilterIndex, 0u);
    EXPECT_EQ(call.record.nMaxFile, 600u);
    EXPECT_EQ(call.pathOnEntry, "");
    EXPECT_EQ(call.record.Flags, 0x8002u);
    EXPECT_EQ(call.title, "Enter a name for the output wave file");
    EXPECT_EQ(call.filter, filterText(kWaveFilter, sizeof kWaveFilter));
    EXPECT_EQ(call.defaultExtension, "wav");

    EXPECT_STREQ(dialog.path(), "C:\\data\\sweep.wav");
    EXPECT_EQ(dialog.fileOffset(), 8);
    EXPECT_EQ(dialog.extensionOffset(), 14);
}

TEST_F(Win32Dialogs, OneRecordCarriesPathOffsetsAndFilterIndexToTheNextDialog) {
    DialogAnswer first = accepted("C:\\data", "sweep.wav");
    first.filterIndex = 2;
    fakes().answers.push_back(first);
    fakes().answers.push_back(cancelled());
    FileDialog dialog;
    ASSERT_TRUE(dialog.askSave({"first", kWaveFilter, "wav", 0x8002}));
    dialog.setPath("C:\\data\\sweep");
    EXPECT_FALSE(dialog.askOpen({"second", kParameterFilter, nullptr, 0x1000}));

    ASSERT_EQ(fakes().dialogs.size(), 2u);
    const DialogCall& second = fakes().dialogs[1];
    EXPECT_FALSE(second.save);
    EXPECT_EQ(second.address, fakes().dialogs[0].address);
    EXPECT_EQ(second.pathOnEntry, "C:\\data\\sweep");
    EXPECT_EQ(second.record.nFileOffset, 8);
    EXPECT_EQ(second.record.nFileExtension, 14);
    EXPECT_EQ(second.record.nFilterIndex, 2u);
    EXPECT_EQ(second.record.Flags, 0x1000u);
    EXPECT_EQ(second.title, "second");
    EXPECT_EQ(second.filter, filterText(kParameterFilter, sizeof kParameterFilter));
    EXPECT_FALSE(second.defaultExtension.has_value());
}

TEST_F(Win32Dialogs, OffsetsAreTheDialogsOwn) {
    DialogAnswer answer;
    answer.path = "C:\\data\\take.";
    answer.fileOffset = 8;
    answer.extensionOffset = 0;
    fakes().answers.push_back(answer);
    FileDialog dialog;
    ASSERT_TRUE(dialog.askOpen({"open", kWaveFilter, nullptr, 0x1000}));
    EXPECT_EQ(dialog.fileOffset(), 8);
    EXPECT_EQ(dialog.extensionOffset(), 0);
}

TEST_F(Win32Dialogs, SetPathIsCutToTheBuffer) {
    fakes().answers.push_back(cancelled());
    FileDialog dialog;
    dialog.setPath(std::string(700, 'a').c_str());
    EXPECT_FALSE(dialog.askSave({"save", kTextFilter, "txt", 0x8002}));
    EXPECT_EQ(fakes().dialogs.at(0).pathOnEntry, std::string(599, 'a'));
}

TEST_F(Win32Dialogs, CancelIsSilentAndAFailedDialogIsReported) {
    fakes().answers.push_back(cancelled());
    fakes().answers.push_back(cancelled(0x3003));  // FNERR_BUFFERTOOSMALL
    FileDialog dialog;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(dialog.askSave({"save", kTextFilter, "txt", 0x8002}));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(dialog.askSave({"save", kTextFilter, "txt", 0x8002}));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: The file dialog could not be shown (error 0x3003).\n");
}

TEST_F(Win32Dialogs, ErrorMessageIsAnExclamationBoxWithoutOwner) {
    platform::showErrorMessage("The selected file could not be opened.");
    ASSERT_EQ(fakes().messageBoxes.size(), 1u);
    const MessageBoxCall& box = fakes().messageBoxes[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, "The selected file could not be opened.");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, 0x30u);
}

// The generator's two questions, end to end through the record.
TEST_F(Win32Dialogs, GeneratorAsksForTheWaveFileThenProposesItsNameForTheParameters) {
    fakes().answers.push_back(accepted(folder, "sweep.wav"));
    fakes().answers.push_back(accepted(folder, "sweep.swp"));
    FileDialog dialog;
    wave::WaveFile wave;
    OutputFiles files;
    ASSERT_TRUE(selectOutputFiles(dialog, wave, files));
    std::fclose(files.parameters);
    wave.close();

    ASSERT_EQ(fakes().dialogs.size(), 2u);
    const DialogCall& waveCall = fakes().dialogs[0];
    const DialogCall& parameterCall = fakes().dialogs[1];
    EXPECT_EQ(waveCall.title, "Enter a name for the output wave file");
    EXPECT_EQ(waveCall.filter, filterText(kWaveFilter, sizeof kWaveFilter));
    EXPECT_EQ(waveCall.defaultExtension, "wav");
    EXPECT_EQ(waveCall.record.Flags, 0x8002u);
    EXPECT_EQ(parameterCall.title, "Enter a name for the sweep parameters file");
    EXPECT_EQ(parameterCall.filter, filterText(kParameterFilter, sizeof kParameterFilter));
    EXPECT_EQ(parameterCall.defaultExtension, "swp");
    EXPECT_EQ(parameterCall.record.Flags, 0x8002u);
    EXPECT_EQ(parameterCall.address, waveCall.address);
    EXPECT_EQ(parameterCall.pathOnEntry, folder + "\\sweep");
    // Written beside the chosen name until the run is complete.
    EXPECT_EQ(files.wave.target(), folder + "\\sweep.wav");
    EXPECT_EQ(test::readFileBytes(files.wave.writePath()).size(), 44u);
    EXPECT_FALSE(std::filesystem::exists(files.wave.target()));
}

TEST_F(Win32Dialogs, GeneratorShowsTheBoxAndTheSameDialogForAFileThatCannotBeOpened) {
    fakes().answers.push_back(accepted(folder + "\\missing", "sweep.wav"));
    fakes().answers.push_back(cancelled());
    FileDialog dialog;
    wave::WaveFile wave;
    OutputFiles files;
    EXPECT_FALSE(selectOutputFiles(dialog, wave, files));
    ASSERT_EQ(fakes().messageBoxes.size(), 1u);
    EXPECT_EQ(fakes().messageBoxes[0].text, "The selected file could not be opened.");
    ASSERT_EQ(fakes().dialogs.size(), 2u);
    EXPECT_EQ(fakes().dialogs[1].title, "Enter a name for the output wave file");
    EXPECT_EQ(fakes().dialogs[1].pathOnEntry, folder + "\\missing\\sweep.wav");
}

void writeRecording(const std::string& path) {
    wave::WaveFile wave;
    ASSERT_TRUE(wave.openWrite(path.c_str()));
    wave.setFormat(48000, 16, 1);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(wave.writeSample(0));
    ASSERT_TRUE(wave.close());
}

void writeSweepParameters(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    sweep::SweepPlan plan = generator::planFromAnswers({});  // the dialogue's defaults
    plan.lock();
    EXPECT_TRUE(plan.writeParameters(file));
    std::fclose(file);
}

// The measurer's three questions: the parameter dialog starts empty, the report
// dialog proposes the recording's name without folder and last extension.
// What a dialog call must have shown and asked for.
struct ExpectedDialog {
    bool save;
    std::string title;
    std::string filter;
    std::optional<std::string> defaultExtension;
    DWORD flags;
};

void expectDialog(const DialogCall& call, const ExpectedDialog& expected) {
    EXPECT_EQ(std::tie(call.save, call.title, call.filter, call.defaultExtension, call.record.Flags),
              std::tie(expected.save, expected.title, expected.filter, expected.defaultExtension, expected.flags));
}

TEST_F(Win32Dialogs, MeasurerProposesTheRecordingsBaseNameForTheReport) {
    writeRecording(dir.file("rec.take1.wav"));
    writeSweepParameters(dir.file("sweep.swp"));
    fakes().answers.push_back(accepted(folder, "rec.take1.wav"));
    fakes().answers.push_back(accepted(folder, "sweep.swp"));
    fakes().answers.push_back(accepted(folder, "rec.take1.txt"));
    wave::WaveFile recording;
    sweep::SweepPlan plan;
    OutputFile output;
    std::string recordedName;
    ASSERT_TRUE(selectFiles(recording, plan, output, recordedName));
    EXPECT_EQ(recordedName, "rec.take1.wav");

    ASSERT_EQ(fakes().dialogs.size(), 3u);
    const DialogCall& recordingCall = fakes().dialogs[0];
    expectDialog(recordingCall, {false, "Select the recorded sample", filterText(kWaveFilter, sizeof kWaveFilter),
                                 std::nullopt, 0x1000u});
    EXPECT_EQ(recordingCall.record.lStructSize, kRecordSize);

    const DialogCall& parameterCall = fakes().dialogs[1];
    expectDialog(parameterCall, {false, "Select the sweep paramters file",
                                 filterText(kParameterFilter, sizeof kParameterFilter), "swp", 0x1000u});
    EXPECT_EQ(parameterCall.pathOnEntry, "");

    const DialogCall& reportCall = fakes().dialogs[2];
    expectDialog(reportCall,
                 {true, "Enter a filename for the output", filterText(kTextFilter, sizeof kTextFilter), "txt", 0x8002u});
    EXPECT_EQ(reportCall.pathOnEntry, "rec.take1");
    EXPECT_EQ(reportCall.address, recordingCall.address);
}

TEST_F(Win32Dialogs, MeasurerRefusesFilesWithItsOwnMessages) {
    writeRecording(dir.file("rec.wav"));
    writeSweepParameters(dir.file("sweep.swp"));
    test::writeFileBytes(dir.file("junk.wav"), test::Bytes{'j', 'u', 'n', 'k'});
    fakes().answers.push_back(accepted(folder, "junk.wav"));
    fakes().answers.push_back(accepted(folder, "rec.wav"));
    fakes().answers.push_back(accepted(folder, "rec.wav"));
    fakes().answers.push_back(accepted(folder, "sweep.swp"));
    fakes().answers.push_back(accepted(folder + "\\missing", "rec.txt"));
    fakes().answers.push_back(cancelled());
    wave::WaveFile recording;
    sweep::SweepPlan plan;
    OutputFile output;
    std::string recordedName;
    EXPECT_FALSE(selectFiles(recording, plan, output, recordedName));

    ASSERT_EQ(fakes().messageBoxes.size(), 3u);
    EXPECT_EQ(fakes().messageBoxes[0].text, "The selected file could not be opened as a wave file.");
    EXPECT_EQ(fakes().messageBoxes[1].text, "The selected file is not a list of sweep parameters.");
    EXPECT_EQ(fakes().messageBoxes[2].text, "The selected file could not be opened for output.");
    for (const MessageBoxCall& box : fakes().messageBoxes) {
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.style, 0x30u);
    }
    ASSERT_EQ(fakes().dialogs.size(), 6u);
    EXPECT_EQ(fakes().dialogs[1].pathOnEntry, folder + "\\junk.wav");
    EXPECT_EQ(fakes().dialogs[5].title, "Enter a filename for the output");
}

// With standard input redirected nobody sits at a dialog: the console questions
// read the answers, and errors are console lines.
class RedirectedInput : public FakeWindows<pipe> {
protected:
    // Standard input now reads the given answers.
    void answer(const std::string& text) {
        const std::string path = dir.file("answers.txt");
        test::writeFileBytes(path, test::Bytes(text.begin(), text.end()));
        ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
    }
};

TEST_F(RedirectedInput, QuestionsAreAskedOnTheConsole) {
    answer(dir.file("sweep") + "\n");
    FileDialog dialog;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(dialog.askSave({"Enter a name for the output wave file", kWaveFilter, "wav", 0x8002}));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "\nEnter a name for the output wave file: ");
    const std::string expected = dir.file("sweep.wav");
    EXPECT_EQ(dialog.path(), expected);
    EXPECT_EQ(dialog.fileOffset(), dir.path().string().size() + 1);
    EXPECT_EQ(dialog.extensionOffset(), expected.size() - 3);
    EXPECT_TRUE(fakes().dialogs.empty());
}

TEST_F(RedirectedInput, EndOfInputIsACancel) {
    answer("");
    FileDialog dialog;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(dialog.askOpen({"Select the recorded sample", kWaveFilter, nullptr, 0x1000}));
    ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(fakes().dialogs.empty());
}

TEST_F(RedirectedInput, ErrorMessageIsAConsoleLine) {
    ::testing::internal::CaptureStderr();
    platform::showErrorMessage("The selected file could not be opened.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: The selected file could not be opened.\n");
    EXPECT_TRUE(fakes().messageBoxes.empty());
}

// Only a real console counts as a person at the keyboard.
TEST(StandardInputKind, OnlyAConsoleIsATerminal) {
    resetFakes();
    const std::pair<StandardInput, bool> cases[] = {
        {console(), true}, {pipe(), false}, {diskFile(), false}, {nulDevice(), false}};
    for (const auto& [input, terminal] : cases) {
        fakes().standardInput = input;
        EXPECT_EQ(platform::standardInputIsTerminal(), terminal) << "file type " << input.fileType;
    }
    resetFakes();
}

}  // namespace
}  // namespace auralyn
