#pragma once

#include <QList>
#include <QString>

// One page of the pad as it is stored: its tab caption and its plain text (CR LF breaks).
struct NotePage
{
    QString name;
    QString text;

    friend bool operator==(const NotePage &, const NotePage &) = default;
};

using NotePages = QList<NotePage>;
