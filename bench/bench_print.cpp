// Printing a page of about 100 sheets to PDF: the program's print run (the editor's
// page layout, page by page over the printable area) against QTextDocument::print of
// the same text in the same font.
#include "print/PageLayout.h"
#include "editor/RichEdit.h"
#include "print/PrintRun.h"

#include "RatioReporter.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int TargetSheets = 100;

QFont printFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(12);
    return font;
}

QString noteText(int lines)
{
    QStringList text;
    for (int i = 0; i < lines; ++i) {
        // Notes of varying length, some wrapping, some empty.
        const int words = (i * 7) % 23;
        QString line = QStringLiteral("%1.").arg(i);
        for (int w = 0; w < words; ++w)
            line += QStringLiteral(" word%1").arg((i + w) % 97);
        text.append(line);
    }
    return text.join(QStringLiteral("\r\n"));
}

void preparePrinter(QPrinter &printer, const QString &path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

int printRun(const RichEdit &editor, const QString &path)
{
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, path);
    PageLayout layout(editor);
    QPainter canvas(&printer);
    const QRect area = PrintRun::layoutRectTwips(QSize(printer.width(), printer.height()), printer.logicalDpiX(),
                                                 printer.logicalDpiY());
    const int sheets = PrintRun::drawPages(layout, canvas, area, [&] { printer.newPage(); });
    canvas.end();
    return sheets;
}

// A page of about TargetSheets sheets as the print run lays it out.
RichEdit &editor()
{
    static RichEdit *edit = [] {
        auto *e = new RichEdit;
        e->setDefaultFont(printFont(), std::nullopt);
        int lines = 2000;
        e->setText(noteText(lines));
        const int sheets = printRun(*e, folder().filePath(QStringLiteral("probe.pdf")));
        lines = lines * TargetSheets / std::max(sheets, 1);
        e->setText(noteText(lines));
        return e;
    }();
    return *edit;
}

void BM_PrintRun(benchmark::State &state)
{
    RichEdit &edit = editor();
    int sheets = 0;
    for (auto _ : state)
        sheets = printRun(edit, folder().filePath(QStringLiteral("run.pdf")));
    state.counters["sheets"] = sheets;
}

void BM_TextDocumentPrint(benchmark::State &state)
{
    QTextDocument document;
    document.setDefaultFont(printFont());
    document.setPlainText(editor().toPlainText());
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        preparePrinter(printer, folder().filePath(QStringLiteral("baseline.pdf")));
        document.print(&printer);
    }
}

BENCHMARK(BM_TextDocumentPrint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PrintRun)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string what = "print to PDF, about " + std::to_string(TargetSheets)
        + " sheets, print run vs QTextDocument::print";
    reporter.printRatio(what.c_str(), "BM_PrintRun", "BM_TextDocumentPrint", "1.5");
    benchmark::Shutdown();
    return 0;
}
