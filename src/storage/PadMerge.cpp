#include "storage/PadMerge.h"

#include "storage/NoteFile.h"
#include "storage/PageNames.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace {

using From = MergedPage::From;

constexpr char CopySuffix[] = " (%1)";
constexpr int FirstCopyNumber = 2;
constexpr char NameSeparator[] = ", ";
constexpr char PartSeparator[] = "; ";
constexpr char NoticeColon[] = ": ";
constexpr char16_t Ellipsis = u'\u2026';
// Up to this many pairs of pages under one name have their texts compared one by one.
constexpr size_t SmallGroup = 64;

// Texts of 64 KB are compared often; a page nobody changed still shares its text with the base.
bool sameString(const QString &a, const QString &b)
{
    return a.size() == b.size()
           && (a.constData() == b.constData() || std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(QChar)) == 0);
}

bool samePage(const NotePage &a, const NotePage &b)
{
    return sameString(a.name, b.name) && sameString(a.text, b.text);
}

// "Name (3)" gives "Name"; a name without such a number gives a null string.
QString numberedFrom(const QString &name)
{
    if (!name.endsWith(QLatin1Char(')')))
        return {};
    const qsizetype open = name.lastIndexOf(QLatin1String(" ("));
    const qsizetype digits = open + 2;
    if (open < 0 || digits >= name.size() - 1 || name[digits] == QLatin1Char('0'))
        return {};
    for (qsizetype i = digits; i < name.size() - 1; ++i) {
        if (name[i] < QLatin1Char('0') || name[i] > QLatin1Char('9'))
            return {};
    }
    return name.left(open);
}

// One id for all names that are the same() as Add Memo compares them. A name is hashed by
// its key; only where the locale's collator can take names with different keys as the same
// does a pad with names beyond plain ASCII fall back on the collator's order.
class NameIds
{
public:
    explicit NameIds(std::initializer_list<const NotePages *> pads)
    {
        // The pads share most names.
        qsizetype pages = 0;
        for (const NotePages *pad : pads)
            pages = std::max(pages, pad->size());
        m_spellings.reserve(size_t(pages));
        m_nextAlike.reserve(size_t(pages));
        size_t size = MinTable;
        while (size < 2 * size_t(pages))
            size *= 2;
        m_table.resize(size);
        if (m_names.keysDecide())
            return;
        m_bySpelling.reserve(pages);
        for (const NotePages *pad : pads) {
            for (const NotePage &page : *pad) {
                if (!PageNames::plain(page.name)) {
                    m_ordered = true;
                    return;
                }
            }
        }
    }

    int id(const QString &name)
    {
        // Where keys decide, one look-up by key does.
        if (m_names.keysDecide())
            return keyedId(name);
        const auto known = m_bySpelling.constFind(name);
        if (known != m_bySpelling.cend())
            return *known;
        const int id = m_ordered ? orderedId(name) : keyedId(name);
        m_bySpelling.insert(name, id);
        return id;
    }

    // A name spelt as like's at the same place takes its id without a look-up.
    std::vector<int> ids(const NotePages &pages, const NotePages &like = {}, const std::vector<int> &likeIds = {})
    {
        std::vector<int> ids(size_t(pages.size()));
        for (qsizetype i = 0; i < pages.size(); ++i)
            ids[i] = i < like.size() && sameString(pages[i].name, like[i].name) ? likeIds[i] : id(pages[i].name);
        return ids;
    }

    int count() const { return m_count; }

private:
    int keyedId(const QString &name)
    {
        if (m_table.size() < 2 * (m_spellings.size() + 1))
            grow();
        const quint64 full = PageNames::keyHash(name);
        const quint32 hash = quint32(full ^ (full >> 32));
        const size_t mask = m_table.size() - 1;
        size_t at = hash & mask;
        for (; m_table[at].id >= 0; at = (at + 1) & mask) {
            if (m_table[at].hash != hash || !PageNames::sameKey(m_spellings[m_table[at].id], name))
                continue;
            if (m_names.keysDecide())
                return m_table[at].id;
            // Names alike but for letter case, which the locale may still tell apart.
            int id = m_table[at].id;
            for (;; id = m_nextAlike[id]) {
                if (m_names.same(m_spellings[id], name))
                    return id;
                if (m_nextAlike[id] < 0)
                    break;
            }
            m_nextAlike[id] = m_count;
            return fresh(name);
        }
        m_table[at] = {hash, m_count};
        return fresh(name);
    }

