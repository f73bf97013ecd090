#pragma once

#include "storage/NotePage.h"

#include <QList>
#include <QString>
#include <QStringList>

// One page of a merged pad and where it came from.
struct MergedPage
{
    enum class From {
        Ours,   // this copy's page, which the file did not change
        Theirs, // the file's page: changed there, or only there
        Both,   // the same on both sides; this copy's page is kept
    };

    NotePage page;
    // The page of ours this one stands in place of (kept, or updated from the file), or -1
    // for a page ours does not have.
    int oursIndex = -1;
    From from = From::Ours;
};

struct PadMergeResult
{
    static constexpr char MergedNotice[] = "Merged changes from disk";
    static constexpr char KeptTwiceNotice[] = "%1 kept twice";
    static constexpr char RemovedNotice[] = "%1 removed";
    static constexpr char AddedNotice[] = "%1 added";
    static constexpr char UpdatedNotice[] = "%1 updated";
    static constexpr char MoreNamesNotice[] = "%1 and %2 more";
    static constexpr int NoticeNames = 3;
    // Longer names are cut, so that the line stays one line.
    static constexpr int NoticeNameLength = 40;

    QList<MergedPage> pages;
    // Names of pages changed on both sides: ours kept its page, theirs follows as a new one.
    QStringList keptTwice;
    // Pages the file brought in, took away, or changed, seen from ours.
    QStringList added;
    QStringList removed;
    QStringList updated;
    // How many pages ours had, for changed().
    qsizetype oursCount = 0;

    // Whether the merged pad differs from ours: other pages, texts or order.
    bool changed() const;
    // One status-bar line: "Merged changes from disk: Shop kept twice; Work updated";
    // empty when ours stays as it is.
    QString notice() const;
    NotePages notePages() const;
};

// Three-way merge of a pad, page by page, so that no edit is lost. Base is the pad as this
// copy last read or wrote it, ours the pad in memory, theirs the file now on disk. Pages are
// matched by name (as Add Memo compares names), a repeated name by equal text first, then by
// order of appearance. An empty base merges two copies of a pad: identical pages once,
// differing pages both. A text the pad holds under that name or a numbered copy of it is not
// added again, so merging the same file twice changes nothing.
PadMergeResult mergePads(const NotePages &base, const NotePages &ours, const NotePages &theirs);
