// A pad that another program changes while this one runs, a second machine through a
// sync engine among them: noticing the change, and merging it page by page so that no
// edit on either side is lost.

#include "app/Main.h"

#include "editor/RichEdit.h"
#include "widgets/ErrorBox.h"
#include "core/Exceptions.h"
#include "storage/PrivateFolder.h"
#include "widgets/TabStrip.h"
#include "storage/ConflictCopies.h"
#include "storage/PadMerge.h"
#include "storage/RecoverySnapshot.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {
// Sync engines raise a burst of events for one change: look once it is over.
constexpr int SettleMs = 300;
// A file that cannot be read, perhaps still being written, is tried again this much later,
// this many times; a save then moves it aside.
constexpr int RetryMs = 1000;
constexpr int RetryCount = 5;
// How long conflict copies are merged before keys are answered again.
constexpr int CopySliceMs = 30;

const char UnreadableMovedNotice[] = "Pinnote.set on disk could not be read: moved to %1";
const char UnreadableCopyNotice[] = "Could not read %1: left where it is";
const char RefusedCopyNotice[] = "Did not merge %1, %2: left where it is";
const char MovedAsideFailure[] = "Pinnote.set on disk could not be read, and could not be moved aside: %1";

QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

// One merge after another, as one: each page traced back to the pad the first began with.
PadMergeResult followedBy(const PadMergeResult &first, PadMergeResult second)
{
    for (MergedPage &page : second.pages) {
        if (page.oursIndex < 0)
            continue;
        const MergedPage &before = first.pages.at(page.oursIndex);
        page.oursIndex = before.oursIndex;
        if (before.from == MergedPage::From::Theirs)
            page.from = MergedPage::From::Theirs;
    }
    second.oursCount = first.oursCount;
    // Many copies of one page say its name once: "Memo kept twice", not "Memo, Memo, Memo".
    const auto joined = [](QStringList names, const QStringList &more) {
        for (const QString &name : more) {
            if (!names.contains(name))
                names.append(name);
        }
        return names;
    };
    second.keptTwice = joined(first.keptTwice, second.keptTwice);
    second.added = joined(first.added, second.added);
    second.removed = joined(first.removed, second.removed);
    second.updated = joined(first.updated, second.updated);
    return second;
}

// The state folder, when it is the user's own and closed to others.
QString privateStateFolder()
{
    const PrivateFolder folder(RecoverySnapshot::directory(), PrivateFolder::Make::Missing);
    return folder.isUsable() ? folder.path() : QString();
}
} // namespace

void TMainForm::startWatching()
{
    // A moment after start-up: the watch costs the first paint nothing, and a change made
    // meanwhile is found all the same, by the first look.
    QTimer::singleShot(SettleMs, this, [this] {
        m_watcher = new QFileSystemWatcher(this);
        m_diskCheck = new QTimer(this);
        m_diskCheck->setSingleShot(true);
        m_diskCheck->setInterval(SettleMs);
        connect(m_diskCheck, &QTimer::timeout, this, [this] { ErrorBox::guard(this, [this] { checkDisk(); }); });
        const auto schedule = [this] {
            if (!m_diskCheck->isActive())
                m_diskCheck->start();
        };
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, schedule);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, schedule);
        ErrorBox::guard(this, [this] { checkDisk(); });
    });
}

// A file renamed over the pad is another file: the watch on the old one is gone with it.
void TMainForm::watchNoteFile()
{
    if (!m_watcher)
        return;
    const QString folder = folderOf(m_noteFile.path());
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
    if (!m_watcher->files().contains(m_noteFile.path()) && QFileInfo::exists(m_noteFile.path()))
        m_watcher->addPath(m_noteFile.path());
}

bool TMainForm::changedOnDisk() const
{
    return FileIdentity::of(m_noteFile.path()) != m_diskIdentity;
}

void TMainForm::checkDisk()
{
    // Not under a dialog or a print run that works on the pages as they are.
    if (QApplication::activeModalWidget()) {
        m_diskCheck->start();
        return;
    }
    watchNoteFile();
    // Many conflict copies at once are taken a slice at a time, so that keys are answered
    // meanwhile; the file is looked at once they are all in, since one of them may show
    // which base the file descends from.
    if (!mergeConflictCopies(QDeadlineTimer(CopySliceMs))) {
        QTimer::singleShot(0, this, [this] { ErrorBox::guard(this, [this] { checkDisk(); }); });
        return;
    }
    if (!changedOnDisk() || mergeFromDisk() != DiskMerge::Unreadable) {
        m_diskRetries = 0;
        return;
    }
    if (m_diskRetries++ < RetryCount)
        QTimer::singleShot(RetryMs, m_diskCheck, qOverload<>(&QTimer::start));
}

TMainForm::DiskMerge TMainForm::mergeFromDisk()
{
    FileIdentity identity;
    std::optional<NotePages> theirs;
    try {
        theirs = m_noteFile.load(&identity);
    } catch (const std::exception &) {
        return DiskMerge::Unreadable;
    }
    if (!theirs) {
        // Gone: nothing to take from it, and the next save writes the pad again.
        m_diskIdentity.reset();
        return DiskMerge::Unchanged;
    }
    applyMerge(mergePads(m_pages.baseFor(*theirs), pages(), *theirs));
    m_pages.setBase(*theirs);
    m_diskIdentity = identity;
    watchNoteFile();
    return DiskMerge::Merged;
}

