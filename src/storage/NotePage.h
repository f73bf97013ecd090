#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One page of the pad as it is stored: its tab caption and its plain text (CR LF breaks).
struct NotePage
{
    QString name;
    QString text;

    // The bytes name and text were read with. While set, a save writes them back as they
    // are, so what the user did not change keeps its bytes; null once the program set the
    // name or text itself.
    QByteArray storedName = {};
    QByteArray storedText = {};

    // The same name and text; how they are stored does not count.
    friend bool operator==(const NotePage &a, const NotePage &b) { return a.name == b.name && a.text == b.text; }

    // The same bytes on disk: stored bytes where there are any, else the UTF-8 the text becomes.
    static bool sameBytes(const QList<NotePage> &a, const QList<NotePage> &b);
};

using NotePages = QList<NotePage>;
