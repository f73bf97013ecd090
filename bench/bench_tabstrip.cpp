// Tab strip cost per tab: adding 1,000, 10,000 and 100,000 tabs one by one (as Add
// Memo does) and all at once (as loading a pad does) to a shown strip, up to its next
// paint. The time per tab should stay flat as the count grows.
#include "widgets/TabStrip.h"

#include "RatioReporter.h"

#include <QApplication>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

QStringList captions(int n)
{
    QStringList out;
    out.reserve(n);
    for (int i = 0; i < n; ++i)
        out.append(QStringLiteral("Page %1").arg(i));
    return out;
}

template<typename Fill>
void run(benchmark::State &state, Fill fill)
{
    const QStringList names = captions(int(state.range(0)));
    for (auto _ : state) {
        TabStrip strip;
        strip.setPageWidget(new QTextEdit);
        strip.resize(400, 280);
        strip.show();
        QCoreApplication::processEvents();
        fill(strip, names);
        strip.repaint();
        QCoreApplication::processEvents();
    }
}

void BM_AddTabOneByOne(benchmark::State &state)
{
    run(state, [](TabStrip &strip, const QStringList &names) {
        for (const QString &name : names)
            strip.addTab(name);
    });
}

void BM_AddTabsAtOnce(benchmark::State &state)
{
    run(state, [](TabStrip &strip, const QStringList &names) { strip.addTabs(names); });
}

BENCHMARK(BM_AddTabOneByOne)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_AddTabsAtOnce)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char *bench : {"BM_AddTabOneByOne", "BM_AddTabsAtOnce"}) {
        double first = 0;
        for (const int n : {1000, 10000, 100000}) {
            const BenchTimes *times = reporter.median(std::string(bench) + "/" + std::to_string(n));
            if (!times)
                continue;
            const double perTab = times->real * 1000.0 / n; // ms to microseconds
            if (first == 0)
                first = perTab;
            std::printf("%s %6d tabs: %.2f us per tab; %.2f times the time per tab of 1,000 (goal <= 2)\n",
                        bench, n, perTab, perTab / first);
        }
    }
    benchmark::Shutdown();
    return 0;
}
