// Merging a 64 MB pad of 1,000 pages in which the file on disk changed 10 pages and this copy
// one, and a pad of 100,000 small pages with 10 changed on each side, against loading that
// file: the merge runs right after such a load. Naming the copies of pages that all have one
// name and were changed on both sides, 4,000 against 1,000. And what watching
// the file adds to a save of a pad that nobody else touches: the look at the file's identity
// before it, and the watch put back on the new file after it.
#include "BigPad.h"
#include "RatioReporter.h"

#include "storage/ConflictCopies.h"
#include "storage/FileIdentity.h"
#include "storage/NoteFile.h"
#include "storage/PadMerge.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int PageCount = 1000;
constexpr int TextBytes = 64 * 1024;
constexpr int ChangedThere = 10;

constexpr int SmallPageCount = 100000;
constexpr int SmallTextBytes = 100;

struct Pads
{
    QString theirsPath;
    NotePages base;
    NotePages ours;
    NotePages theirs;

    Pads(const QTemporaryDir &dir, const QString &name, int pageCount, int textBytes, int changedHere)
    {
        NotePages pages = bigPad(pageCount, textBytes);

        // This copy read the pad, then its editor changed some pages.
        const QString basePath = dir.filePath(name + QStringLiteral("-base.set"));
        NoteFile(basePath).save(pages);
        base = *NoteFile(basePath).load();
        ours = base;
        for (int i = 0; i < changedHere; ++i) {
            NotePage &page = ours[(i * (pageCount / changedHere) + pageCount / 2) % pageCount];
            page.text += QStringLiteral("typed here");
            page.storedText = {};
        }

        // Another machine changed ten other pages.
        for (int i = 0; i < ChangedThere; ++i)
            pages[i * (pageCount / ChangedThere) + 1].text += QStringLiteral("typed there");
        theirsPath = dir.filePath(name + QStringLiteral("-theirs.set"));
        NoteFile(theirsPath).save(pages);
        theirs = *NoteFile(theirsPath).load();
    }
};

struct Fixture
{
    QTemporaryDir dir;
    Pads big{dir, QStringLiteral("big"), PageCount, TextBytes, 1};
    Pads small{dir, QStringLiteral("small"), SmallPageCount, SmallTextBytes, ChangedThere};
};

// Every page named "Memo", every text changed differently on each side.
struct OneName
{
    NotePages base, ours, theirs;

    explicit OneName(int count)
    {
        for (int i = 0; i < count; ++i) {
            base.append({QStringLiteral("Memo"), QString::number(i)});
            ours.append({QStringLiteral("Memo"), QStringLiteral("here %1").arg(i)});
            theirs.append({QStringLiteral("Memo"), QStringLiteral("there %1").arg(i)});
        }
    }
};

Fixture &fixture()
{
    static Fixture instance;
    return instance;
}

const Pads &pads(const benchmark::State &state)
{
    return state.range(0) == SmallPageCount ? fixture().small : fixture().big;
}

void BM_Load(benchmark::State &state)
{
    const NoteFile file(pads(state).theirsPath);
    for (auto _ : state)
        benchmark::DoNotOptimize(file.load());
}

void BM_Merge(benchmark::State &state)
{
    const Pads &p = pads(state);
    for (auto _ : state) {
        const PadMergeResult result = mergePads(p.base, p.ours, p.theirs);
        if (result.updated.size() != ChangedThere || !result.keptTwice.isEmpty())
            state.SkipWithError("wrong merge");
        benchmark::DoNotOptimize(result);
    }
}

void BM_MergeOneName(benchmark::State &state)
{
    const OneName pads(int(state.range(0)));
    for (auto _ : state) {
        const PadMergeResult result = mergePads(pads.base, pads.ours, pads.theirs);
        if (result.pages.size() != 2 * pads.base.size())
            state.SkipWithError("wrong merge");
        benchmark::DoNotOptimize(result);
    }
}

// A pad of a few short pages, as most are: the save's own cost is smallest there.
const NotePages SmallPad{{QStringLiteral("Shop"), QStringLiteral("eggs\r\nmilk")}, {QStringLiteral("Work"), QStringLiteral("mail")}};

void BM_Save(benchmark::State &state)
{
    const NoteFile file(fixture().dir.filePath(QStringLiteral("plain/Pinnote.set")));
    QDir().mkpath(QFileInfo(file.path()).absolutePath());
    for (auto _ : state)
        benchmark::DoNotOptimize(file.save(SmallPad));
}

void BM_SaveWatched(benchmark::State &state)
{
    const NoteFile file(fixture().dir.filePath(QStringLiteral("watched/Pinnote.set")));
    const QString folder = QFileInfo(file.path()).absolutePath();
    QDir().mkpath(folder);
    QFileSystemWatcher watcher({folder});
    std::optional<FileIdentity> known = file.save(SmallPad);
    for (auto _ : state) {
        if (FileIdentity::of(file.path()) != known)
            state.SkipWithError("the file changed");
        known = file.save(SmallPad);
        watcher.addPath(file.path());
        benchmark::DoNotOptimize(ConflictCopies::list(folder));
    }
}

constexpr int Repetitions = 5;

} // namespace

BENCHMARK(BM_Load)->Arg(PageCount)->Arg(SmallPageCount)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_Merge)->Arg(PageCount)->Arg(SmallPageCount)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_MergeOneName)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_SaveWatched)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    fixture();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("merge, 64 MB pad, 10 pages changed on disk, against load", "BM_Merge/1000", "BM_Load/1000", "1.5");
    reporter.printRatio("merge, 100,000 small pages, 10 changed on each side, against load", "BM_Merge/100000",
                        "BM_Load/100000", "1.5");
    // Linear would be 4.
    reporter.printRatio("merge, 4,000 pages of one name changed on both sides, against 1,000", "BM_MergeOneName/4000",
                        "BM_MergeOneName/1000", "5");
    reporter.printRatio("save of a small pad nobody else touches, watched, against a plain save", "BM_SaveWatched",
                        "BM_Save", "1.05");
    benchmark::Shutdown();
    return 0;
}
