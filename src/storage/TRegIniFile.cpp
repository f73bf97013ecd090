#include "storage/TRegIniFile.h"

#include "core/Exceptions.h"
#include "core/IntegerText.h"
#include "storage/WriteBits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>

#include <cstdio>

namespace {

const char InvalidDataType[] = "Invalid data type for '%1'";
const char FailedToCreateKey[] = "Failed to create key %1";
const char FailedToSetData[] = "Failed to set data for '%1'";

const char IniSuffix[] = ".ini";
const char DefaultConfigFolder[] = "/.config";
const char TrueText[] = "1";
const char FalseText[] = "0";
constexpr qint64 CopyChunk = 64 * 1024;

QString configFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        home = QDir::homePath();
    return home + QLatin1String(DefaultConfigFolder);
}

QString settingsKey(const QString &section, const QString &name)
{
    return section + u'/' + name;
}

bool copyInto(QFile &source, QIODevice &target)
{
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(CopyChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            return false;
        if (target.write(chunk) != chunk.size())
            return false;
    }
    return source.error() == QFileDevice::NoError;
}

// Each staging file gets a name never used before in this process: QSettings keeps
// what it knew about a file name for the process's life.
int nextStagingNumber()
{
    static int counter = 0;
    return ++counter;
}

} // namespace

const char TRegIniFile::ApplicationKey[] = "Brindle Pinnote";

TRegIniFile::TRegIniFile(const QString &keyName)
    : m_fileName(settingsFilePath(keyName))
{
}

TRegIniFile::~TRegIniFile() = default;

QString TRegIniFile::settingsFilePath(const QString &keyName)
{
    return QDir::cleanPath(configFolder() + u'/' + keyName + QLatin1String(IniSuffix));
}

QSettings &TRegIniFile::reader()
{
    // A fresh QSettings re-reads the file when it changed on disk since it was last seen.
    if (!m_reader)
        m_reader = std::make_unique<QSettings>(m_fileName, QSettings::IniFormat);
    return *m_reader;
}

QString TRegIniFile::GetText(const QString &section, const QString &name, const QString &defaultValue)
{
    for (auto it = m_pending.crbegin(); it != m_pending.crend(); ++it) {
        if (it->section == section && it->name == name)
            return it->text;
    }
    QSettings &settings = reader();
    const QString key = settingsKey(section, name);
    if (!settings.contains(key))
        return defaultValue;
    const QVariant value = settings.value(key);
    if (value.typeId() != QMetaType::QString)
        throw ERegistryException(QString::fromLatin1(InvalidDataType).arg(name));
    QString text = value.toString();
    // A stored string ends at its first NUL, so that a setting copied from Windows,
    // where the value's end is marked so, reads the same here.
    if (const qsizetype end = text.indexOf(QChar(0)); end >= 0)
        text.truncate(end);
    return text;
}

qint32 TRegIniFile::GetInt(const QString &section, const QString &name, qint32 defaultValue)
{
    return parseInteger(GetText(section, name, QString()), defaultValue);
}

bool TRegIniFile::GetBool(const QString &section, const QString &name, bool defaultValue)
{
    return GetInt(section, name, defaultValue ? 1 : 0) != 0;
}

QString TRegIniFile::targetPath() const
{
    // Writes go to the file a link leads to, so the link itself survives.
    const QFileInfo info(m_fileName);
    if (!info.isSymLink())
        return info.absoluteFilePath();
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? QFileInfo(info.symLinkTarget()).absoluteFilePath() : resolved;
}

void TRegIniFile::checkReachable(const QString &section) const
{
    const QFileInfo target(targetPath());
    const QString folder = target.absolutePath();
    const bool folderReady = QDir().mkpath(folder);
    const QFileInfo folderInfo(folder);
    bool reachable = folderReady && folderInfo.isDir() && folderInfo.isWritable();
    // A store file without write bits is read-only.
    if (reachable && target.exists())
        reachable = target.isFile() && hasWriteBit(target.permissions());
    if (!reachable)
        throw ERegistryException(QString::fromLatin1(FailedToCreateKey).arg(section));
}

void TRegIniFile::PutText(const QString &section, const QString &name, const QString &value)
{
    checkReachable(section);
    m_pending.append({section, name, value});
}

void TRegIniFile::PutInt(const QString &section, const QString &name, qint32 value)
{
    PutText(section, name, QString::number(value));
}

void TRegIniFile::PutBool(const QString &section, const QString &name, bool value)
{
    PutText(section, name, QString::fromLatin1(value ? TrueText : FalseText));
}

void TRegIniFile::failCommit(const QString &name)
{
    m_pending.clear();
    throw ERegistryException(QString::fromLatin1(FailedToSetData).arg(name));
}

void TRegIniFile::commit()
{
    if (m_pending.isEmpty())
        return;
    const QString firstName = m_pending.constFirst().name;
    const QFileInfo target(targetPath());

    // QSettings keeps unwritten values in a per-process cache keyed by file name and
    // would write them later from any instance. So the values go into a staging copy
    // with a name of its own, which then replaces the store in one rename.
    QTemporaryFile staging(QStringLiteral("%1.%2.XXXXXX")
                               .arg(target.absoluteFilePath())
                               .arg(nextStagingNumber()));
    if (!staging.open())
        failCommit(firstName);
    if (target.exists()) {
        QFile current(target.absoluteFilePath());
        if (!current.open(QIODevice::ReadOnly) || !copyInto(current, staging))
            failCommit(firstName);
    }
    if (!staging.flush())
        failCommit(firstName);
    staging.close();

    {
        QSettings settings(staging.fileName(), QSettings::IniFormat);
        if (settings.status() == QSettings::AccessError)
            failCommit(firstName);
        for (const PendingValue &value : std::as_const(m_pending))
            settings.setValue(settingsKey(value.section, value.name), value.text);
        settings.sync();
        if (settings.status() == QSettings::AccessError)
            failCommit(firstName);
    }

    if (target.exists())
        QFile::setPermissions(staging.fileName(), target.permissions());
    if (std::rename(QFile::encodeName(staging.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        failCommit(firstName);
    staging.setAutoRemove(false);

    m_pending.clear();
    m_reader.reset();
}
