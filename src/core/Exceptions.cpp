#include "core/Exceptions.h"

namespace {
const char CannotOpenFile[] = "Cannot open file %1";
const char CannotCreateFile[] = "Cannot create file %1";
}

Exception::Exception(QString message)
    : m_message(std::move(message))
    , m_what(m_message.toUtf8())
{
}

EFOpenError::EFOpenError(const QString &fileName)
    : Exception(QString::fromLatin1(CannotOpenFile).arg(fileName))
{
}

EFCreateError::EFCreateError(const QString &fileName)
    : Exception(QString::fromLatin1(CannotCreateFile).arg(fileName))
{
}