    void grow()
    {
        std::vector<Entry> table(std::max<size_t>(MinTable, m_table.size() * 2));
        const size_t mask = table.size() - 1;
        for (const Entry &entry : m_table) {
            if (entry.id < 0)
                continue;
            size_t at = entry.hash & mask;
            while (table[at].id >= 0)
                at = (at + 1) & mask;
            table[at] = entry;
        }
        m_table = std::move(table);
    }

    int fresh(const QString &name)
    {
        m_spellings.push_back(name);
        m_nextAlike.push_back(-1);
        return m_count++;
    }

    int orderedId(const QString &name)
    {
        const auto [it, added] = m_sorted.try_emplace(name, m_count);
        if (added)
            ++m_count;
        return it->second;
    }

    PageNames m_names;
    bool m_ordered = false;
    int m_count = 0;
    QHash<QString, int> m_bySpelling;
    // Open addressing by key hash; the first id of each key.
    struct Entry
    {
        quint32 hash = 0;
        int id = -1;
    };
    static constexpr size_t MinTable = 64;
    std::vector<Entry> m_table;
    std::vector<QString> m_spellings;
    std::vector<int> m_nextAlike;
    std::map<QString, int, PageNames::Less> m_sorted{m_names.less()};
};

// A pad's pages grouped by name id, each group in the pad's order.
class Groups
{
public:
    Groups(const std::vector<int> &ids, int count) : m_start(count + 1, 0), m_pages(ids.size())
    {
        for (const int id : ids)
            ++m_start[id + 1];
        for (int id = 0; id < count; ++id)
            m_start[id + 1] += m_start[id];
        std::vector<int> next(m_start.begin(), m_start.end() - 1);
        for (int i = 0; i < int(ids.size()); ++i)
            m_pages[next[ids[i]]++] = i;
    }

    const int *begin(int id) const { return m_pages.data() + m_start[id]; }
    const int *end(int id) const { return m_pages.data() + m_start[id + 1]; }

private:
    std::vector<int> m_start;
    std::vector<int> m_pages;
};

struct Side
{
    const NotePages &pages;
    const Groups &groups;
    // Pages paired elsewhere (>= 0 there) stay out.
    const std::vector<int> *taken;
    std::vector<int> &to;

    std::vector<int> free(int id) const
    {
        std::vector<int> untaken;
        for (const int *p = groups.begin(id); p != groups.end(id); ++p) {
            if (!taken || (*taken)[*p] < 0)
                untaken.push_back(*p);
        }
        return untaken;
    }
};

void pairUp(Side &a, Side &b, int x, int y)
{
    a.to[x] = y;
    b.to[y] = x;
}

void pairTexts(Side &a, const std::vector<int> &as, Side &b, const std::vector<int> &bs)
{
    if (as.size() * bs.size() <= SmallGroup) {
        for (const int x : as) {
            for (const int y : bs) {
                if (b.to[y] < 0 && sameString(a.pages[x].text, b.pages[y].text)) {
                    pairUp(a, b, x, y);
                    break;
                }
            }
        }
        return;
    }
    const auto byText = [](const NotePages &pages) {
        return [&pages](int x, int y) { return pages[x].text < pages[y].text; };
    };
    std::vector<int> sa = as, sb = bs;
    std::stable_sort(sa.begin(), sa.end(), byText(a.pages));
    std::stable_sort(sb.begin(), sb.end(), byText(b.pages));
    for (size_t i = 0, j = 0; i < sa.size() && j < sb.size();) {
        const int order = a.pages[sa[i]].text.compare(b.pages[sb[j]].text);
        if (order == 0)
            pairUp(a, b, sa[i++], sb[j++]);
        else if (order < 0)
            ++i;
        else
            ++j;
    }
}

