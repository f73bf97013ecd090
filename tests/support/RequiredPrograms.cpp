#include "support/RequiredPrograms.h"

#include <QStandardPaths>
#include <QStringList>

QString missingPrograms(std::initializer_list<RequiredProgram> programs)
{
    QStringList missing;
    for (const RequiredProgram &required : programs) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(required.program)).isEmpty())
            missing << QStringLiteral("%1 (Debian package %2)")
                           .arg(QLatin1String(required.program), QLatin1String(required.package));
    }
    if (missing.isEmpty())
        return {};
    return QStringLiteral("not installed: %1; run make deps").arg(missing.join(QStringLiteral(", ")));
}
