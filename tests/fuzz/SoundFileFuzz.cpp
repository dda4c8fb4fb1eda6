// libFuzzer target for the sound-file reader: any bytes as a file, opened, read in varied blocks,
// rewound and read again. Whether it opens, its layout, rate and data start are worked out here from the
// bytes themselves; the samples must be the file's own bytes and the bookkeeping must add up.
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

uint32_t Le32(const uint8_t* b) { return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24; }

// What the bytes say: a file opens when it holds at least a 4-byte rate. It is TRN when it starts with the
// first 20 characters of the tag, and then needs its whole 106-byte header (rate at 102, data at 106);
// otherwise it is raw (rate in the first 4 bytes, data at 4). A rate beyond the signed 32-bit range is
// refused. A file starting as a WAV file is read as one.
struct Expected {
    bool opens = false;
    int64_t dataStart = 0;
    uint32_t rate = 0;
};

Expected FromBytes(const uint8_t* data, size_t size) {
    Expected e;
    if (size < 4)
        return e;
    const bool trn = size >= 20 && std::memcmp(data, "KVRautoidentification", 20) == 0;
    if (trn && size < 106)
        return e;
    e.dataStart = trn ? 106 : 4;
    e.rate = Le32(data + (trn ? 102 : 0));
    e.opens = e.rate <= 0x7FFFFFFFu;
    return e;
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
    // A file that starts as a RIFF WAVE file goes to the WAV reader: opened or not, nothing it reads may
    // break, and an opened one's samples must add up to its length, again after a rewind.
    if (size >= 12 &&
        (std::memcmp(data, "RIFF", 4) == 0 || std::memcmp(data, "RIFX", 4) == 0 || std::memcmp(data, "RF64", 4) == 0) &&
        std::memcmp(data + 8, "WAVE", 4) == 0) {
        if (!file.OpenForReading(path)) {
            Require(!file.IsOpen());
            return 0;
        }
        Require(file.DataStart() == 0);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<int16_t> buffer(300);
            int64_t total = 0;
            for (int32_t got; (got = file.ReadSamples(300, buffer.data())) > 0;)
                total += got;
            Require(2 * total == file.DataLength() && file.Position() == file.DataEnd());
            Require(file.Rewind());
        }
        Require(file.Close());
        return 0;
    }
    const Expected expected = FromBytes(data, size);
    const bool opened = file.OpenForReading(path);
    Require(opened == expected.opens);
    if (!opened) {
        Require(!file.IsOpen());
        return 0;
    }
    Require(file.DataStart() == expected.dataStart);
    Require(file.SampleRate() == expected.rate);
    Require(file.DataEnd() == static_cast<int64_t>(size));

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
    Require(seen.size() == size - static_cast<size_t>(expected.dataStart));
    Require(seen.empty() || std::memcmp(seen.data(), data + expected.dataStart, seen.size()) == 0);
    Require(file.ReadSamples(10, buffer.data()) == 0);

    Require(file.Rewind());
    std::vector<int16_t> all(size / 2 + 1);
    Require(file.ReadSamples(static_cast<int32_t>(all.size()), all.data()) == static_cast<int32_t>(seen.size() / 2));
    Require(file.Close());
    Require(!file.Close());
    return 0;
}
