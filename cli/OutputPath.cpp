// The output path check: what exists there and whether this user may write it.
#include "OutputPath.h"

#include "CliArgs.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

void CheckOutputPath(const std::string& option, const std::string& path) {
    if (path.empty())
        throw UsageError(option + ": no file named");
    const QString name = QFile::decodeName(path.c_str());
    const QFileInfo info(name);
    if (info.isDir())
        throw UsageError(option + ": " + path + " is a folder");
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        throw UsageError(option + ": the folder " + folder.filePath().toStdString() + " does not exist");
    if (info.exists()) {
        // A file that may not be written is never replaced, even where its folder would allow it.
        if (::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK) != 0)
            throw UsageError(option + ": " + path + " may not be written");
        if (!info.isFile())
            return; // a device or pipe is written in place
    }
    if (::access(QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK) != 0)
        throw UsageError(option + ": cannot write a file in " + folder.filePath().toStdString());
}