// Pairs the pages of two pads that have the same name: equal texts first, so that a page
// nobody changed finds its own, then the rest in their order.
void pairPages(Side a, Side b, int count)
{
    for (int id = 0; id < count; ++id) {
        if (a.groups.begin(id) == a.groups.end(id) || b.groups.begin(id) == b.groups.end(id))
            continue;
        if (a.groups.begin(id) + 1 == a.groups.end(id) && b.groups.begin(id) + 1 == b.groups.end(id)) {
            const int x = *a.groups.begin(id), y = *b.groups.begin(id);
            if ((!a.taken || (*a.taken)[x] < 0) && (!b.taken || (*b.taken)[y] < 0))
                pairUp(a, b, x, y);
            continue;
        }
        const std::vector<int> as = a.free(id), bs = b.free(id);
        if (as.empty() || bs.empty())
            continue;
        if (as.size() > 1 || bs.size() > 1)
            pairTexts(a, as, b, bs);
        size_t j = 0;
        for (const int x : as) {
            if (a.to[x] >= 0)
                continue;
            while (j < bs.size() && b.to[bs[j]] >= 0)
                ++j;
            if (j == bs.size())
                break;
            pairUp(a, b, x, bs[j++]);
        }
    }
}

struct Slot
{
    enum class Kind { Kept, Updated, Added, Copy };

    const NotePage *page = nullptr;
    int oursIndex = -1;
    From from = From::Ours;
    Kind kind = Kind::Kept;
    int name = -1;
    bool numbered = false; // named as a copy
};

// Texts the merged pad holds under each wanted name, its numbered copies ("Name (2)") included.
class Held
{
public:
    Held(NameIds &names, QSet<int> wanted) : m_names(names), m_wanted(std::move(wanted)) {}

    void add(const Slot &slot)
    {
        if (m_wanted.contains(slot.name))
            m_texts.insert(hash(slot.name, slot.page->text), {slot.name, &slot.page->text});
        // A copy is yet to be named: its name will be a numbered copy of its own.
        if (slot.kind == Slot::Kind::Copy)
            return;
        const QString numbered = numberedFrom(slot.page->name);
        if (!numbered.isNull()) {
            const int from = m_names.id(numbered);
            if (m_wanted.contains(from))
                m_texts.insert(hash(from, slot.page->text), {from, &slot.page->text});
        }
    }

    bool holds(const Slot &slot) const
    {
        const auto [begin, end] = m_texts.equal_range(hash(slot.name, slot.page->text));
        return std::any_of(begin, end, [&](const Text &text) {
            return text.name == slot.name && sameString(*text.text, slot.page->text);
        });
    }

private:
    struct Text
    {
        int name;
        const QString *text;
    };

    static size_t hash(int name, const QString &text) { return qHashMulti(0, name, text); }

    NameIds &m_names;
    QSet<int> m_wanted;
    QMultiHash<size_t, Text> m_texts;
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
    using Kind = Slot::Kind;
    PadMergeResult result;
    result.oursCount = ours.size();

    NameIds names{&base, &ours, &theirs};
    const std::vector<int> baseIds = names.ids(base);
    const std::vector<int> oursIds = names.ids(ours, base, baseIds);
    const std::vector<int> theirsIds = names.ids(theirs, base, baseIds);
    const int count = names.count();
    const Groups baseGroups(baseIds, count), oursGroups(oursIds, count), theirsGroups(theirsIds, count);

    std::vector<int> baseToOurs(size_t(base.size()), -1), oursToBase(size_t(ours.size()), -1);
    std::vector<int> baseToTheirs(size_t(base.size()), -1), theirsToBase(size_t(theirs.size()), -1);
    std::vector<int> oursToTheirs(size_t(ours.size()), -1), theirsToOurs(size_t(theirs.size()), -1);
    pairPages({base, baseGroups, nullptr, baseToOurs}, {ours, oursGroups, nullptr, oursToBase}, count);
    pairPages({base, baseGroups, nullptr, baseToTheirs}, {theirs, theirsGroups, nullptr, theirsToBase}, count);
    // Pages that both sides added.
    const auto unpaired = [](const std::vector<int> &to) { return std::find(to.begin(), to.end(), -1) != to.end(); };
    if (unpaired(oursToBase) && unpaired(theirsToBase)) {
        pairPages({ours, oursGroups, &oursToBase, oursToTheirs}, {theirs, theirsGroups, &theirsToBase, theirsToOurs},
                  count);
    }
    for (int o = 0; o < ours.size(); ++o) {
        if (const int b = oursToBase[o]; b >= 0 && baseToTheirs[b] >= 0) {
            oursToTheirs[o] = baseToTheirs[b];
            theirsToOurs[baseToTheirs[b]] = o;
        }
    }

