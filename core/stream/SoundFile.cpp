// CSoundFile: TRN and raw sound files on low-level binary file I/O with 64-bit offsets; WAV files through
// the WAV reader.
#include "SoundFile.h"

#include "WavHeader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr char kTrnTag[] = "KVRautoidentification";

// One read or write call moves at most this much, so the count fits every platform's call.
constexpr int64_t kMaxChunk = int64_t{1} << 30;

#ifdef _WIN32
int OpenRead(const std::string& path) {
    int fd = -1;
    return _sopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO, 0) == 0 ? fd : -1;
}
int OpenCreate(const std::string& path) {
    int fd = -1;
    const int flags = _O_RDWR | _O_CREAT | _O_TRUNC | _O_APPEND | _O_BINARY;
    return _sopen_s(&fd, path.c_str(), flags, _SH_DENYNO, _S_IREAD | _S_IWRITE) == 0 ? fd : -1;
}
int64_t ReadSome(int fd, void* buffer, int64_t bytes) { return _read(fd, buffer, static_cast<unsigned>(bytes)); }
int64_t WriteSome(int fd, const void* buffer, int64_t bytes) {
    return _write(fd, buffer, static_cast<unsigned>(bytes));
}
int64_t Seek(int fd, int64_t offset) { return _lseeki64(fd, offset, SEEK_SET); }
int64_t Length(int fd) {
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return -1;
    return st.st_size;
}
void CloseHandle(int fd) { _close(fd); }
#else
int OpenRead(const std::string& path) {
    // Non-blocking so that a FIFO chosen by mistake cannot hang the open; Length() refuses it anyway.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}
int OpenCreate(const std::string& path) {
    // Non-blocking and without truncation until the target is known to be a regular file: a FIFO or a
    // device chosen by mistake must neither hang the open nor be handed to the worker.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
int64_t ReadSome(int fd, void* buffer, int64_t bytes) {
    ssize_t n;
    do {
        n = ::read(fd, buffer, static_cast<size_t>(bytes));
    } while (n < 0 && errno == EINTR);
    return n;
}
int64_t WriteSome(int fd, const void* buffer, int64_t bytes) {
    ssize_t n;
    do {
        n = ::write(fd, buffer, static_cast<size_t>(bytes));
    } while (n < 0 && errno == EINTR);
    return n;
}
int64_t Seek(int fd, int64_t offset) { return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET); }
// Only regular files have a length worth trusting; directories and devices are refused here.
int64_t Length(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}
void CloseHandle(int fd) { ::close(fd); }
#endif

// Reads until the count is reached, the file ends or an error occurs: bytes read, or -1 when an error
// came before any byte.
int64_t ReadFully(int fd, void* buffer, int64_t bytes) {
    auto* out = static_cast<unsigned char*>(buffer);
    int64_t done = 0;
    while (done < bytes) {
        const int64_t n = ReadSome(fd, out + done, std::min(bytes - done, kMaxChunk));
        if (n < 0)
            return done > 0 ? done : -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

// Writes until the count is reached or a write fails: the bytes written.
int64_t WriteCount(int fd, const void* buffer, int64_t bytes) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    int64_t done = 0;
    while (done < bytes) {
        const int64_t n = WriteSome(fd, in + done, std::min(bytes - done, kMaxChunk));
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC; // a write that takes nothing without an error: the medium is full
            break;
        }
        done += n;
    }
    return done;
}

bool WriteFully(int fd, const void* buffer, int64_t bytes) { return WriteCount(fd, buffer, bytes) == bytes; }

#ifdef _WIN32
int CutTo(int fd, int64_t length) { return _chsize_s(fd, length); }
#else
int CutTo(int fd, int64_t length) { return ::ftruncate(fd, static_cast<off_t>(length)); }
#endif

uint32_t LittleEndian32(const unsigned char* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

} // namespace

CSoundFile::~CSoundFile() {
    std::lock_guard lock(m_mutex);
    CloseLocked();
}

void CSoundFile::CloseLocked() {
    if (m_handle >= 0)
        CloseHandle(m_handle);
    m_handle = -1;
    m_wav.reset();
}

bool CSoundFile::OpenForReading(const std::string& path, SoundChannel channel) {
    std::lock_guard lock(m_mutex);
    CloseLocked();
    m_error.clear();

    const int fd = OpenRead(path);
    if (fd < 0) {
        m_error = std::strerror(errno);
        return false;
    }
    auto refuse = [this, fd](const char* why) {
        CloseHandle(fd);
        m_error = why;
        return false;
    };
    // Directories, devices and pipes are no sound files; refusing them first keeps the reads below
    // from blocking or failing half-way.
    if (Length(fd) < 0)
        return refuse("not a regular file");

    // A TRN file has its whole header; a RIFF WAVE file goes to the WAV reader; anything else with a rate
    // header is raw, down to no samples at all, so the shortest recording reads back.
    unsigned char header[kTrnHeaderSize];
    const int64_t got = ReadFully(fd, header, kTrnHeaderSize);
    if (got < kRawHeaderSize)
        return refuse("shorter than a sound file's header");

    if (LooksLikeWav(header, got)) {
        if (Seek(fd, 0) != 0)
            return refuse("cannot read it from its start");
        std::string why;
        auto wav = CWavReader::Open(fd, channel, why); // takes the descriptor either way
        if (!wav) {
            m_error = why;
            return false;
        }
        m_wav = std::move(wav);
        m_path = path;
        m_sampleRate = m_wav->Rate();
        m_dataStart = 0;
        m_dataEnd = 2 * m_wav->Frames();
        m_position = 0;
        return true;
    }

    uint32_t rate;
    int64_t dataStart;
    if (got >= kTrnTagLength && std::memcmp(header, kTrnTag, kTrnTagLength) == 0) {
        if (got != kTrnHeaderSize)
            return refuse("a TRN file cut inside its header");
        rate = LittleEndian32(header + kTrnRateOffset);
        dataStart = kTrnHeaderSize;
    } else {
        rate = LittleEndian32(header);
        dataStart = kRawHeaderSize;
        if (Seek(fd, dataStart) != dataStart)
            return refuse("cannot read past its header");
    }
    // The pages keep a rate as a signed 32-bit number; a header beyond that is not a sound file.
    if (rate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return refuse("a sample rate beyond any board's");

    const int64_t length = Length(fd);
    if (length < dataStart)
        return refuse("shorter than its header");

    m_handle = fd;
    m_path = path;
    m_error.clear();
    m_sampleRate = rate;
    m_dataStart = dataStart;
    m_dataEnd = length;
    m_position = dataStart;
    return true;
}

bool CSoundFile::CreateForRecording(const std::string& path, uint32_t rate, SoundFormat format) {
    std::lock_guard lock(m_mutex);
    CloseLocked();

    const int fd = OpenCreate(path);
    if (fd < 0)
        return false;
    if (Length(fd) < 0) { // not a regular file, as for reading
        CloseHandle(fd);
        return false;
    }
    const unsigned char raw[kRawHeaderSize] = {static_cast<unsigned char>(rate), static_cast<unsigned char>(rate >> 8),
                                               static_cast<unsigned char>(rate >> 16),
                                               static_cast<unsigned char>(rate >> 24)};
    const auto wav = WavHeader(rate, 0);
    const bool isWav = format == SoundFormat::Wav;
    const int64_t headerSize = isWav ? kWavHeaderSize : kRawHeaderSize;
    if (!WriteFully(fd, isWav ? wav.data() : raw, headerSize)) {
        CloseHandle(fd);
        return false;
    }
    m_handle = fd;
    m_path = path;
    m_error.clear();
    m_sampleRate = rate;
    m_dataStart = headerSize;
    m_dataEnd = headerSize;
    m_position = headerSize;
    return true;
}

bool CSoundFile::Append(const void* buffer, int64_t bytes) {
    std::lock_guard lock(m_mutex);
    if (m_handle < 0 || buffer == nullptr || bytes < 0)
        return false;
    // A recording holds whole 16-bit samples only; a stray odd byte would shift every later sample.
    bytes &= ~int64_t{1};
    if (bytes == 0)
        return true;
    const int64_t done = WriteCount(m_handle, buffer, bytes);
    if (done == bytes) {
        const int64_t length = Length(m_handle);
        if (length >= 0)
            m_dataEnd = length;
        return true;
    }
    // A full disk, a quota or an I/O error: keep the whole samples that did land, never a torn one.
    m_error = std::strerror(errno);
    m_dataEnd += done & ~int64_t{1};
    CutTo(m_handle, m_dataEnd);
    return false;
}

std::string CSoundFile::Path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

std::string CSoundFile::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

int32_t CSoundFile::ReadSamples(int32_t count, int16_t* buffer) {
    std::lock_guard lock(m_mutex);
    if (m_wav) {
        const int32_t got = m_wav->Read(count, buffer);
        m_position = 2 * m_wav->Position();
        return got;
    }
    if (m_handle < 0 || count <= 0 || buffer == nullptr)
        return 0;
    const int64_t bytes = std::min<int64_t>(int64_t{2} * count, m_dataEnd - m_position);
    if (bytes <= 0)
        return 0;
    const int64_t got = ReadFully(m_handle, buffer, bytes);
    if (got < 0)
        return -1;
    m_position += got;
    return static_cast<int32_t>(got / 2);
}

bool CSoundFile::Rewind() {
    std::lock_guard lock(m_mutex);
    if (m_wav) {
        if (!m_wav->Rewind())
            return false;
        m_position = 0;
        return true;
    }
    if (m_handle < 0 || Seek(m_handle, m_dataStart) != m_dataStart)
        return false;
    m_position = m_dataStart;
    return true;
}

bool CSoundFile::SeekSample(uint64_t sample) {
    std::lock_guard lock(m_mutex);
    const int64_t whole = (m_dataEnd - m_dataStart) / 2;
    const int64_t to =
        static_cast<int64_t>(std::min<uint64_t>(sample, static_cast<uint64_t>(std::max<int64_t>(whole, 0))));
    if (m_wav) {
        if (!m_wav->SeekFrame(to))
            return false;
        m_position = 2 * to;
        return true;
    }
    const int64_t offset = m_dataStart + 2 * to;
    if (m_handle < 0 || Seek(m_handle, offset) != offset)
        return false;
    m_position = offset;
    return true;
}

bool CSoundFile::Close() {
    std::lock_guard lock(m_mutex);
    if (m_handle < 0 && !m_wav)
        return false;
    CloseLocked();
    return true;
}

bool CSoundFile::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_handle >= 0 || m_wav != nullptr;
}

bool CSoundFile::IsWav() const {
    std::lock_guard lock(m_mutex);
    return m_wav != nullptr;
}

int CSoundFile::Channels() const {
    std::lock_guard lock(m_mutex);
    return m_wav ? m_wav->Channels() : 1;
}

uint32_t CSoundFile::SampleRate() const {
    std::lock_guard lock(m_mutex);
    return m_sampleRate;
}

int64_t CSoundFile::DataStart() const {
    std::lock_guard lock(m_mutex);
    return m_dataStart;
}

int64_t CSoundFile::DataEnd() const {
    std::lock_guard lock(m_mutex);
    return m_dataEnd;
}

int64_t CSoundFile::Position() const {
    std::lock_guard lock(m_mutex);
    return m_position;
}

int64_t CSoundFile::DataLength() const {
    std::lock_guard lock(m_mutex);
    return (m_dataEnd - m_dataStart) & ~int64_t{1};
}
