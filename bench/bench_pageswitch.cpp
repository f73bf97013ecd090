// Page switch cost: the old page's text read back, the new page's text set, with
// RichEdit against a bare QTextEdit doing setPlainText/toPlainText on the same texts.
#include "editor/RichEdit.h"

#include "RatioReporter.h"

#include <QApplication>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int OneMegabyte = 1 << 20;

QString pageText(int size, char16_t letter)
{
    QString text;
    text.reserve(size + 80);
    int line = 0;
    while (text.size() < size) {
        // Lines of varying length, some empty, as notes have.
        const int length = (line * 37) % 90;
        text += QString(length, QChar(letter + line % 7));
        text += u"\r\n";
        ++line;
    }
    return text;
}

struct Pages
{
    QString first;
    QString second;
};

const Pages &pages(int megabytes)
{
    static std::map<int, Pages> cache;
    auto it = cache.find(megabytes);
    if (it == cache.end())
        it = cache.emplace(megabytes, Pages{pageText(megabytes * OneMegabyte, u'a'),
                                            pageText(megabytes * OneMegabyte, u'k')})
                 .first;
    return it->second;
}

void BM_SwitchRichEdit(benchmark::State &state)
{
    const Pages &texts = pages(int(state.range(0)));
    RichEdit edit;
    edit.resize(600, 400);
    edit.show();
    edit.setText(texts.first);
    bool showingFirst = true;
    for (auto _ : state) {
        QString old = edit.text();
        benchmark::DoNotOptimize(old);
        edit.setText(showingFirst ? texts.second : texts.first);
        showingFirst = !showingFirst;
        QCoreApplication::processEvents();
    }
}

void BM_SwitchBareTextEdit(benchmark::State &state)
{
    const Pages &texts = pages(int(state.range(0)));
    QTextEdit edit;
    edit.resize(600, 400);
    edit.show();
    edit.setPlainText(texts.first);
    bool showingFirst = true;
    for (auto _ : state) {
        QString old = edit.toPlainText();
        benchmark::DoNotOptimize(old);
        edit.setPlainText(showingFirst ? texts.second : texts.first);
        showingFirst = !showingFirst;
        QCoreApplication::processEvents();
    }
}

// The machine is shared, so wall time is noisy: medians of several repetitions, and
// the ratio taken on CPU time as well.
BENCHMARK(BM_SwitchBareTextEdit)
    ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SwitchRichEdit)
    ->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("page switch 1 MB, RichEdit vs bare QTextEdit", "BM_SwitchRichEdit/1",
                        "BM_SwitchBareTextEdit/1", "1.15");
    reporter.printRatio("page switch 10 MB, RichEdit vs bare QTextEdit", "BM_SwitchRichEdit/10",
                        "BM_SwitchBareTextEdit/10", "1.15");
    benchmark::Shutdown();
    return 0;
}
