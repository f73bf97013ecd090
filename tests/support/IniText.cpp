#include "support/IniText.h"

#include <QStringList>

QMap<QString, QString> parseIniText(const QByteArray &bytes)
{
    QMap<QString, QString> values;
    QString group;
    for (const QString &rawLine : QString::fromUtf8(bytes).split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')) {
            QString unquoted;
            for (qsizetype i = 1; i < value.size() - 1; ++i) {
                if (value.at(i) == u'\\' && i + 1 < value.size() - 1)
                    ++i;
                unquoted.append(value.at(i));
            }
            value = unquoted;
        }
        values.insert(group + u'/' + line.left(equals).trimmed(), value);
    }
    return values;
}
