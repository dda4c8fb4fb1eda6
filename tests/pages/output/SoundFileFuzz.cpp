// libFuzzer target for the sound-file reader: any bytes as a file, opened, read in varied blocks,
// rewound and read again; the samples must be the file's own bytes and the bookkeeping must add up.
#include "SoundFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/veltrin-fuzz-" + std::to_string(getpid()) + ".dat";
    }();
    static const bool cleanup = std::atexit([] { std::remove(ScratchPath().c_str()); }) == 0;
    (void)cleanup;
    return path;
}

void Require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = ScratchPath();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, out) == size;
    std::fclose(out);
    if (!written)
        return 0;

    CSoundFile file;
    if (!file.OpenForReading(path)) {
        Require(!file.IsOpen());
        return 0;
    }
    Require(size >= CSoundFile::kTrnHeaderSize);
    Require(file.DataStart() == 4 || file.DataStart() == CSoundFile::kTrnHeaderSize);
    Require(file.DataEnd() == static_cast<int64_t>(size));
    Require(file.SampleRate() <= 0x7FFFFFFFu);

    // Block sizes taken from the input itself, so the fuzzer steers them too.
    std::vector<unsigned char> seen;
    std::vector<int16_t> buffer(300);
    for (size_t k = 0; seen.size() < size; ++k) {
        const int32_t count = 1 + data[k % size] % 257;
        const int64_t before = file.Position();
        const int32_t got = file.ReadSamples(count, buffer.data());
        Require(got >= 0 && got <= count);
        const int64_t bytes = file.Position() - before;
        Require(bytes / 2 == got);
        if (bytes == 0)
            break;
        const auto* raw = reinterpret_cast<const unsigned char*>(buffer.data());
        seen.insert(seen.end(), raw, raw + bytes);
    }
    Require(file.Position() == file.DataEnd());
    Require(seen.size() == size - static_cast<size_t>(file.DataStart()));
    Require(seen.empty() || std::memcmp(seen.data(), data + file.DataStart(), seen.size()) == 0);
    Require(file.ReadSamples(10, buffer.data()) == 0);

    Require(file.Rewind());
    std::vector<int16_t> all(size / 2 + 1);
    Require(file.ReadSamples(static_cast<int32_t>(all.size()), all.data()) == static_cast<int32_t>(seen.size() / 2));
    Require(file.Close());
    Require(!file.Close());
    return 0;
}
