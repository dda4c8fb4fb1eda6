// CSoundFile: a sound file played to or recorded from a stream channel.
// Reads TRN 5.x files, raw files (4-byte rate header) and WAV files; writes raw or WAV recordings.
#pragma once

#include "WavReader.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// How a recording is written: raw (4-byte rate header) or a 16-bit PCM mono WAV file.
enum class SoundFormat { Raw, Wav };

class CSoundFile {
public:
    // Size of the TRN header; a file without the TRN tag needs only the raw rate header.
    static constexpr int kTrnHeaderSize = 106;
    // Number of tag characters compared; the tag text has one letter more, which is not compared.
    static constexpr int kTrnTagLength = 20;
    static constexpr int kTrnRateOffset = 102;
    static constexpr int kRawHeaderSize = 4;

    CSoundFile() = default;
    ~CSoundFile();
    CSoundFile(const CSoundFile&) = delete;
    CSoundFile& operator=(const CSoundFile&) = delete;

    // Opens an existing TRN, raw or WAV file; of a stereo WAV file `channel` is read. A file already open
    // is closed first. A file starting as a WAV file that cannot be read as one is refused, LastError()
    // saying why. A WAV file reads as the 16-bit samples of its channel: its data start is 0 and its
    // positions count bytes of those samples.
    bool OpenForReading(const std::string& path, SoundChannel channel = SoundChannel::Left);
    // Creates (or empties) a raw file and writes its rate header, or a WAV file with its 44-byte header
    // counting no data yet (whoever finishes the recording sets the count). A file already
    // open is closed first.
    bool CreateForRecording(const std::string& path, uint32_t rate, SoundFormat format = SoundFormat::Raw);
    // Writes bytes at the end of a recording; an odd count is rounded down to whole samples.
    // Safe to call from a worker while another thread closes the file: it then writes nothing.
    // Returns true when every byte was written. After a failed or short write the file is cut back to
    // the whole samples it holds and LastError() says why.
    bool Append(const void* buffer, int64_t bytes);
    std::string Path() const;
    std::string LastError() const;
    // Reads up to count samples: the number read, 0 at the end of the data (or with no file), -1 on a read error.
    int32_t ReadSamples(int32_t count, int16_t* buffer);
    bool Rewind();
    // Moves to sample `sample` of the data (at most its end), as if that many had been read.
    bool SeekSample(uint64_t sample);
    bool Close();

    bool IsOpen() const;
    // True for a file read through the WAV reader; its channel count (1 for the other formats).
    bool IsWav() const;
    int Channels() const;
    uint32_t SampleRate() const;
    int64_t DataStart() const;
    int64_t DataEnd() const;
    int64_t Position() const;
    // Bytes of whole samples: data end - data start, without a half sample at the end (it is never
    // played, so a file whose device played every whole sample has played to its end).
    int64_t DataLength() const;

private:
    void CloseLocked();

    // Every member is guarded by the mutex: the streaming workers read and append from their own thread
    // while the user-interface thread may close the file.
    mutable std::mutex m_mutex;
    int m_handle = -1;
    std::unique_ptr<CWavReader> m_wav;
    std::string m_path;
    std::string m_error;
    uint32_t m_sampleRate = 0;
    int64_t m_dataStart = 0;
    int64_t m_dataEnd = 0;
    int64_t m_position = 0;
};
