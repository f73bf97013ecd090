// Merging a 64 MB pad of 1,000 pages in which the file on disk changed 10 pages and this copy
// one, against loading that file: the merge runs right after such a load. And what watching
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
constexpr int ChangedHere = 500;

struct Fixture
{
    QTemporaryDir dir;
    QString theirsPath;
    NotePages base;
    NotePages ours;
    NotePages theirs;

    Fixture()
    {
        NotePages pages = bigPad(PageCount, TextBytes);

        // This copy read the pad, then its editor changed one page.
        const QString basePath = dir.filePath(QStringLiteral("base.set"));
        NoteFile(basePath).save(pages);
        base = *NoteFile(basePath).load();
        ours = base;
        ours[ChangedHere].text += QStringLiteral("typed here");
        ours[ChangedHere].storedText = {};

        // Another machine changed ten other pages.
        for (int i = 0; i < ChangedThere; ++i)
            pages[i * (PageCount / ChangedThere) + 1].text += QStringLiteral("typed there");
        theirsPath = dir.filePath(QStringLiteral("theirs.set"));
        NoteFile(theirsPath).save(pages);
        theirs = *NoteFile(theirsPath).load();
    }
};

Fixture &fixture()
{
    static Fixture instance;
    return instance;
}

void BM_Load(benchmark::State &state)
{
    const NoteFile file(fixture().theirsPath);
    for (auto _ : state)
        benchmark::DoNotOptimize(file.load());
}

void BM_Merge(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        const PadMergeResult result = mergePads(f.base, f.ours, f.theirs);
        if (result.updated.size() != ChangedThere || !result.keptTwice.isEmpty())
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

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_Merge)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ReportAggregatesOnly(true);
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
    reporter.printRatio("merge, 64 MB pad, 10 pages changed on disk, against load", "BM_Merge", "BM_Load", "1.5");
    reporter.printRatio("save of a small pad nobody else touches, watched, against a plain save", "BM_SaveWatched",
                        "BM_Save", "1.05");
    benchmark::Shutdown();
    return 0;
}
