#include "storage/RecoverySnapshot.h"

#include "core/Exceptions.h"
#include "storage/NoteFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {
const char StateFolder[] = "pinnote";
const char MovedAsideTime[] = "yyyyMMdd-HHmmss";
} // namespace

RecoverySnapshot::RecoverySnapshot(const QString &noteFilePath, Source source, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
{
    const QByteArray key = QCryptographicHash::hash(NoteFile::canonicalPath(noteFilePath).toUtf8(),
                                                    QCryptographicHash::Sha256)
                               .toHex()
                               .left(32);
    m_path = directory() + QLatin1Char('/') + QString::fromLatin1(key) + QStringLiteral(".set");

    m_pool.setMaxThreadCount(1);
    for (QTimer *timer : {&m_quiet, &m_longest}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &RecoverySnapshot::writeNow);
    }
    setDelays(QuietDelay, LongestDelay);
}

RecoverySnapshot::~RecoverySnapshot()
{
    m_pool.waitForDone();
    if (m_removeWhenWritten)
        remove();
}

QString RecoverySnapshot::directory()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative path is to be ignored.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QLatin1Char('/') + QString::fromLatin1(StateFolder);
}

void RecoverySnapshot::setDelays(std::chrono::milliseconds quiet, std::chrono::milliseconds longest)
{
    m_quiet.setInterval(quiet);
    m_longest.setInterval(longest);
}

void RecoverySnapshot::changed()
{
    m_due = true;
    m_quiet.start();
    if (!m_longest.isActive())
        m_longest.start();
}

void RecoverySnapshot::saved()
{
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    m_writeAgain = false;
    // A write still going on would put an out-of-date snapshot back.
    if (m_writing)
        m_removeWhenWritten = true;
    remove();
}

void RecoverySnapshot::writeNow()
{
    if (!m_due)
        return;
    if (m_writing) {
        m_writeAgain = true;
        return;
    }
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    m_writing = true;
    m_pool.start([this, pages = m_source(), path = m_path] {
        const bool ok = writeFile(path, pages);
        QMetaObject::invokeMethod(this, [this, ok] { finished(ok); }, Qt::QueuedConnection);
    });
}

void RecoverySnapshot::flush()
{
    m_pool.waitForDone();
    if (!m_due && !m_writeAgain)
        return;
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    m_writeAgain = false;
    writeFile(m_path, m_source());
}

void RecoverySnapshot::finished(bool ok)
{
    m_writing = false;
    if (m_removeWhenWritten) {
        m_removeWhenWritten = false;
        remove();
    }
    // A failed write is tried again with the next change, not in a loop.
    if (!ok)
        m_due = true;
    if (m_writeAgain) {
        m_writeAgain = false;
        m_due = true;
        writeNow();
    }
    emit written(ok);
}

bool RecoverySnapshot::writeFile(const QString &path, const NotePages &pages)
{
    try {
        // Notes are private: the folder is the user's alone.
        const QString folder = QFileInfo(path).path();
        if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        NoteFile(path).save(pages);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

std::optional<RecoverySnapshot::Found> RecoverySnapshot::find() const
{
    const QFileInfo file(m_path);
    if (!file.exists())
        return std::nullopt;
    Found found;
    found.time = file.lastModified();
    try {
        std::optional<NotePages> pages = NoteFile(m_path).load();
        if (!pages)
            return std::nullopt;
        found.pages = std::move(*pages);
        found.readable = true;
    } catch (const EFOpenError &) {
        // Held by another program for the moment, not damaged: leave it for the next start.
        return std::nullopt;
    } catch (const std::exception &) {
        found.readable = false;
    }
    return found;
}

bool RecoverySnapshot::moveAside(const QDateTime &time) const
{
    const QFileInfo file(m_path);
    const QString stem = file.path() + QLatin1Char('/') + file.completeBaseName() + QLatin1Char('-')
                         + time.toString(QString::fromLatin1(MovedAsideTime));
    QString target = stem + QStringLiteral(".set");
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = stem + QStringLiteral("-%1.set").arg(n);
    return QFile::rename(m_path, target);
}

void RecoverySnapshot::remove() const
{
    QFile::remove(m_path);
}
