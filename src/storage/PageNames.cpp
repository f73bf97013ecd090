#include "storage/PageNames.h"

#include "storage/NoteFile.h"

PageNames::PageNames()
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    // The C locale's collator only compares the case-folded code points.
    m_keysDecide = m_collator.locale().language() == QLocale::C;
}

int PageNames::compare(const QString &a, const QString &b) const
{
    return m_collator.compare(NoteFile::keptName(a), NoteFile::keptName(b));
}

namespace {

// The code points of a name's kept part, case folded; a lone surrogate stays as it is,
// as the C locale's comparison takes it.
class Folded
{
public:
    explicit Folded(const QString &name) : m_kept(NoteFile::keptName(name)), m_at(m_kept.constData()), m_end(m_at + m_kept.size()) {}

    bool atEnd() const { return m_at == m_end; }

    char32_t next()
    {
        const char16_t c = (m_at++)->unicode();
        if (c < 0x80)
            return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
        if (QChar::isHighSurrogate(c) && m_at != m_end && m_at->isLowSurrogate())
            return QChar::toCaseFolded(QChar::surrogateToUcs4(c, (m_at++)->unicode()));
        return QChar::toCaseFolded(char32_t(c));
    }

private:
    const QString m_kept;
    const QChar *m_at;
    const QChar *const m_end;
};

} // namespace

quint64 PageNames::keyHash(const QString &name)
{
    // FNV-1a over the folded code points.
    quint64 hash = 14695981039346656037ULL;
    for (Folded folded(name); !folded.atEnd();)
        hash = (hash ^ folded.next()) * 1099511628211ULL;
    return hash;
}

bool PageNames::sameKey(const QString &a, const QString &b)
{
    Folded x(a), y(b);
    while (!x.atEnd() && !y.atEnd()) {
        if (x.next() != y.next())
            return false;
    }
    return x.atEnd() && y.atEnd();
}

bool PageNames::plain(const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}
