// The real program on a private X display: F1 opens the help window beside the notes,
// the notes still take typing, a second F1 makes no second window, and finding a word
// in the help selects it.

#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QFile>
#include <QTest>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;

// Pixels of a selection's highlight: a middle blue, green well above red. Link text is
// pure blue and the page black on white, so neither counts.
int highlightPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += qBlue(p) > qRed(p) + 80 && qGreen(p) > qRed(p) + 50 && qBlue(p) > qGreen(p) + 20;
        }
    }
    return count;
}

bool fileContains(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
}

} // namespace

class TestEndToEndHelp : public QObject
{
    Q_OBJECT

private slots:
    void helpBesideTheNotes();
};

void TestEndToEndHelp::helpBesideTheNotes()
{
    XSession x;
    const QString error = x.start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    ProgramUnderTest run(x);
    QVERIFY(run.isValid() && run.start());
    const QString window = run.waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), run.describeMissingWindow("no window titled Pinnote appeared").constData());
    const QRect client = x.clientGeometry(window);
    QVERIFY(!client.isNull());
    const auto clickEditor = [&] {
        x.xdotool({"windowactivate", "--sync", window});
        x.xdotool({"mousemove", "--window", window, QString::number(client.width() / 8),
                   QString::number(client.height() / 2), "click", "1"});
    };
    const auto activeIs = [&](const QString &id) { return x.xdotool({"getactivewindow"}) == id; };
    const QString helpTitle = QStringLiteral("^Pinnote Help$");

    clickEditor();
    x.xdotool({"key", "F1"});
    const QString help = run.waitForWindow(helpTitle);
    QVERIFY2(!help.isEmpty(), run.describeMissingWindow("F1 in the editor opened no help window").constData());
    QTRY_VERIFY_WITH_TIMEOUT(activeIs(help), WaitMs);
    x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("help-opened.png")));

    // The help is not modal: the notes take typing while it is open.
    clickEditor();
    x.xdotool({"type", "--delay", "5", "read later"});
    x.xdotool({"key", "--clearmodifiers", "ctrl+s"});
    QTRY_VERIFY_WITH_TIMEOUT(fileContains(run.notesPath(), "read later"), WaitMs);

    // A second F1 brings the same window to the front.
    x.xdotool({"key", "F1"});
    QTRY_VERIFY_WITH_TIMEOUT(activeIs(help), WaitMs);
    QCOMPARE(x.findWindows(helpTitle), QStringList{help});

    // Find a word of the contents page: its highlight shows.
    run.key(help, QStringLiteral("ctrl+f"));
    const int before = highlightPixels(x.grabWindow(help));
    x.xdotool({"type", "--delay", "5", "settings"});
    x.xdotool({"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(highlightPixels(x.grabWindow(help)) > before + 100, WaitMs);
    x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("help-found.png")));

    run.key(window, QStringLiteral("alt+F4"));
    QVERIFY(run.waitForExit());
    QCOMPARE(run.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestEndToEndHelp)
#include "tst_e2e_help.moc"
