#pragma once

#include <cstdio>
#include <string>

namespace auralyn::test {

// A temporary stdio stream standing in for a console: filled with scripted answers
// before a read, or collecting what was written.
class ScratchStream {
public:
    explicit ScratchStream(const std::string& content = "") : file_(std::tmpfile()) {
        std::fwrite(content.data(), 1, content.size(), file_);
        std::rewind(file_);
    }
    ~ScratchStream() { std::fclose(file_); }
    ScratchStream(const ScratchStream&) = delete;
    ScratchStream& operator=(const ScratchStream&) = delete;

    std::FILE* get() const { return file_; }

    // Everything written so far.
    std::string text() const {
        std::fflush(file_);
        long end = std::ftell(file_);
        std::string result(static_cast<std::size_t>(end), '\0');
        std::rewind(file_);
        std::size_t got = std::fread(result.data(), 1, result.size(), file_);
        result.resize(got);
        std::fseek(file_, 0, SEEK_END);
        return result;
    }

    // What is left unread.
    std::string rest() const {
        std::string result;
        for (int c = std::getc(file_); c != EOF; c = std::getc(file_)) result.push_back(static_cast<char>(c));
        return result;
    }

private:
    std::FILE* file_;
};

}  // namespace auralyn::test
