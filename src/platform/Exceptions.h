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

private:
    QString m_message;
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
