#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>

class QSettings;

// The settings store: named string values grouped by section, kept in the INI file
// "<key name>.ini" in the user's configuration folder.
//
// Reads give the default for anything missing, empty or not an integer where one is
// asked for; a value that is not a plain string raises ERegistryException.
// Puts are checked at once ("Failed to create key <section>" when the store cannot be
// reached) and written together by commit(), which replaces the file atomically, so a
// failed commit leaves the previous file whole. Uncommitted puts are dropped on
// destruction.
class TRegIniFile
{
public:
    static const char ApplicationKey[]; // "Brindle Pinnote"

    explicit TRegIniFile(const QString &keyName = QString::fromLatin1(ApplicationKey));
    ~TRegIniFile();

    TRegIniFile(const TRegIniFile &) = delete;
    TRegIniFile &operator=(const TRegIniFile &) = delete;

    // $XDG_CONFIG_HOME (or ~/.config when unset, empty or relative) / "<keyName>.ini".
    static QString settingsFilePath(const QString &keyName = QString::fromLatin1(ApplicationKey));
    QString fileName() const { return m_fileName; }

    bool GetBool(const QString &section, const QString &name, bool defaultValue);
    qint32 GetInt(const QString &section, const QString &name, qint32 defaultValue);
    QString GetText(const QString &section, const QString &name, const QString &defaultValue);

    void PutBool(const QString &section, const QString &name, bool value);
    void PutInt(const QString &section, const QString &name, qint32 value);
    void PutText(const QString &section, const QString &name, const QString &value);

    // Writes every pending put; raises "Failed to set data for '<name>'" naming the
    // first value that could not be written.
    void commit();
    bool hasPendingWrites() const { return !m_pending.isEmpty(); }

private:
    struct PendingValue
    {
        QString section;
        QString name;
        QString text;
    };

    QString targetPath() const;
    void checkReachable(const QString &section) const;
    QSettings &reader();
    [[noreturn]] void failCommit(const QString &name);

    QString m_fileName;
    std::unique_ptr<QSettings> m_reader;
    QList<PendingValue> m_pending;
};
