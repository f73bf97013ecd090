#include "storage/ExportFile.h"

#include "core/Exceptions.h"
#include "storage/WriteBits.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

#include <cerrno>

void ExportFile::write(const QString &fileName, const std::function<bool(QIODevice *)> &stream)
{
    // A folder in the file's place, or a read-only file.
    struct stat existing;
    if (::stat(QFile::encodeName(fileName).constData(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode) || !hasWriteBit(existing.st_mode))
            throw EFCreateError(fileName);
    } else if (errno != ENOENT) {
        throw EFCreateError(fileName);
    }

    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(fileName);
    if (!stream(&file) || !file.flush()) {
        file.cancelWriting();
        throw EWriteError(QString::fromLatin1(StreamFailed));
    }
    if (!file.commit()) {
        if (file.error() == QFileDevice::RenameError)
            throw EFCreateError(fileName);
        throw EWriteError(QString::fromLatin1(StreamFailed));
    }
}
