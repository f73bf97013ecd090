// The real program on a private X display: F1 opens the help window beside the notes,
// the notes still take typing, a second F1 makes no second window, and finding a word
// in the help selects it.

#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QFile>
#include <QTest>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;
const QString MainTitle = QStringLiteral("^Pinnote$");
const QString HelpTitle = QStringLiteral("^Pinnote Help$");

// Pixels of a selection's highlight: a middle blue, green well above red. Link text is
// pure blue and the page black on white, so neither counts.
int highlightPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qBlue(p) > qRed(p) + 80 && qGreen(p) > qRed(p) + 50 && qBlue(p) > qGreen(p) + 20)
                ++count;
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
    void initTestCase();
    void helpBesideTheNotes();

private:
    XSession m_x;
};

void TestEndToEndHelp::initTestCase()
{
    const QString error = m_x.start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEndHelp::helpBesideTheNotes()
{
    ProgramUnderTest run(m_x);
    QVERIFY(run.isValid());
    QVERIFY(run.start());
    const QString window = run.waitForWindow(MainTitle);
    QVERIFY2(!window.isEmpty(), run.describeMissingWindow("no window titled Pinnote appeared").constData());

    // Into the editor, then F1 there.
    m_x.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    const QRect client = m_x.clientGeometry(window);
    QVERIFY(!client.isNull());
    const QString editorX = QString::number(client.width() / 8);
    const QString editorY = QString::number(client.height() / 2);
    m_x.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, editorX, editorY,
                 QStringLiteral("click"), QStringLiteral("1")});
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("F1")});
    const QString help = run.waitForWindow(HelpTitle);
    QVERIFY2(!help.isEmpty(), run.describeMissingWindow("F1 in the editor opened no help window").constData());
    QTRY_COMPARE_WITH_TIMEOUT(m_x.xdotool({QStringLiteral("getactivewindow")}), help, WaitMs);
    m_x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("help-opened.png")));

    // The help is not modal: the notes take typing while it is open.
    m_x.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    m_x.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, editorX, editorY,
                 QStringLiteral("click"), QStringLiteral("1")});
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral("read later")});
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+s")});
    QTRY_VERIFY_WITH_TIMEOUT(fileContains(run.notesPath(), "read later"), WaitMs);
    QCOMPARE(m_x.findWindows(HelpTitle), QStringList{help});

    // A second F1 brings the same window to the front.
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("F1")});
    QTRY_COMPARE_WITH_TIMEOUT(m_x.xdotool({QStringLiteral("getactivewindow")}), help, WaitMs);
    QCOMPARE(m_x.findWindows(HelpTitle), QStringList{help});

    // Find a word of the contents page: its highlight shows.
    run.key(help, QStringLiteral("ctrl+f"));
    const int before = highlightPixels(m_x.grabWindow(help));
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral("settings")});
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(highlightPixels(m_x.grabWindow(help)) > before + 100, WaitMs);
    m_x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("help-found.png")));

    run.key(window, QStringLiteral("alt+F4"));
    QVERIFY(run.waitForExit());
    QCOMPARE(run.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestEndToEndHelp)
#include "tst_e2e_help.moc"