    // What stands at each page of theirs, and the copy of theirs' text after ours.
    std::vector<Slot> atTheirs(theirs.size()), copies(theirs.size());
    QSet<int> addedNames, copiedNames;
    for (int t = 0; t < theirs.size(); ++t) {
        const NotePage &their = theirs[t];
        const int b = theirsToBase[t];
        const int o = theirsToOurs[t];
        const int name = theirsIds[t];
        Slot &slot = atTheirs[t];
        if (o < 0) {
            // Only there, or removed here: kept only when it is new or changed there.
            if (b < 0 || !samePage(their, base[b])) {
                slot = {&their, -1, From::Theirs, Kind::Added, name};
                addedNames.insert(name);
            }
            continue;
        }
        const NotePage &our = ours[o];
        const bool changedHere = b < 0 || !samePage(our, base[b]);
        const bool changedThere = b < 0 || !samePage(their, base[b]);
        if (!changedThere) {
            slot = {&our, o, changedHere ? From::Ours : From::Both, Kind::Kept, oursIds[o]};
        } else if (!changedHere) {
            slot = {&their, o, From::Theirs, Kind::Updated, name};
        } else if (samePage(our, their)) {
            slot = {&our, o, From::Both, Kind::Kept, oursIds[o]};
        } else {
            slot = {&our, o, From::Ours, Kind::Kept, oursIds[o]};
            copies[t] = {&their, -1, From::Theirs, Kind::Copy, name};
            copiedNames.insert(name);
        }
    }

    // Pages only here stay unless they were removed there and not changed here.
    std::vector<Slot> oursOnly(ours.size());
    for (int o = 0; o < ours.size(); ++o) {
        if (oursToTheirs[o] >= 0)
            continue;
        const int b = oursToBase[o];
        if (b >= 0 && samePage(ours[o], base[b]))
            result.removed.append(ours[o].name);
        else
            oursOnly[o] = {&ours[o], o, From::Ours, Kind::Kept, oursIds[o]};
    }

    // A text the pad already holds under that name or a numbered copy of it is not added
    // again, so that merging the same copy twice changes nothing. A page added there counts
    // only pages here that it does not stand for.
    if (!addedNames.isEmpty()) {
        Held held(names, std::move(addedNames));
        for (const Slot &slot : oursOnly) {
            if (slot.page)
                held.add(slot);
        }
        for (Slot &slot : atTheirs) {
            if (slot.kind == Kind::Added && slot.page && held.holds(slot))
                slot = {};
        }
    }
    if (!copiedNames.isEmpty()) {
        Held held(names, std::move(copiedNames));
        for (const std::vector<Slot> *side : {&atTheirs, &oursOnly}) {
            for (const Slot &slot : *side) {
                if (slot.page)
                    held.add(slot);
            }
        }
        for (Slot &copy : copies) {
            if (!copy.page)
                continue;
            if (held.holds(copy))
                copy = {};
            else
                held.add(copy);
        }
    }

    for (int t = 0; t < theirs.size(); ++t) {
        if (copies[t].page)
            result.keptTwice.append(ours[theirsToOurs[t]].name);
        if (atTheirs[t].kind == Kind::Added && atTheirs[t].page)
            result.added.append(theirs[t].name);
        if (atTheirs[t].kind == Kind::Updated)
            result.updated.append(theirs[t].name);
    }

