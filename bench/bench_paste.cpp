// A big paste against setting the same text: pasting 20 MB of plain text (about 350,000
// lines) into the shown editor, and RichEdit::setText of that text, in the same run.
#include "editor/RichEdit.h"

#include "RatioReporter.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int OneMegabyte = 1 << 20;

const QString &pasteText(int megabytes)
{
    static std::map<int, QString> cache;
    auto it = cache.find(megabytes);
    if (it == cache.end()) {
        QString text;
        const int size = megabytes * OneMegabyte;
        text.reserve(size + 100);
        for (int line = 0; text.size() < size; ++line) {
            // Lines of 0 to 116 characters, as notes have; on the clipboard as LF.
            text += QString((line * 41) % 117, QChar(u'a' + line % 26));
            text += u'\n';
        }
        it = cache.emplace(megabytes, text).first;
    }
    return it->second;
}

struct ShownEditor
{
    RichEdit edit;
    ShownEditor()
    {
        edit.resize(600, 400);
        edit.show();
        QCoreApplication::processEvents();
    }
};

void BM_SetText(benchmark::State &state)
{
    const QString &text = pasteText(int(state.range(0)));
    ShownEditor editor;
    for (auto _ : state) {
        editor.edit.setText(text);
        QCoreApplication::processEvents();
        state.PauseTiming();
        editor.edit.setText(QString());
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_Paste(benchmark::State &state)
{
    const QString &text = pasteText(int(state.range(0)));
    ShownEditor editor;
    QGuiApplication::clipboard()->setText(text);
    for (auto _ : state) {
        editor.edit.pasteClipboard();
        QCoreApplication::processEvents();
        state.PauseTiming();
        editor.edit.setText(QString());
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_SetText)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Paste)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("20 MB paste vs setText of the same text", "BM_Paste/20", "BM_SetText/20", "2");
    benchmark::Shutdown();
    return 0;
}
