#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// "Group/Key" -> value, read from the INI text by hand rather than through QSettings,
// so that what the file holds is checked as another reader would see it. A value in
// double quotes is unquoted and its backslash escapes resolved; comments are skipped.
QMap<QString, QString> parseIniText(const QByteArray &bytes);
