#pragma once

#include <cstdio>
#include <string>

namespace auralyn::cli {

// An output file that appears under its name only when complete: it is written
// under a temporary name in the target's folder (so the rename cannot cross
// file systems) and renamed by commit(). A target that exists and is not a
// regular file (a device such as /dev/null, a pipe) is written directly and is
// never removed or replaced. A link to a regular file keeps the link: the file
// it points to is replaced. Destroying an uncommitted StagedFile removes its
// temporary file.
class StagedFile {
public:
    explicit StagedFile(const std::string& target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const std::string& target() const { return target_; }
    // Where to write: the temporary name, or the target itself for a device.
    const std::string& writePath() const { return writePath_; }
    // Renames the temporary file over the target. False, with the reason, when
    // that fails; the temporary file is then removed.
    bool commit(std::string& error);
    // Removes the temporary file now.
    void discard();

private:
    std::string target_;
    std::string writePath_;
    bool staged_ = false;  // writePath_ is a temporary file of ours
};

// Writes the text into the file's writePath() in binary mode. False, with the
// reason, when any of it does not reach the file.
bool writeStagedText(const StagedFile& file, const std::string& text, std::string& error);

// Closes a stream that was written; false, with the reason, when a write or the
// close failed (a full disk shows here at the latest).
bool closeWritten(std::FILE* stream, std::string& error);

// True when the path names an existing file that is not a regular file (a
// device, a pipe), after following links.
bool isDevice(const std::string& path);

// True when both paths name one existing file (through links, too).
bool sameExistingFile(const std::string& a, const std::string& b);

// True when the paths name one file, or would once written: the same existing
// file, or the same path once made absolute and normal.
bool samePlace(const std::string& a, const std::string& b);

}  // namespace auralyn::cli
