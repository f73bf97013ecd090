#include "storage/PadMerge.h"

#include "storage/NoteFile.h"
#include "storage/PageNames.h"

#include <QHash>

#include <map>
#include <set>

namespace {

constexpr char CopySuffix[] = " (%1)";
constexpr int FirstCopyNumber = 2;
constexpr char NameSeparator[] = ", ";
constexpr char PartSeparator[] = "; ";
constexpr char NoticeColon[] = ": ";
constexpr char16_t Ellipsis = u'\u2026';

// Texts of 64 KB are compared often; a page nobody changed still shares its text with the base.
bool sameString(const QString &a, const QString &b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

bool samePage(const NotePage &a, const NotePage &b)
{
    return sameString(a.name, b.name) && sameString(a.text, b.text);
}

// A page's identity across the three pads: which name (letter case ignored) and which
// occurrence of it.
using PageKey = quint64;

class Matcher
{
public:
    QList<PageKey> keys(const NotePages &pages)
    {
        QList<PageKey> keys;
        keys.reserve(pages.size());
        QHash<quint32, quint32> seen;
        for (const NotePage &page : pages) {
            const quint32 name = nameId(page.name);
            keys.append((PageKey(name) << 32) | seen[name]++);
        }
        return keys;
    }

    const PageNames &names() const { return m_names; }

private:
    quint32 nameId(const QString &name)
    {
        const auto [it, added] = m_ids.try_emplace(name, quint32(m_ids.size()));
        return it->second;
    }

    PageNames m_names;
    std::map<QString, quint32, PageNames::Less> m_ids{m_names.less()};
};

QHash<PageKey, int> indexes(const QList<PageKey> &keys)
{
    QHash<PageKey, int> at;
    at.reserve(keys.size());
    for (int i = 0; i < keys.size(); ++i)
        at.insert(keys[i], i);
    return at;
}

struct Slot
{
    const NotePage *page = nullptr;
    int oursIndex = -1;
    MergedPage::From from = MergedPage::From::Ours;
    bool copy = false; // theirs' text of a page changed on both sides
};

// The name cut so that it keeps its suffix once stored, which cuts names to a byte count.
QString withSuffix(const QString &name, const QString &suffix)
{
    const qsizetype budget = NoteFile::MaxNameBytes - suffix.toUtf8().size();
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < name.size()) {
        const bool pair = name[end].isHighSurrogate() && end + 1 < name.size() && name[end + 1].isLowSurrogate();
        const char16_t c = name[end].unicode();
        const int size = pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (bytes + size > budget)
            break;
        bytes += size;
        end += pair ? 2 : 1;
    }
    return name.left(end) + suffix;
}

QString noticeNames(const QStringList &names)
{
    QStringList shown;
    for (qsizetype i = 0; i < names.size() && i < PadMergeResult::NoticeNames; ++i) {
        QString name = names[i];
        name.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (name.size() > PadMergeResult::NoticeNameLength) {
            name.truncate(PadMergeResult::NoticeNameLength - 1);
            if (name.back().isHighSurrogate())
                name.chop(1);
            name += QChar(Ellipsis);
        }
        shown.append(name);
    }
    const QString list = shown.join(QLatin1String(NameSeparator));
    if (names.size() <= PadMergeResult::NoticeNames)
        return list;
    return QString::fromLatin1(PadMergeResult::MoreNamesNotice).arg(list).arg(names.size() - shown.size());
}

} // namespace

bool PadMergeResult::changed() const
{
    if (pages.size() != oursCount)
        return true;
    for (int i = 0; i < pages.size(); ++i) {
        if (pages[i].oursIndex != i || pages[i].from == MergedPage::From::Theirs)
            return true;
    }
    return false;
}

QString PadMergeResult::notice() const
{
    if (!changed())
        return {};
    QStringList parts;
    const std::pair<const QStringList *, const char *> lists[] = {
        {&keptTwice, KeptTwiceNotice}, {&removed, RemovedNotice}, {&added, AddedNotice}, {&updated, UpdatedNotice}};
    for (const auto &[names, text] : lists) {
        if (!names->isEmpty())
            parts.append(QString::fromLatin1(text).arg(noticeNames(*names)));
    }
    QString notice = QString::fromLatin1(MergedNotice);
    if (!parts.isEmpty())
        notice += QLatin1String(NoticeColon) + parts.join(QLatin1String(PartSeparator));
    return notice;
}