// Nothing is written over a file that changed since this copy last read or wrote it, even
// when no notification came: it is merged first, or moved aside when it cannot be read.
bool TMainForm::mergeBeforeSave()
{
    mergeConflictCopies(QDeadlineTimer::Forever);
    if (!changedOnDisk() || mergeFromDisk() != DiskMerge::Unreadable)
        return true;
    // Only a file can hold someone's notes; anything else makes the save fail as it is.
    if (!QFileInfo(m_noteFile.path()).isFile())
        return true;
    const QString stateFolder = privateStateFolder();
    try {
        if (stateFolder.isEmpty())
            throw EFCreateError(RecoverySnapshot::directory());
        const QString moved = ConflictCopies::moveInto(m_noteFile.path(), stateFolder);
        m_diskIdentity.reset();
        setHint(QString::fromLatin1(UnreadableMovedNotice).arg(moved));
        return true;
    } catch (const Exception &error) {
        m_saveFailure = QString::fromLatin1(MovedAsideFailure).arg(error.message());
    }
    return false;
}

// It descends from the file this copy last read or wrote, as a file found in place before the
// save would; it is kept as a conflict copy is, since the pad in place does not hold it yet.
void TMainForm::mergeDisplaced(const QString &path)
{
    std::optional<NotePages> theirs;
    try {
        theirs = NoteFile(path).load();
    } catch (const std::exception &) {
    }
    if (theirs) {
        applyMerge(mergePads(m_pages.baseFor(*theirs), pages(), *theirs));
        m_pages.setBase(*theirs);
    }
    const QString stateFolder = privateStateFolder();
    try {
        if (stateFolder.isEmpty())
            throw EFCreateError(RecoverySnapshot::directory());
        const QString moved = ConflictCopies::moveInto(path, stateFolder);
        if (!theirs)
            setHint(QString::fromLatin1(UnreadableMovedNotice).arg(moved));
    } catch (const Exception &) {
        // Left beside the pad, under its own name: nothing of it is lost.
        if (!theirs)
            setHint(QString::fromLatin1(UnreadableCopyNotice).arg(QFileInfo(path).fileName()));
    }
}

bool TMainForm::mergeConflictCopies(QDeadlineTimer deadline)
{
    if (m_pendingCopies.isEmpty())
        m_pendingCopies = ConflictCopies::list(folderOf(m_noteFile.path()));
    if (m_pendingCopies.isEmpty())
        return true;
    const QString stateFolder = privateStateFolder();
    const qint64 limit = ConflictCopies::sizeLimit(m_diskIdentity ? m_diskIdentity->size : 0);
    std::optional<PadMergeResult> merged;
    while (!m_pendingCopies.isEmpty() && !deadline.hasExpired()) {
        const ConflictCopy copy = m_pendingCopies.takeFirst();
        // Each copy once, even when it cannot be moved away: a second merge would keep
        // its differing pages a third time.
        const std::optional<FileIdentity> identity = ConflictCopies::identity(copy.path);
        if (!identity || m_handledCopies.value(copy.path) == *identity)
            continue;
        m_handledCopies.insert(copy.path, *identity);
        const QString name = QFileInfo(copy.path).fileName();
        std::optional<NotePages> theirs;
        FileIdentity read;
        try {
            theirs = ConflictCopies::load(copy.path, limit, &read);
        } catch (const EFOpenError &error) {
            // Not the user's own file, or not one to take in: it is not even read.
            setHint(QString::fromLatin1(RefusedCopyNotice).arg(name, error.reason()));
            continue;
        } catch (const std::exception &) {
        }
        if (!theirs || stateFolder.isEmpty()) {
            setHint(QString::fromLatin1(UnreadableCopyNotice).arg(name));
            continue;
        }
        // A save of ours that the engine set aside holds nothing new; what it shows is that
        // the file now in place never saw it.
        if (!m_pages.disownSave(*theirs)) {
            // No common base: pages alike once, pages that differ both.
            const NotePages ours = merged ? merged->notePages() : pages();
            PadMergeResult next = mergePads({}, ours, *theirs);
            merged = merged ? followedBy(*merged, std::move(next)) : std::move(next);
        }
        try {
            ConflictCopies::moveInto(copy.path, stateFolder, read);
        } catch (const Exception &) {
            // Merged all the same; it stays where it is, and is not merged twice.
        }
    }
    if (merged)
        applyMerge(*merged);
    return m_pendingCopies.isEmpty();
}

void TMainForm::applyMerge(const PadMergeResult &merged)
{
    if (!merged.changed())
        return;
    const int current = TabControl->currentIndex();
    int shown = -1;
    int nearest = 0;
    bool takesTheirs = false;
    for (int i = 0; i < merged.pages.size(); ++i) {
        const MergedPage &page = merged.pages.at(i);
        if (page.oursIndex == current) {
            shown = i;
            takesTheirs = page.from == MergedPage::From::Theirs;
        } else if (page.oursIndex >= 0 && page.oursIndex < current) {
            nearest = i;
        }
    }

    // The editor keeps what it holds, typing and undo included, unless the page on show
    // takes their text or is gone.
    m_pages.assign(merged.notePages());
    TabControl->clear();
    TabControl->addTabs(m_pages.names());
    if (shown < 0) {
        showPage(std::min(nearest, m_pages.count() - 1));
    } else {
        TabControl->setCurrentIndex(shown);
        if (takesTheirs)
            showMergedText(shown);
        nameEditor();
    }
    notesChanged();
    setHint(merged.notice());
}

// The page on show takes a text from disk where the reader was: the caret as near as it
// can be to where it was, the view where it was, and the focus left alone.
void TMainForm::showMergedText(int index)
{
    const int caret = Memo->textCursor().position();
    const int scrolled = Memo->verticalScrollBar()->value();
    Memo->setText(m_pages.text(index));
    Memo->document()->setModified(false);
    QTextCursor cursor = Memo->textCursor();
    cursor.setPosition(std::min(caret, Memo->document()->characterCount() - 1));
    Memo->setTextCursor(cursor);
    Memo->verticalScrollBar()->setValue(scrolled);
}
