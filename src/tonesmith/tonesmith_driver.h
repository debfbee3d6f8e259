#pragma once

#include <cstdio>
#include <string>

#include "platform/staged_file.h"
#include "platform/file_dialog.h"
#include "wave/wave_file.h"

namespace auralyn::tonesmith {

// The two files a run writes, once chosen and opened. Each is written under a
// temporary name beside the chosen one (a device or a link directly), and both
// are renamed over the chosen names only when both are complete.
struct OutputFiles {
    StagedFile wave;
    StagedFile parameterFile;
    std::FILE* parameters = nullptr;  // opened "wb"; the driver closes it after saving
};

// Asks for the wave file (opened at once under its temporary name, which proves
// its folder writable, provisional header written) and then for the parameter
// file, proposed as the wave file's path without its extension. A file that
// cannot be opened brings the error message and the same question again. False
// when the user cancelled either question; nothing new is then left on disk and
// `files.parameters` is unset.
bool selectOutputFiles(platform::FileDialog& dialog, wave::WaveFile& wave, OutputFiles& files);

// The whole program after its command line: exit code 0 for a written sweep or a
// cancelled question, 1 for a failure (an "Error:" line says which, no new output
// file is left behind and the files that were there stay as they were).
int runTonesmith();

extern const char* const kTonesmithUsage;

}  // namespace auralyn::tonesmith
