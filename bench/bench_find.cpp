// Find again on a 10 MB page of about 200,000 lines, through the main window, against
// QTextDocument::find on the same document: a search text that is not there (the
// whole page scanned, "Not found") and one whose only match is near the end.
#include "app/Main.h"
#include "editor/RichEdit.h"
#include "widgets/MessageBox.h"

#include "RatioReporter.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int PageChars = 10 << 20;
const QString Missing = QStringLiteral("quixotry");
const QString NearEnd = QStringLiteral("Zanzibar");

// Lines of words of varying length, mixed case, as notes have.
QString pageText()
{
    static const char16_t *const words[] = {
        u"the", u"note", u"Meeting", u"about", u"budget", u"call", u"Anna", u"tomorrow",
        u"buy", u"milk", u"and", u"bread", u"project", u"deadline", u"Friday", u"review",
        u"draft", u"send", u"email", u"to", u"Bob", u"ideas", u"for", u"the", u"garden",
        u"quick", u"list", u"of", u"things", u"remember", u"phone", u"number",
    };
    constexpr int wordCount = int(std::size(words));
    QString text;
    text.reserve(PageChars + 200);
    unsigned seed = 12345;
    while (text.size() < PageChars) {
        const int lineLength = 20 + int(seed % 64);
        const qsizetype lineStart = text.size();
        while (text.size() - lineStart < lineLength) {
            seed = seed * 1103515245u + 12345u;
            text += QStringView(words[(seed >> 16) % wordCount]);
            text += u' ';
        }
        text += u"\r\n";
    }
    // The one match, some lines before the end.
    text.insert(text.size() - 2000, NearEnd);
    return text;
}

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;
    int notFound = 0;

    Fixture()
    {
        // The window reads settings and notes from here, never from the user's.
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        QDir::setCurrent(dir.path());
        MessageBox::setHandler([this](const MessageBox::Request &) {
            ++notFound;
            return MessageBox::Ok;
        });
        form = std::make_unique<TMainForm>();
        form->createDialogs();
        form->resize(600, 400);
        form->show();
        form->Memo->setText(pageText());
        QCoreApplication::processEvents();
        form->SearchActive = true;
        form->SearchOptions = 0;
    }
};

Fixture &fixture()
{
    static Fixture instance;
    return instance;
}

void BM_FindAgainMiss(benchmark::State &state)
{
    Fixture &f = fixture();
    f.form->SearchText = Missing;
    f.form->Memo->setSelection(0, 0);
    const int before = f.notFound;
    for (auto _ : state)
        f.form->SearchFindagainMenuItemClick();
    if (f.notFound - before != int(state.iterations()))
        state.SkipWithError("a search that should miss found something");
}

void BM_FindAgainNearEnd(benchmark::State &state)
{
    Fixture &f = fixture();
    f.form->SearchText = NearEnd;
    const int before = f.notFound;
    for (auto _ : state) {
        state.PauseTiming();
        f.form->Memo->setSelection(0, 0);
        state.ResumeTiming();
        f.form->SearchFindagainMenuItemClick();
    }
    if (f.notFound != before || f.form->Memo->selection().length() != NearEnd.size())
        state.SkipWithError("the match near the end was not selected");
}

// The first search after the page changed also builds the search text afresh.
void BM_FindAgainMissAfterEdit(benchmark::State &state)
{
    Fixture &f = fixture();
    f.form->SearchText = Missing;
    for (auto _ : state) {
        state.PauseTiming();
        f.form->Memo->setSelection(0, 0);
        f.form->Memo->textCursor().insertText(QStringLiteral("x"));
        f.form->Memo->setSelection(0, 0);
        state.ResumeTiming();
        f.form->SearchFindagainMenuItemClick();
    }
}

void documentFind(benchmark::State &state, const QString &what)
{
    Fixture &f = fixture();
    QTextDocument *doc = f.form->Memo->document();
    for (auto _ : state) {
        QTextCursor found = doc->find(what, 0);
        benchmark::DoNotOptimize(found);
    }
}

void BM_DocumentFindMiss(benchmark::State &state)
{
    documentFind(state, Missing);
}

void BM_DocumentFindNearEnd(benchmark::State &state)
{
    documentFind(state, NearEnd);
}

// The machine is shared, so wall time is noisy: medians of several repetitions.
BENCHMARK(BM_FindAgainMiss)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_DocumentFindMiss)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_FindAgainNearEnd)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_DocumentFindNearEnd)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_FindAgainMissAfterEdit)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto report = [&reporter](const char *what, const char *ours, const char *theirs) {
        const BenchTimes *o = reporter.median(ours);
        const BenchTimes *t = reporter.median(theirs);
        if (o && t)
            std::printf("find again, %s, 10 MB page: %.2f ms, QTextDocument::find %.2f ms; "
                        "%.1fx faster (goal >= 6x)\n", what, o->real, t->real, t->real / o->real);
    };
    report("miss", "BM_FindAgainMiss", "BM_DocumentFindMiss");
    report("match near the end", "BM_FindAgainNearEnd", "BM_DocumentFindNearEnd");
    if (const BenchTimes *miss = reporter.median("BM_FindAgainMiss"))
        std::printf("find again, miss: %.2f ms (goal <= 20 ms)\n", miss->real);
    if (const BenchTimes *afterEdit = reporter.median("BM_FindAgainMissAfterEdit"))
        std::printf("find again, miss, first search after an edit: %.2f ms\n", afterEdit->real);
    fixture().form.reset();
    MessageBox::setHandler({});
    benchmark::Shutdown();
    return 0;
}
