#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The program's failures. Each carries the text the user may be shown.
class Exception : public std::exception
{
public:
    explicit Exception(QString message);

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

    // Why it failed in the system's words ("No space left on device"), when known.
    const QString &reason() const noexcept { return m_reason; }
    void setReason(QString reason) { m_reason = std::move(reason); }

private:
    QString m_message;
    QString m_reason;
    QByteArray m_what;
};

// "Cannot open file %s"
class EFOpenError : public Exception
{
public:
    explicit EFOpenError(const QString &fileName);
};

// "Cannot create file %s"
class EFCreateError : public Exception
{
public:
    explicit EFCreateError(const QString &fileName);
};

class EReadError : public Exception
{
public:
    using Exception::Exception;
};

class EWriteError : public Exception
{
public:
    using Exception::Exception;
};

class ERegistryException : public Exception
{
public:
    using Exception::Exception;
};
