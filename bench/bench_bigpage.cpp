// One very big page: the start-up time to the first paint and the peak memory of
// Pinnote with a pad holding one 200 MB page, against a bare QTextEdit showing the
// same text read from a plain file. Each start runs in a child process of its own, so
// that its peak memory is its own; the children alternate within the same run.
#include "app/Main.h"
#include "app/Startup.h"
#include "storage/NoteFile.h"

#include "FirstPaint.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr qsizetype PageBytes = 200LL * 1024 * 1024;

void waitForPaint(QWidget *window)
{
    FirstPaint watcher;
    qApp->installEventFilter(&watcher);
    window->show();
    while (!watcher.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&watcher);
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The child: starts one window in the given directory, prints "ms kB".
int child(int argc, char **argv, const char *which, const char *dir)
{
    QApplication app(argc, argv);
    QDir::setCurrent(QString::fromLocal8Bit(dir));
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QWidget> window;
    if (std::strcmp(which, "pinnote") == 0) {
        Startup::initialiseApplication();
        auto form = std::make_unique<TMainForm>();
        form->createDialogs();
        window = std::move(form);
    } else {
        QFile file(QStringLiteral("page.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        auto edit = std::make_unique<QTextEdit>();
        edit->setPlainText(QString::fromUtf8(file.readAll()));
        window = std::move(edit);
    }
    window->resize(400, 280);
    waitForPaint(window.get());
    std::printf("%lld %ld\n", timer.elapsed(), peakKilobytes());
    return 0;
}

struct Pad
{
    QTemporaryDir dir;
    Pad()
    {
        QString line = QStringLiteral("A line of notes, as long as most lines are, with a few words more.\r\n");
        QString text;
        text.reserve(PageBytes + line.size());
        while (text.size() < PageBytes)
            text += line;
        NoteFile(dir.filePath(QStringLiteral("Pinnote.set"))).save({{QStringLiteral("Big"), text}});
        QFile plain(dir.filePath(QStringLiteral("page.txt")));
        if (plain.open(QIODevice::WriteOnly))
            plain.write(text.toUtf8());
    }
};

struct Sample
{
    double ms = 0;
    double kb = 0;
};
std::map<std::string, std::vector<Sample>> samples;

void startChild(benchmark::State &state, const char *which)
{
    static Pad pad;
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--child"), QString::fromLatin1(which), pad.dir.path()});
        process.waitForFinished(-1);
        const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
        if (process.exitCode() != 0 || fields.size() != 2) {
            state.SkipWithError("child failed");
            return;
        }
        const Sample sample{fields[0].toDouble(), fields[1].toDouble()};
        samples[which].push_back(sample);
        state.SetIterationTime(sample.ms / 1000.0);
        state.counters["peak_MB"] = sample.kb / 1024.0;
    }
}

void BM_BareTextEdit200MB(benchmark::State &state) { startChild(state, "bare"); }
void BM_Pinnote200MB(benchmark::State &state) { startChild(state, "pinnote"); }

BENCHMARK(BM_BareTextEdit200MB)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pinnote200MB)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv, argv[2], argv[3]);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const auto medians = [](const char *which) {
        std::vector<double> ms, kb;
        for (const Sample &s : samples[which]) {
            ms.push_back(s.ms);
            kb.push_back(s.kb);
        }
        return std::pair{median(ms), median(kb) / 1024.0};
    };
    const auto [bareMs, bareMb] = medians("bare");
    const auto [pinMs, pinMb] = medians("pinnote");
    if (bareMs > 0 && pinMs > 0)
        std::printf("one 200 MB page: start-up %.0f ms against %.0f ms bare, ratio %.2f; peak memory %.0f MB "
                    "against %.0f MB bare, ratio %.2f (goal <= 1.2 each)\n",
                    pinMs, bareMs, pinMs / bareMs, pinMb, bareMb, pinMb / bareMb);
    benchmark::Shutdown();
    return 0;
}
