// CWavReader: a WAV file (PCM 8, 16, 24, 32-bit or 32-bit float, mono or stereo) read through libsndfile as
// the 16-bit mono samples a board plays, from the channel chosen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;

// Which channel of a stereo file is played or analysed; a mono file has only its one.
enum class SoundChannel { Left, Right };

class CWavReader {
public:
    // Takes the open descriptor: closed with the reader, or already closed when refused. Nothing, with `error` set,
    // when the file is no WAV file libsndfile can read, or holds an encoding or a channel count not accepted.
    static std::unique_ptr<CWavReader> Open(int fd, SoundChannel channel, std::string& error);
    ~CWavReader();
    CWavReader(const CWavReader&) = delete;
    CWavReader& operator=(const CWavReader&) = delete;

    uint32_t Rate() const { return m_rate; }
    int Channels() const { return m_channels; }
    int64_t Frames() const { return m_frames; }
    int64_t Position() const { return m_position; }
    // Up to `count` samples of the chosen channel, rounded to 16 bits and clipped: the number read, 0 at
    // the end, -1 on a read error.
    int32_t Read(int32_t count, int16_t* out);
    bool Rewind();
    // Moves to sample `frame` of the channel (at most the end).
    bool SeekFrame(int64_t frame);

private:
    CWavReader() = default;

    sf_private_tag* m_file = nullptr;
    uint32_t m_rate = 0;
    int m_channels = 1;
    int m_channel = 0;
    int64_t m_frames = 0;
    int64_t m_position = 0;
    // 16-bit files are read as they are; the other encodings as doubles, full scale 1.0. Whole frames.
    bool m_shorts = false;
    std::vector<int16_t> m_shortBuffer;
    std::vector<double> m_buffer;
};

// True when the first bytes of a file (at least 12) mark a RIFF WAVE file, whatever follows.
bool LooksLikeWav(const unsigned char* head, int64_t count);
