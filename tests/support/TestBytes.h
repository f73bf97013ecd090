#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Bytes written as hex digits, for the expected contents of files and streams.
inline QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

// The whole file, or a text no file under test holds, so that a comparison names it.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
