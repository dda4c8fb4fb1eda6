// WAV files read through libsndfile: every accepted encoding read as doubles (full scale 1.0), so 8, 16,
// 24, 32-bit and float files all convert to 16 bits by one rule: scaled by 32768, rounded, clipped.
#include "WavReader.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

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
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (file == nullptr) {
        // libsndfile has closed the descriptor already (it was handed over with close_desc set).
        error = std::string("not a readable WAV file (") + sf_strerror(nullptr) + ")";
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
        sf_close(m_file);
}

int32_t CWavReader::Read(int32_t count, int16_t* out) {
    if (count <= 0 || out == nullptr)
        return 0;
    int32_t done = 0;
    while (done < count) {
        const sf_count_t want = std::min(count - done, kFramesPerCall);
        const sf_count_t got = m_shorts ? sf_readf_short(m_file, m_shortBuffer.data(), want)
                                        : sf_readf_double(m_file, m_buffer.data(), want);
        if (got < 0 || (got == 0 && sf_error(m_file) != SF_ERR_NO_ERROR))
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
    if (sf_seek(m_file, frame, SEEK_SET) != frame)
        return false;
    m_position = frame;
    return true;
}
