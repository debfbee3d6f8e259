// Opens arbitrary bytes as a WAV file, then reads, skips and walks the chunk
// tree in a bounded pattern. Any crash, hang or sanitizer report is a finding.

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "wave/riff_file.h"
#include "wave/wave_file.h"

namespace {

// One in-memory file, reused for every input and reached by name as openRead needs.
class InputFile {
public:
    InputFile() {
        fd_ = memfd_create("wave-fuzz-input", 0);
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }

    void store(const std::uint8_t* data, std::size_t size) {
        if (ftruncate(fd_, 0) != 0) std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t written = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (written <= 0) std::abort();
            done += static_cast<std::size_t>(written);
        }
    }

    const char* path() const { return path_.c_str(); }

private:
    int fd_ = -1;
    std::string path_;
};

constexpr std::int32_t kSkipCounts[] = {0, 1, 3, -1, 1000, 0x40000000, std::numeric_limits<std::int32_t>::max(),
                                        std::numeric_limits<std::int32_t>::min()};

void readAndSkip(auralyn::wave::WaveFile& wave) {
    std::array<std::int16_t, 4096> buffer{};
    const std::int32_t framesThatFit = wave.channels == 0 ? 64 : static_cast<std::int32_t>(buffer.size() / wave.channels);
    const std::int32_t frames = framesThatFit < 64 ? framesThatFit : 64;
    for (std::int32_t skip : kSkipCounts) {
        std::int16_t sample = 0;
        wave.readSample(&sample);
        wave.readSamples(buffer.data(), frames);
        wave.readSamples(buffer.data(), -frames - 1);
        wave.skipSamples(skip);
    }
}

// Depth-first over every chunk, with the queries on each; bounded in steps.
void walkChunkTree(const char* path) {
    auralyn::wave::RiffFile riff(path);
    if (riff.file() == nullptr) return;
    int depth = 0;
    for (int step = 0; step < 512; ++step) {
        (void)riff.chunkSize();
        (void)riff.chunkId();
        (void)riff.chunkFormType();
        if (depth < 6 && riff.descend()) {
            ++depth;
            continue;
        }
        if (!riff.ascend()) break;
        --depth;
    }
    riff.rewind();
    riff.descend("LIST");
    riff.descend("data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static InputFile input;
    input.store(data, size);
    auralyn::wave::WaveFile wave;
    if (wave.openRead(input.path())) readAndSkip(wave);
    wave.close();
    walkChunkTree(input.path());
    return 0;
}
