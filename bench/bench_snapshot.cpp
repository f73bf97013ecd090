// The recovery snapshot's cost to the user-interface thread for a 64 MB pad of 1,000 pages,
// the page on show being typed into: what writeNow() takes before it returns, against the
// baseline of encoding and writing the same snapshot on the user-interface thread.
#include "BigPad.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int PageCount = 1000;
constexpr int TextBytes = 64 * 1024;
constexpr double GoalMs = 5.0;

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;

    Fixture()
    {
        QDir::setCurrent(dir.path());
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
        const NotePages pages = bigPad(PageCount, TextBytes);
        NoteFile(dir.filePath(QStringLiteral("Pinnote.set"))).save(pages);

        form = std::make_unique<TMainForm>();
        form->show();
        // The page on show has been typed into, so its live text comes from the editor.
        form->Memo->moveCursor(QTextCursor::End);
        form->Memo->insertPlainText(QStringLiteral("typed"));
        QCoreApplication::processEvents();
    }
};

std::unique_ptr<Fixture> instance;

Fixture &fixture()
{
    if (!instance)
        instance = std::make_unique<Fixture>();
    return *instance;
}

std::map<std::string, double> secondsPerRun;

template<typename Work, typename After> void measure(benchmark::State &state, const char *key, Work work, After after)
{
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        work();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        after();
        state.ResumeTiming();
    }
    secondsPerRun[key] = total / double(state.iterations());
}

void BM_WriteOnUiThread(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString path = f.dir.filePath(QStringLiteral("baseline.set"));
    measure(state, "baseline", [&] { NoteFile(path).save(f.form->pages()); }, [] {});
}

void BM_SnapshotUiPart(benchmark::State &state)
{
    RecoverySnapshot *snapshot = fixture().form->recoverySnapshot();
    measure(
        state, "snapshot",
        [&] {
            snapshot->changed();
            snapshot->writeNow();
        },
        [&] {
            while (snapshot->isWriting())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
}

BENCHMARK(BM_WriteOnUiThread)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SnapshotUiPart)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Startup::initialiseApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (secondsPerRun.count("baseline") && secondsPerRun.count("snapshot")) {
        const double baseline = secondsPerRun["baseline"] * 1000;
        const double ui = secondsPerRun["snapshot"] * 1000;
        std::printf("snapshot of a 64 MB pad: user-interface thread %.3f ms (goal <= %.0f ms); "
                    "writing it there instead %.1f ms; ratio %.4f\n",
                    ui, GoalMs, baseline, ui / baseline);
    }
    instance.reset(); // the window goes before the application object
    benchmark::Shutdown();
    return 0;
}
