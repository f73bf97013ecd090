#pragma once

#include <QCollator>
#include <QString>

// How page names are told apart: letter case ignored, by the user's locale, and only the
// part of a name that the note file keeps. Add Memo looks a name up this way, and a merge
// matches pages this way.
class PageNames
{
public:
    PageNames();

    bool same(const QString &a, const QString &b) const { return compare(a, b) == 0; }
    int compare(const QString &a, const QString &b) const;

    // An order for maps and sets of names in which names that are the same() are equal.
    // (The collator's sort keys are not: in the C locale they keep letter case.)
    struct Less
    {
        const PageNames *names;
        bool operator()(const QString &a, const QString &b) const { return names->compare(a, b) < 0; }
    };
    Less less() const { return {this}; }

    // Names hash by their key: the kept part with its letter case folded. In the C locale
    // two names are the same() exactly when their keys are equal. A locale's collator can
    // tell apart names with equal keys (a Turkish dotless i), and can take names with
    // different keys as the same (composed and decomposed accents, full-width letters,
    // control characters), though never two plain() names.
    static quint64 keyHash(const QString &name);
    static bool sameKey(const QString &a, const QString &b);
    bool keysDecide() const { return m_keysDecide; }
    // Printable ASCII only.
    static bool plain(const QString &name);

private:
    QCollator m_collator;
    bool m_keysDecide = false;
};
