// WAV files read through libsndfile: every accepted encoding read as doubles (full scale 1.0), so 8, 16,
// 24, 32-bit and float files all convert to 16 bits by one rule: scaled by 32768, rounded, clipped.
// libsndfile is loaded when the first file is opened, so that a start that plays no file never waits for it.
#include "WavReader.h"

#include "DriverLibrary.h"

#include <sndfile.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The libsndfile functions the reader calls, found once; `error` says why the library is unusable.
struct SndFile {
    decltype(&sf_open_fd) open = nullptr;
    decltype(&sf_strerror) strerror = nullptr;
    decltype(&sf_error) error = nullptr;
    decltype(&sf_readf_short) readShort = nullptr;
    decltype(&sf_readf_double) readDouble = nullptr;
    decltype(&sf_seek) seek = nullptr;
    decltype(&sf_close) close = nullptr;
    std::string problem;
};

const SndFile& Library() {
    static const SndFile api = [] {
        SndFile found;
        std::string why;
        // Kept loaded for the rest of the run: readers may be open on any thread until the end.
        static const CDriverLibrary* const library = LoadDriverLibrary(VELTRIN_SNDFILE_LIBRARY, &why).release();
        if (!library) {
            found.problem = "the sound-file library " VELTRIN_SNDFILE_LIBRARY " cannot be loaded: " + why;
            return found;
        }
        found.open = library->Function<decltype(found.open)>("sf_open_fd");
        found.strerror = library->Function<decltype(found.strerror)>("sf_strerror");
        found.error = library->Function<decltype(found.error)>("sf_error");
        found.readShort = library->Function<decltype(found.readShort)>("sf_readf_short");
        found.readDouble = library->Function<decltype(found.readDouble)>("sf_readf_double");
        found.seek = library->Function<decltype(found.seek)>("sf_seek");
        found.close = library->Function<decltype(found.close)>("sf_close");
        if (!found.open || !found.strerror || !found.error || !found.readShort || !found.readDouble || !found.seek ||
            !found.close)
            found.problem =
                "the sound-file library " VELTRIN_SNDFILE_LIBRARY " lacks functions this program reads with";
        return found;
    }();
    return api;
}

void CloseDescriptor(int fd) {
#ifdef _WIN32
    ::_close(fd);
#else
    ::close(fd);
#endif
}

// Frames converted per libsndfile call: bounds the buffer whatever count the caller asks for.
constexpr int32_t kFramesPerCall = 4096;

bool AcceptedEncoding(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return true;
    default:
        return false;
    }
}

bool WavContainer(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

int16_t ToSample(double x) {
    const double scaled = std::nearbyint(x * 32768.0);
    if (!(scaled >= -32768.0)) // NaN reads as the most negative value rather than as anything undefined
        return -32768;
    return static_cast<int16_t>(std::min(scaled, 32767.0));
}

} // namespace

bool LooksLikeWav(const unsigned char* head, int64_t count) {
    if (count < 12)
        return false;
    const bool riff =
        std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0 || std::memcmp(head, "RF64", 4) == 0;
    return riff && std::memcmp(head + 8, "WAVE", 4) == 0;
}

std::unique_ptr<CWavReader> CWavReader::Open(int fd, SoundChannel channel, std::string& error) {
    const SndFile& sf = Library();
    if (!sf.problem.empty()) {
        CloseDescriptor(fd);
        error = sf.problem;
        return nullptr;
    }
    SF_INFO info{};
    SNDFILE* file = sf.open(fd, SFM_READ, &info, SF_TRUE);
    if (file == nullptr) {
        // libsndfile has closed the descriptor already (it was handed over with close_desc set).
        error = std::string("not a readable WAV file (") + sf.strerror(nullptr) + ")";
        return nullptr;
    }
    std::unique_ptr<CWavReader> reader(new CWavReader);
    reader->m_file = file;
    if (!WavContainer(info.format) || !AcceptedEncoding(info.format)) {
        error = "a WAV encoding other than PCM 8, 16, 24, 32-bit or 32-bit float";
        return nullptr;
    }
    if (info.channels != 1 && info.channels != 2) {
        error = std::to_string(info.channels) + " channels; only mono and stereo are read";
        return nullptr;
    }
    if (info.samplerate <= 0 || info.frames < 0) {
        error = "a WAV header without a sample rate";
        return nullptr;
    }
    reader->m_rate = static_cast<uint32_t>(info.samplerate);
    reader->m_channels = info.channels;
    reader->m_channel = channel == SoundChannel::Right && info.channels == 2 ? 1 : 0;
    reader->m_frames = info.frames;
    reader->m_shorts = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    const size_t values = static_cast<size_t>(kFramesPerCall) * static_cast<size_t>(info.channels);
    if (reader->m_shorts)
        reader->m_shortBuffer.resize(values);
    else
        reader->m_buffer.resize(values);
    return reader;
}

CWavReader::~CWavReader() {
    if (m_file != nullptr)
        Library().close(m_file);
}

int32_t CWavReader::Read(int32_t count, int16_t* out) {
    if (count <= 0 || out == nullptr)
        return 0;
    int32_t done = 0;
    while (done < count) {
        const sf_count_t want = std::min(count - done, kFramesPerCall);
        const SndFile& sf = Library();
        const sf_count_t got =
            m_shorts ? sf.readShort(m_file, m_shortBuffer.data(), want) : sf.readDouble(m_file, m_buffer.data(), want);
        if (got < 0 || (got == 0 && sf.error(m_file) != SF_ERR_NO_ERROR))
            return done > 0 ? done : -1;
        for (sf_count_t i = 0; i < got; ++i) {
            const auto at = static_cast<size_t>(i * m_channels + m_channel);
            out[done + i] = m_shorts ? m_shortBuffer[at] : ToSample(m_buffer[at]);
        }
        done += static_cast<int32_t>(got);
        m_position += got;
        if (got < want)
            break;
    }
    return done;
}

bool CWavReader::Rewind() { return SeekFrame(0); }

bool CWavReader::SeekFrame(int64_t frame) {
    frame = std::clamp<int64_t>(frame, 0, m_frames);
    if (Library().seek(m_file, frame, SEEK_SET) != frame)
        return false;
    m_position = frame;
    return true;
}
