#pragma once

#include <cstdio>
#include <string>

#include "platform/file_dialog.h"
#include "wave/wave_file.h"

namespace auralyn {

// The two files a run writes, once chosen and opened.
struct OutputFiles {
    std::string wavePath;
    std::string parameterPath;
    std::FILE* parameters = nullptr;  // opened "wb"; the driver closes it after saving
};

// Asks for the wave file (opened at once, provisional header written) and then for
// the parameter file, proposed as the wave file's path without its extension. A file
// that cannot be opened brings the error message and the same question again.
// False when the user cancelled either question; `files.parameters` is then unset.
bool selectOutputFiles(platform::FileDialog& dialog, WaveFile& wave, OutputFiles& files);

// The whole program after its command line: exit code 0 for a written sweep or a
// cancelled question, 1 for a failure (an "Error:" line says which, and no output
// file is left behind).
int runTonesmith();

extern const char* const kTonesmithUsage;

}  // namespace auralyn
