#pragma once

#include <cstdio>
#include <string>

namespace auralyn::platform {

// What a chosen name that is a link to a regular file gets. tonesmith writes
// through the link in place, as the user's own file; auralyn's outputs replace
// the linked file by a complete new one and keep the link pointing at it.
enum class LinkedFile { writtenThrough, replaced };

// An output file that appears under its name only when complete: it is written
// under a temporary name in the folder of the file it replaces (so the rename
// cannot cross file systems) and renamed by commit(). A name that exists and is
// no regular file (a device such as /dev/null or /dev/full, a link to one, a
// folder) is opened directly, so a write that fails shows as a failure, and it
// is never renamed over or removed. Destroying an uncommitted StagedFile
// removes its temporary file.
class StagedFile {
public:
    StagedFile() = default;
    explicit StagedFile(const std::string& chosen, LinkedFile links = LinkedFile::replaced);
    ~StagedFile();
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // The name the user chose.
    const std::string& target() const { return chosen_; }
    // Where to write: the temporary name, or the chosen name itself.
    const std::string& writePath() const { return written_; }
    bool direct() const { return written_ == chosen_; }

    // Renames the temporary file over the file it replaces; true at once for a
    // file written directly. False, with the reason, when the rename fails; the
    // temporary file is then removed.
    bool commit(std::string& error);
    bool commit();
    // Removes the temporary file now; a file written directly stays as it is.
    void discard();

private:
    std::string chosen_;
    std::string written_;
    std::string replaced_;  // the chosen name, or the regular file a link points to
    bool staged_ = false;   // written_ is a temporary file of ours, not yet renamed
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

}  // namespace auralyn::platform
