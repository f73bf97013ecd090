// Start-up cost: constructing and showing the main window up to its first paint,
// against a bare QMainWindow with a menu bar, toolbar, status bar and QTextEdit.
#include "app/Main.h"
#include "app/Startup.h"
#include "storage/NoteFile.h"

#include "FirstPaint.h"
#include "RatioReporter.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

template<typename MakeWindow>
void showUntilPainted(MakeWindow makeWindow)
{
    FirstPaint watcher;
    qApp->installEventFilter(&watcher);
    std::unique_ptr<QMainWindow> window = makeWindow();
    window->show();
    while (!watcher.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&watcher);
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_BareMainWindow(benchmark::State &state)
{
    for (auto _ : state) {
        showUntilPainted([] {
            auto window = std::make_unique<QMainWindow>();
            for (const char *title : {"&File", "&Search", "&Edit", "&View", "&Pages", "&Help"}) {
                QMenu *menu = window->menuBar()->addMenu(QString::fromLatin1(title));
                for (int i = 0; i < 5; ++i)
                    menu->addAction(QStringLiteral("Item %1").arg(i));
            }
            QToolBar *toolBar = window->addToolBar(QStringLiteral("Tools"));
            for (int i = 0; i < 8; ++i)
                toolBar->addAction(QStringLiteral("B%1").arg(i));
            window->statusBar()->showMessage(QStringLiteral("Memo"));
            window->setCentralWidget(new QTextEdit);
            window->resize(400, 280);
            return window;
        });
    }
}

void BM_MainForm(benchmark::State &state)
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    for (auto _ : state) {
        showUntilPainted([] {
            auto form = std::make_unique<TMainForm>();
            form->createDialogs();
            return form;
        });
    }
}

// A pad of 100,000 one-line pages: the tab strip holds 100,000 tabs.
void BM_MainForm100kPages(benchmark::State &state)
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    NotePages pages;
    pages.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        pages.append({QStringLiteral("Page %1").arg(i), QStringLiteral("A line of page %1").arg(i)});
    NoteFile(dir.filePath(QString::fromLatin1(NoteFile::FileName))).save(pages);
    for (auto _ : state) {
        showUntilPainted([] {
            auto form = std::make_unique<TMainForm>();
            form->createDialogs();
            return form;
        });
    }
}

BENCHMARK(BM_BareMainWindow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_MainForm)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_MainForm100kPages)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Startup::initialiseApplication();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("start-up to first paint, TMainForm vs bare QMainWindow", "BM_MainForm",
                        "BM_BareMainWindow", "1.2");
    if (const BenchTimes *pad = reporter.median("BM_MainForm100kPages"))
        std::printf("start-up to first paint with 100,000 pages: %.0f ms (goal <= 2000)\n", pad->real);
    benchmark::Shutdown();
    return 0;
}