NotePages PadMergeResult::notePages() const
{
    NotePages result;
    result.reserve(pages.size());
    for (const MergedPage &merged : pages)
        result.append(merged.page);
    return result;
}

PadMergeResult mergePads(const NotePages &base, const NotePages &ours, const NotePages &theirs)
{
    using From = MergedPage::From;
    PadMergeResult result;
    result.oursCount = ours.size();

    Matcher matcher;
    const QList<PageKey> baseKeys = matcher.keys(base);
    const QList<PageKey> oursKeys = matcher.keys(ours);
    const QList<PageKey> theirsKeys = matcher.keys(theirs);
    const QHash<PageKey, int> baseAt = indexes(baseKeys);
    const QHash<PageKey, int> oursAt = indexes(oursKeys);
    const QHash<PageKey, int> theirsAt = indexes(theirsKeys);

    // What stands at each page of theirs, in its order.
    QList<QList<Slot>> atTheirs(theirs.size());
    for (int t = 0; t < theirs.size(); ++t) {
        const NotePage &their = theirs[t];
        const int b = baseAt.value(theirsKeys[t], -1);
        const int o = oursAt.value(theirsKeys[t], -1);
        QList<Slot> &slot = atTheirs[t];
        if (o < 0) {
            // Only there, or removed here: kept only when it is new or changed there.
            if (b < 0 || !samePage(their, base[b])) {
                slot.append({&their, -1, From::Theirs});
                result.added.append(their.name);
            }
            continue;
        }
        const NotePage &our = ours[o];
        const bool changedHere = b < 0 || !samePage(our, base[b]);
        const bool changedThere = b < 0 || !samePage(their, base[b]);
        if (!changedThere) {
            slot.append({&our, o, changedHere ? From::Ours : From::Both});
        } else if (!changedHere) {
            slot.append({&their, o, From::Theirs});
            result.updated.append(their.name);
        } else if (samePage(our, their)) {
            slot.append({&our, o, From::Both});
        } else {
            slot.append({&our, o, From::Ours});
            slot.append({&their, -1, From::Theirs, true});
            result.keptTwice.append(our.name);
        }
    }

    // Pages only here follow the page that precedes them here.
    QList<Slot> atStart;
    QList<QList<Slot>> afterTheirs(theirs.size());
    QList<Slot> *after = &atStart;
    for (int o = 0; o < ours.size(); ++o) {
        const int t = theirsAt.value(oursKeys[o], -1);
        if (t >= 0) {
            after = &afterTheirs[t];
            continue;
        }
        const int b = baseAt.value(oursKeys[o], -1);
        if (b >= 0 && samePage(ours[o], base[b])) {
            result.removed.append(ours[o].name);
            continue;
        }
        after->append({&ours[o], o, From::Ours});
    }

    QList<Slot> order = atStart;
    for (int t = 0; t < theirs.size(); ++t)
        order += atTheirs[t] + afterTheirs[t];

    // Copies are named after all other pages are known, so that no name is taken twice.
    std::set<QString, PageNames::Less> taken(matcher.names().less());
    for (const Slot &slot : order) {
        if (!slot.copy)
            taken.insert(slot.page->name);
    }
    result.pages.reserve(order.size());
    for (const Slot &slot : order) {
        MergedPage merged{*slot.page, slot.oursIndex, slot.from};
        if (slot.copy) {
            for (int n = FirstCopyNumber;; ++n) {
                const QString name = withSuffix(slot.page->name, QString::fromLatin1(CopySuffix).arg(n));
                if (taken.insert(name).second) {
                    merged.page.name = name;
                    merged.page.storedName = {};
                    break;
                }
            }
        }
        result.pages.append(std::move(merged));
    }
    return result;
}
