// Export of a 10 MB page with bold and coloured runs scattered through it: as text
// against toPlainText() plus writing the same bytes through QFile, as RTF against
// QTextDocument::toHtml() of the same document; and the peak memory an RTF export
// takes beyond what the program held before it.
#include "editor/RichEdit.h"
#include "storage/ExportFile.h"

#include "RatioReporter.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace {

constexpr int PageSize = 10 * 1024 * 1024;

QString pageText()
{
    QString text;
    text.reserve(PageSize + 200);
    int line = 0;
    while (text.size() < PageSize) {
        const int length = 20 + (line * 37) % 90;
        for (int i = 0; i < length; ++i)
            text += QChar(u'a' + (line + i) % 26);
        text += u"\r\n";
        ++line;
    }
    return text;
}

// The page on show, made once: every few thousand characters a run turns bold,
// coloured, or both.
RichEdit &editor()
{
    static RichEdit *edit = [] {
        auto *e = new RichEdit;
        e->setText(pageText());
        QTextDocument *doc = e->document();
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        const int length = doc->characterCount() - 1;
        int run = 0;
        for (int at = 100; at + 40 < length; at += 2500 + (run * 97) % 1000, ++run) {
            QTextCharFormat format;
            if (run % 3 != 1)
                format.setFontWeight(QFont::Bold);
            if (run % 3 != 0)
                format.setForeground(QColor::fromHsv((run * 37) % 360, 200, 180));
            cursor.setPosition(at);
            cursor.setPosition(at + 10 + run % 30, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(format);
        }
        cursor.endEditBlock();
        return e;
    }();
    return *edit;
}

QString outputPath(const char *name)
{
    static QTemporaryDir dir;
    return dir.filePath(QString::fromLatin1(name));
}

void BM_ExportText(benchmark::State &state)
{
    RichEdit &edit = editor();
    edit.PlainText = true;
    const QString path = outputPath("page.txt");
    for (auto _ : state)
        ExportFile::write(path, [&edit](QIODevice *device) { return edit.streamOut(device); });
}

void BM_PlainTextThroughQFile(benchmark::State &state)
{
    RichEdit &edit = editor();
    const QString path = outputPath("plain.txt");
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        const QByteArray bytes = edit.document()->toPlainText().toUtf8();
        file.write(bytes);
        file.close();
    }
}

void BM_ExportRtf(benchmark::State &state)
{
    RichEdit &edit = editor();
    edit.PlainText = false;
    const QString path = outputPath("page.rtf");
    for (auto _ : state)
        ExportFile::write(path, [&edit](QIODevice *device) { return edit.streamOut(device); });
}

void BM_ToHtml(benchmark::State &state)
{
    RichEdit &edit = editor();
    for (auto _ : state) {
        QString html = edit.document()->toHtml();
        benchmark::DoNotOptimize(html);
    }
}

BENCHMARK(BM_PlainTextThroughQFile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ToHtml)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_ExportRtf)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// Resident-set figures from /proc, in bytes; the peak can be reset (Linux 4.0 on).
long long statusValue(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stoll(line.substr(prefix.size())) * 1024;
    }
    return -1;
}

bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return bool(clear.flush());
}

// The resident memory that work takes at its peak beyond what was held before it, or -1.
template<typename F>
long long peakExtra(F &&work)
{
    if (!resetPeak())
        return -1;
    const long long before = statusValue("VmRSS");
    work();
    return statusValue("VmHWM") - before;
}

void printPeakMemory()
{
    RichEdit &edit = editor();
    edit.PlainText = false;
    const QString path = outputPath("memory.rtf");
    const auto exportRtf = [&edit, &path] {
        ExportFile::write(path, [&edit](QIODevice *device) { return edit.streamOut(device); });
    };
    // One export first, so that what stays allocated afterwards (caches) is not counted.
    exportRtf();
    const long long rtf = peakExtra(exportRtf);
    if (rtf < 0) {
        std::printf("peak extra memory: cannot reset the peak resident size here\n");
        return;
    }
    // The same measure on toHtml(), to show that it sees allocations at all.
    const long long html = peakExtra([&edit] {
        QString text = edit.document()->toHtml();
        benchmark::DoNotOptimize(text);
    });
    const long long rtfSize = QFileInfo(path).size();
    std::printf("RTF export peak extra memory: %.2f MB for an RTF file of %.1f MB; ratio %.3f "
                "(goal < 3); toHtml() for comparison: %.1f MB\n",
                rtf / 1048576.0, rtfSize / 1048576.0, double(rtf) / rtfSize, html / 1048576.0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    editor();
    std::printf("page: %.1f MB of text, %d blocks, %d characters\n",
                editor().text().toUtf8().size() / 1048576.0, editor().document()->blockCount(),
                editor().document()->characterCount());
    printPeakMemory();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("text export vs toPlainText + QFile", "BM_ExportText", "BM_PlainTextThroughQFile", "1.3");
    reporter.printRatio("RTF export vs toHtml", "BM_ExportRtf", "BM_ToHtml", "1.0");
    benchmark::Shutdown();
    return 0;
}
