// Loading and saving a 64 MB pad of 1,000 pages, each against the floor of the same work
// done without the value stream: QFile::readAll plus UTF-8 decoding for the load, UTF-8
// encoding plus a committed QSaveFile for the save.
#include "BigPad.h"
#include "storage/NoteFile.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int PageCount = 1000;
constexpr int TextBytes = 64 * 1024;

struct Fixture
{
    QTemporaryDir dir;
    NotePages pages;
    QString loadPath;
    QString savePath;
    qint64 fileBytes = 0;
    // Where each stored string's bytes start in the file, and how long they are.
    QList<std::pair<qsizetype, qsizetype>> slices;

    Fixture()
    {
        pages = bigPad(PageCount, TextBytes);

        loadPath = dir.filePath(QStringLiteral("load.set"));
        savePath = dir.filePath(QStringLiteral("save.set"));
        NoteFile(loadPath).save(pages);
        fileBytes = QFile(loadPath).size();

        qsizetype offset = 16; // file type, version and list start
        for (const NotePage &page : pages) {
            for (const QString *s : {&page.name, &page.text}) {
                const qsizetype size = s->toUtf8().size();
                offset += size <= 255 ? 2 : 5;
                slices.append({offset, size});
                offset += size;
            }
        }
    }
};

Fixture &fixture()
{
    static Fixture instance;
    return instance;
}

std::map<std::string, double> secondsPerRun;

template<typename Work> void measure(benchmark::State &state, const char *key, Work work)
{
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        work();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    secondsPerRun[key] = total / double(state.iterations());
    state.SetBytesProcessed(state.iterations() * fixture().fileBytes);
}

void BM_Load(benchmark::State &state)
{
    const NoteFile file(fixture().loadPath);
    measure(state, "load", [&] { benchmark::DoNotOptimize(file.load()); });
}

void BM_LoadFloor(benchmark::State &state)
{
    measure(state, "load floor", [&] {
        QFile file(fixture().loadPath);
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("open failed");
        const QByteArray bytes = file.readAll();
        QStringList strings;
        strings.reserve(fixture().slices.size());
        for (const auto &[offset, size] : fixture().slices)
            strings.append(QString::fromUtf8(bytes.constData() + offset, size));
        benchmark::DoNotOptimize(strings);
    });
}

void BM_Save(benchmark::State &state)
{
    const NoteFile file(fixture().savePath);
    measure(state, "save", [&] { file.save(fixture().pages); });
}

void BM_SaveFloor(benchmark::State &state)
{
    measure(state, "save floor", [&] {
        QSaveFile file(fixture().savePath);
        if (!file.open(QIODevice::WriteOnly))
            state.SkipWithError("open failed");
        for (const NotePage &page : fixture().pages) {
            file.write(page.name.toUtf8());
            file.write(page.text.toUtf8());
        }
        if (!file.commit())
            state.SkipWithError("commit failed");
    });
}

constexpr int Iterations = 4;

} // namespace

BENCHMARK(BM_Load)->Iterations(Iterations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFloor)->Iterations(Iterations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Iterations(Iterations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFloor)->Iterations(Iterations)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const auto ratio = [](const char *work, const char *floor) {
        if (secondsPerRun.count(work) && secondsPerRun.count(floor) && secondsPerRun[floor] > 0)
            std::printf("%s ratio: %.2f (goal <= 2.0)\n", work, secondsPerRun[work] / secondsPerRun[floor]);
    };
    ratio("load", "load floor");
    ratio("save", "save floor");
    return 0;
}
