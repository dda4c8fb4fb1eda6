// Where `record --out FILE` writes: a temporary file next to FILE, renamed over it once the recording is
// complete, so a file of that name is always a whole recording. A device (/dev/stdout, a FIFO) cannot be
// renamed over: the finished recording is copied into it. A WAV recording's header is made to count its
// data whenever it is cut, so a kept or finished recording is a whole WAV file.
#pragma once

#include "SoundFile.h"

#include <cstdint>
#include <string>

class CRecordingFile {
public:
    // Reserves the temporary name; one that cannot be made is a device error.
    explicit CRecordingFile(std::string target, SoundFormat format = SoundFormat::Raw);
    // An unfinished temporary file that was not kept goes away.
    ~CRecordingFile();
    CRecordingFile(const CRecordingFile&) = delete;
    CRecordingFile& operator=(const CRecordingFile&) = delete;

    // The file the recording goes into.
    const std::string& Path() const { return m_path; }
    // Its size in bytes; 0 while it does not exist.
    uint64_t Size() const;
    // Bytes before the first sample: the raw rate header or the WAV header.
    uint64_t HeaderSize() const;
    // Cuts the file to at most `bytes` and to whole 16-bit samples after the header; a WAV header is
    // rewritten to count them. A failure is a device error.
    void Trim(uint64_t bytes);
    // Gives the finished recording its name, or copies it into the device; a failure is a device error.
    void Finish();
    // Leaves an unfinished recording under its temporary name, which is returned.
    const std::string& Keep();

private:
    void CopyToDevice() const;
    void CountWavData(uint64_t size) const;

    std::string m_target;
    std::string m_path;
    SoundFormat m_format;
    bool m_device = false;
    bool m_kept = false;
    bool m_renamed = false;
};
