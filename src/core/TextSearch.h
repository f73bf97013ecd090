#pragma once

#include <QString>
#include <QStringView>

// Finds a search text in one text, forward, the way Find in the editor matches:
//
// - Positions and lengths are UTF-16 code units of the text searched. For the editor
//   that is its text with CR LF line breaks, so results are editor positions, and a
//   match is always exactly as long as the search text.
// - A match begins and ends on whole characters, never between the two halves of a
//   surrogate pair.
// - Match case off compares character by character under simple Unicode case folding
//   ("Ä" matches "ä", "K" the Kelvin sign); one character never matches two ("ß" does
//   not match "ss"), so the match keeps the search text's length.
// - Whole word: the whole character before the match and the one after it are not
//   word characters, where word characters are letters, numbers, marks and connector
//   punctuation such as "_". A combining mark belongs to the word it follows, so
//   "cafe" is no whole word in "cafe" followed by U+0301; a letter outside the Basic
//   Multilingual Plane is a letter like any other.
// - An empty search text finds nothing.
// - The match lies wholly in [from, to); there is no wrap-around.
//
// The text is scanned as it is, folding on the fly, so a search costs no copy of it.
class TextSearch
{
public:
    // First match of what lying wholly in [from, to) of text, or -1; to < 0 means the end.
    static int find(QStringView text, QStringView what, int from, int to, bool wholeWord,
                    bool matchCase);

    static bool isWordCharacter(char32_t c);
    // s with every character replaced by its simple case fold, code unit for code unit.
    static QString caseFolded(QStringView s);
};