    // The order is theirs when they moved a page that both sides have, else ours: a file
    // that brings nothing new changes nothing, and without a base nobody is known to have
    // moved anything. Either way a page only on the other side follows the page that
    // precedes it there.
    bool theirOrder = false;
    for (int t = 0, last = -1; t < theirs.size() && !theirOrder; ++t) {
        if (theirsToBase[t] >= 0 && theirsToOurs[t] >= 0) {
            theirOrder = theirsToBase[t] < last;
            last = theirsToBase[t];
        }
    }
    std::vector<Slot> order;
    order.reserve(ours.size() + theirs.size());
    const auto atTheir = [&](int t) {
        if (atTheirs[t].page)
            order.push_back(atTheirs[t]);
        if (copies[t].page)
            order.push_back(copies[t]);
    };
    // Pages of one side only, each with the page of the other side they follow (-1: the start).
    std::vector<std::pair<int, int>> after;
    if (theirOrder) {
        for (int o = 0, anchor = -1; o < ours.size(); ++o) {
            if (oursToTheirs[o] >= 0)
                anchor = oursToTheirs[o];
            else if (oursOnly[o].page)
                after.emplace_back(anchor, o);
        }
    } else {
        for (int t = 0, anchor = -1; t < theirs.size(); ++t) {
            if (theirsToOurs[t] >= 0)
                anchor = theirsToOurs[t];
            else if (atTheirs[t].page)
                after.emplace_back(anchor, t);
        }
    }
    std::stable_sort(after.begin(), after.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    auto next = after.cbegin();
    const auto followers = [&](int anchor) {
        for (; next != after.cend() && next->first == anchor; ++next) {
            if (theirOrder)
                order.push_back(oursOnly[next->second]);
            else
                atTheir(next->second);
        }
    };
    followers(-1);
    if (theirOrder) {
        for (int t = 0; t < theirs.size(); ++t) {
            atTheir(t);
            followers(t);
        }
    } else {
        for (int o = 0; o < ours.size(); ++o) {
            if (oursToTheirs[o] >= 0)
                atTheir(oursToTheirs[o]);
            else if (oursOnly[o].page)
                order.push_back(oursOnly[o]);
            followers(o);
        }
    }

    // A page added or brought back from there can meet a page here under its name, when each
    // side removed the page the other changed: it is numbered like a copy, so that a name is
    // not held more often than on either side.
    bool anyCopy = !result.keptTwice.isEmpty();
    if (!result.added.isEmpty()) {
        std::vector<int> allowed(size_t(names.count()), 0), held(size_t(names.count()), 0);
        for (const std::vector<int> *ids : {&oursIds, &theirsIds}) {
            std::vector<int> seen(size_t(names.count()), 0);
            for (const int id : *ids)
                allowed[id] = std::max(allowed[id], ++seen[id]);
        }
        for (const Slot &slot : order) {
            if (slot.kind != Kind::Copy)
                ++held[slot.name];
        }
        for (auto slot = order.rbegin(); slot != order.rend(); ++slot) {
            if (slot->kind == Kind::Added && held[slot->name] > allowed[slot->name]) {
                --held[slot->name];
                slot->numbered = anyCopy = true;
            }
        }
    }
    // A copy goes after the numbered copies that already follow our page, so that copies
    // merged one after another stay in that order.
    for (size_t i = 0; anyCopy && i < order.size(); ++i) {
        if (order[i].kind != Kind::Copy)
            continue;
        size_t j = i + 1;
        while (j < order.size() && order[j].kind != Kind::Copy) {
            const QString numbered = numberedFrom(order[j].page->name);
            if (numbered.isNull() || names.id(numbered) != order[i].name)
                break;
            ++j;
        }
        std::rotate(order.begin() + qsizetype(i), order.begin() + qsizetype(i) + 1, order.begin() + qsizetype(j));
        i = j - 1;
    }

    // Copies are named after all other pages are known, so that no name is taken twice;
    // each name's numbers are tried from where its last copy stopped.
    QSet<int> taken;
    QHash<int, int> nextNumber;
    if (anyCopy) {
        for (const Slot &slot : order) {
            if (slot.kind != Kind::Copy && !slot.numbered)
                taken.insert(slot.name);
        }
    }
    result.pages.reserve(qsizetype(order.size()));
    for (const Slot &slot : order) {
        MergedPage merged{*slot.page, slot.oursIndex, slot.from};
        if (slot.kind == Kind::Copy || slot.numbered) {
            auto number = nextNumber.find(slot.name);
            if (number == nextNumber.end())
                number = nextNumber.insert(slot.name, FirstCopyNumber);
            for (;; ++*number) {
                const QString name = withSuffix(slot.page->name, QString::fromLatin1(CopySuffix).arg(*number));
                const int id = names.id(name);
                if (!taken.contains(id)) {
                    taken.insert(id);
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
