// Writing memory dumps to files.
#include "DumpFile.h"

#include "DumpModel.h"

#include <QFile>

#include <string>

namespace {

// Unbuffered, so a full disk shows in the write's own count instead of being lost in a later flush.
bool Create(QFile& file) { return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered); }

bool WriteAll(QFile& file, const char* data, size_t size) {
    return file.write(data, static_cast<qint64>(size)) == static_cast<qint64>(size);
}

// A write that stopped part way (full disk, file size limit) leaves a file that ends early but looks
// like a smaller dump; it is emptied so nobody takes it for a complete one. Truncating a device
// such as a terminal simply fails and does no harm.
SaveResult WriteFailed(QFile& file) {
    file.resize(0);
    return SaveResult::ShortWrite;
}

} // namespace

SaveResult SaveBinary(const QString& path, const uint8_t* bytes, size_t size) {
    QFile file(path);
    if (!Create(file))
        return SaveResult::CannotCreate;
    if (size && !WriteAll(file, reinterpret_cast<const char*>(bytes), size))
        return WriteFailed(file);
    return SaveResult::Ok;
}

SaveResult SaveText(const QString& path, const CDumpModel& lines) {
    QFile file(path);
    if (!Create(file))
        return SaveResult::CannotCreate;
    // Lines are gathered into chunks: one system call per line would make a large dump slow to save.
    constexpr size_t kChunk = 64 * 1024;
    std::string chunk;
    chunk.reserve(kChunk + 64);
    const size_t count = lines.LineCount();
    for (size_t row = 0; row < count; ++row) {
        chunk += lines.Line(row);
        chunk += '\n';
        if (chunk.size() >= kChunk || row + 1 == count) {
            if (!WriteAll(file, chunk.data(), chunk.size()))
                return WriteFailed(file);
            chunk.clear();
        }
    }
    return SaveResult::Ok;
}
