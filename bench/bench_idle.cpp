// Wake-ups of an idle window: the context switches of all threads of a child process
// that shows Pinnote, with the caret in the editor, from a while after its last input
// on, against a bare QTextEdit window in the same state. Pinnote's caret rests after a
// shorter delay than the program's own, so that a run takes about a minute:
//   PINNOTE_BENCH_REST_MS    delay after the last input before measuring (default 2000;
//                            Pinnote's carets rest after it, 10000 in the program)
//   PINNOTE_BENCH_WINDOW_MS  how long the wake-ups are counted (default 8000)
#include "app/Main.h"
#include "app/Startup.h"
#include "editor/CaretRest.h"
#include "editor/RichEdit.h"

#include "FirstPaint.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int DefaultRestMs = 2000;
constexpr int DefaultWindowMs = 8000;
// Past the rest delay before counting starts, for the rest to take hold.
constexpr int SettleMs = 500;
constexpr char Ready[] = "ready";

int setting(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// The child: one window with the focus in its editor, one key press, then idle.
int child(int argc, char **argv, const char *which, const char *dir, int restMs)
{
    QApplication app(argc, argv);
    QDir::setCurrent(QString::fromLocal8Bit(dir));
    std::unique_ptr<QWidget> window;
    QWidget *editor = nullptr;
    if (std::strcmp(which, "pinnote") == 0) {
        Startup::initialiseApplication();
        CaretRest::setDelay(std::chrono::milliseconds(restMs));
        auto form = std::make_unique<TMainForm>();
        form->createDialogs();
        editor = form->Memo;
        window = std::move(form);
    } else {
        auto edit = std::make_unique<QTextEdit>();
        edit->setPlainText(QStringLiteral("A line of notes."));
        editor = edit.get();
        window = std::move(edit);
    }
    window->resize(400, 280);
    FirstPaint watcher;
    app.installEventFilter(&watcher);
    window->show();
    window->activateWindow();
    while (!watcher.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    app.removeEventFilter(&watcher);
    editor->setFocus();
    QTimer::singleShot(0, editor, [editor] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
        QApplication::sendEvent(editor, &press);
        QApplication::sendEvent(editor, &release);
        std::printf("%s\n", Ready);
        std::fflush(stdout);
    });
    return app.exec();
}

// Voluntary and involuntary context switches of all threads of the process.
long long contextSwitches(qint64 pid)
{
    long long total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return total;
}

std::map<std::string, std::vector<double>> rates;

void idleChild(benchmark::State &state, const char *which)
{
    static QTemporaryDir dir;
    const int restMs = setting("PINNOTE_BENCH_REST_MS", DefaultRestMs);
    const int windowMs = setting("PINNOTE_BENCH_WINDOW_MS", DefaultWindowMs);
    for (auto _ : state) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(environment);
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--child"), QString::fromLatin1(which), dir.path(), QString::number(restMs)});
        bool ready = false;
        while (!ready && process.waitForReadyRead(-1))
            ready = process.readAllStandardOutput().contains(Ready);
        if (!ready) {
            state.SkipWithError("child failed");
            return;
        }
        QThread::msleep(restMs + SettleMs);
        const long long before = contextSwitches(process.processId());
        QThread::msleep(windowMs);
        const long long after = contextSwitches(process.processId());
        process.kill();
        process.waitForFinished(-1);
        const double perSecond = double(after - before) * 1000.0 / windowMs;
        rates[which].push_back(perSecond);
        state.SetIterationTime(windowMs / 1000.0);
        state.counters["wakeups_per_s"] = perSecond;
    }
}

void BM_BareTextEditIdle(benchmark::State &state) { idleChild(state, "bare"); }
void BM_PinnoteIdle(benchmark::State &state) { idleChild(state, "pinnote"); }

BENCHMARK(BM_BareTextEditIdle)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_PinnoteIdle)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv, argv[2], argv[3], std::atoi(argv[4]));
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const double bare = median(rates["bare"]);
    const double ours = median(rates["pinnote"]);
    if (!rates["bare"].empty() && !rates["pinnote"].empty())
        std::printf("idle wake-ups with the caret in the editor: %.2f/s against %.2f/s bare, ratio %.2f "
                    "(goal <= 2/s)\n", ours, bare, bare > 0 ? ours / bare : 0.0);
    benchmark::Shutdown();
    return 0;
}
