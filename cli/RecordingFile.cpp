// A recording written under a temporary name and renamed when complete.
#include "RecordingFile.h"

#include "CliArgs.h"
#include "OutputPath.h"
#include "WavHeader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace fs = std::filesystem;

CRecordingFile::CRecordingFile(std::string target, SoundFormat format) : m_target(std::move(target)), m_format(format) {
    const QFileInfo info(QFile::decodeName(m_target.c_str()));
    m_device = info.exists() && !info.isFile();
    // Next to the file, so the rename stays on its file system; next to a FIFO too where its folder may
    // be written; a device's folder (/dev) is no place for files, so its recording waits in $TMPDIR.
    const bool beside = !m_device || (info.isWritable() && QFileInfo(info.absolutePath()).isWritable() &&
                                      fs::is_fifo(fs::status(m_target)));
    const QString pattern = beside ? info.absoluteFilePath() + QStringLiteral(".XXXXXX.part")
                                   : QDir::temp().filePath(QStringLiteral("veltrin-recording.XXXXXX.part"));
    QTemporaryFile file(pattern);
    file.setAutoRemove(false);
    if (!file.open())
        throw DeviceError("cannot create a file next to " + m_target + ": " + file.errorString().toStdString());
    m_path = QFile::encodeName(file.fileName()).toStdString();
}

CRecordingFile::~CRecordingFile() {
    if (!m_kept && !m_renamed) {
        std::error_code ignored;
        fs::remove(m_path, ignored);
    }
}

uint64_t CRecordingFile::Size() const {
    std::error_code error;
    const auto size = fs::file_size(m_path, error);
    return error ? 0 : static_cast<uint64_t>(size);
}

uint64_t CRecordingFile::HeaderSize() const {
    return m_format == SoundFormat::Wav ? kWavHeaderSize : CSoundFile::kRawHeaderSize;
}

void CRecordingFile::Trim(uint64_t bytes) {
    uint64_t size = std::min(Size(), bytes);
    if (size > HeaderSize())
        size -= (size - HeaderSize()) % 2;
    std::error_code error;
    if (size != Size())
        fs::resize_file(m_path, size, error);
    if (error)
        throw DeviceError("cannot cut the recording " + m_path + " to whole samples: " + error.message());
    if (m_format == SoundFormat::Wav)
        CountWavData(size);
}

// Rewrites the 44-byte header with the data size `size` leaves, keeping the rate the recording wrote.
void CRecordingFile::CountWavData(uint64_t size) const {
    const auto fail = [this](const std::string& why) {
        return DeviceError("cannot complete the WAV header of " + m_path + ": " + why);
    };
    if (size < static_cast<uint64_t>(kWavHeaderSize))
        throw fail("the file is shorter than its header");
    QFile file(QFile::decodeName(m_path.c_str()));
    if (!file.open(QIODevice::ReadWrite))
        throw fail(file.errorString().toStdString());
    const QByteArray old = file.read(kWavHeaderSize);
    if (old.size() != kWavHeaderSize)
        throw fail("its header cannot be read back");
    uint32_t rate = 0;
    for (int i = 3; i >= 0; --i)
        rate = (rate << 8) | static_cast<unsigned char>(old[24 + i]);
    const auto header = WavHeader(rate, static_cast<uint32_t>(std::min<uint64_t>(size - kWavHeaderSize, kWavMaxData)));
    // QFile continues a short write itself; anything less than the whole header is a failed one.
    if (!file.seek(0) || file.write(reinterpret_cast<const char*>(header.data()), kWavHeaderSize) != kWavHeaderSize ||
        !file.flush())
        throw fail(file.errorString().toStdString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw fail(file.errorString().toStdString());
}

void CRecordingFile::CopyToDevice() const {
    QFile in(QFile::decodeName(m_path.c_str()));
    if (!in.open(QIODevice::ReadOnly))
        throw DeviceError("cannot read the recording " + m_path + ": " + in.errorString().toStdString());
    const int out = OpenDeviceForWriting(m_target);
    bool written = true;
    while (written && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        written = !chunk.isEmpty() && WriteAll(out, chunk.constData(), static_cast<size_t>(chunk.size()));
    }
    const int error = errno;
    const bool closed = ::close(out) == 0;
    if (!written || !closed)
        throw DeviceError("cannot write " + m_target + ": " + std::strerror(written ? errno : error));
}

void CRecordingFile::Finish() {
    if (m_device) {
        CopyToDevice();
        return;
    }
    // Readable as a file written in place would be, not private as a temporary file is made.
    std::error_code error;
    fs::permissions(
        m_path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read, error);
    if (!error)
        fs::rename(m_path, m_target, error);
    if (error)
        throw DeviceError("cannot rename the finished recording to " + m_target + ": " + error.message());
    m_renamed = true;
}

const std::string& CRecordingFile::Keep() {
    m_kept = true;
    return m_path;
}
