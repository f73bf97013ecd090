#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The text-to-integer grammar of stored values: optional leading spaces, then a
// signed decimal number or "$" followed by hexadecimal digits ("0x"/"0X" count as "$").
// Hexadecimal texts are 32-bit patterns, so "$FFFFFFFF" is -1.
std::optional<qint32> textToInteger(const QString &text);

// The value of the text, or the default when the text does not fit the grammar.
qint32 parseInteger(const QString &text, qint32 defaultValue);
