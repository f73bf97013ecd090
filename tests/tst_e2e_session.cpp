// The real program on a private X display: notes typed by the user reach the disk when
// the session ends the process by a signal, and a note file that cannot be written is
// reported and left alone.

#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <signal.h>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;

// The note file of one page "Memo" holding the text, laid out byte by byte.
QByteArray oneMemoFile(const QByteArray &text)
{
    Q_ASSERT(text.size() <= 255);
    QByteArray file("\x06\x0bTKW-Pinnote\x02\x01\x01\x06\x04Memo", 22);
    file += char(0x06);
    file += char(text.size());
    file += text;
    file += char(0x00);
    return file;
}

bool isEditorYellow(QRgb pixel)
{
    return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 0;
}

// The yellow editor's rectangle in a grab of the window: down the middle column for top
// and bottom, along the bottom row for left and right (short typed lines stay clear of both).
QRect editorArea(const QImage &image)
{
    if (image.isNull())
        return {};
    const int middle = image.width() / 2;
    int top = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (isEditorYellow(image.pixel(middle, y))) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    if (top < 0)
        return {};
    int left = middle, right = middle;
    while (left > 0 && isEditorYellow(image.pixel(left - 1, bottom)))
        --left;
    while (right + 1 < image.width() && isEditorYellow(image.pixel(right + 1, bottom)))
        ++right;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// Whether the editor shows the selection's highlight: blue well above red and green,
// which neither the yellow background nor dark text has. The toolbar's blue images lie
// outside the editor.
bool editorShowsSelection(const QImage &image)
{
    const QRect area = editorArea(image);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qBlue(pixel) > qRed(pixel) + 60 && qBlue(pixel) > qGreen(pixel) + 20)
                return true;
        }
    }
    return false;
}

} // namespace

class TestEndToEndSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void signalSavesTypedText_data();
    void signalSavesTypedText();
    void readOnlyNoteFileIsReportedAndLeftAlone();

private:

    XSession m_x;
    std::unique_ptr<ProgramUnderTest> m_run;
};

void TestEndToEndSession::initTestCase()
{
    const QString error = m_x.start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEndSession::init()
{
    m_run = std::make_unique<ProgramUnderTest>(m_x);
    QVERIFY(m_run->isValid());
}

void TestEndToEndSession::cleanup()
{
    // A read-only file in it does not stop the removal, but keep the mode sane anyway.
    QFile::setPermissions(m_run->notesPath(), QFile::ReadOwner | QFile::WriteOwner);
    m_run.reset();
}

// Says whether the program was still running when its window failed to show.

void TestEndToEndSession::signalSavesTypedText_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("SIGTERM") << int(SIGTERM) << QStringList{QStringLiteral("Buy milk")};
    QTest::newRow("SIGHUP") << int(SIGHUP) << QStringList{QStringLiteral("Line one"), QStringLiteral("Line two")};
}

void TestEndToEndSession::signalSavesTypedText()
{
    QFETCH(int, signalNumber);
    QFETCH(QStringList, lines);

    QVERIFY(m_run->start());
    const QString window = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());

    QTRY_VERIFY_WITH_TIMEOUT(!editorArea(m_x.grabWindow(window)).isNull(), WaitMs);
    // Nothing is selected before the keys arrive.
    QVERIFY(!editorShowsSelection(m_x.grabWindow(window)));

    // The tab strip has the focus at start; a click puts it into the editor.
    m_x.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    const QRect client = m_x.clientGeometry(window);
    QVERIFY(!client.isNull());
    m_x.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(client.width() / 2),
                 QString::number(client.height() / 2), QStringLiteral("click"), QStringLiteral("1")});
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            m_x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        m_x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), lines[i]});
    }
    // Select All comes after the typing in the same input stream, so once the highlight
    // shows every typed key has reached the editor.
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+a")});
    QTRY_VERIFY_WITH_TIMEOUT(editorShowsSelection(m_x.grabWindow(window)), WaitMs);
    m_x.grabWindow(window, ProgramUnderTest::screenshotPath(QStringLiteral("typed.png")));
    const QRect outer = m_x.outerGeometry(window);

    QCOMPARE(::kill(pid_t(m_run->process().processId()), signalNumber), 0);
    QVERIFY(m_run->waitForExit());
    QCOMPARE(m_run->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_run->process().exitCode(), 0);

    QFile notes(m_run->notesPath());
    QVERIFY(notes.open(QIODevice::ReadOnly));
    QCOMPARE(notes.readAll(), oneMemoFile(lines.join(QStringLiteral("\r\n")).toUtf8()));

    QVERIFY(QFile::exists(m_run->settingsPath()));
    const QSettings ini(m_run->settingsPath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Settings/XPos")).toString(), QString::number(outer.left()));
    QCOMPARE(ini.value(QStringLiteral("Settings/YSize")).toString(), QString::number(outer.height()));
}

void TestEndToEndSession::readOnlyNoteFileIsReportedAndLeftAlone()
{
    const QByteArray original = oneMemoFile("Keep me");
    QFile file(m_run->notesPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(original), original.size());
    file.close();
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    QVERIFY(file.setPermissions(readOnly));

    QVERIFY(m_run->start());
    const QString window = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());

    m_run->key(window, QStringLiteral("ctrl+s"));
    QString box = m_run->waitForWindow(QStringLiteral("^Error$"));
    QVERIFY2(!box.isEmpty(), m_run->describeMissingWindow("File > Save did not report the failure").constData());
    m_x.grabWindow(box, ProgramUnderTest::screenshotPath(QStringLiteral("save-failed.png")));
    m_run->key(box, QStringLiteral("Return"));
    QVERIFY(m_run->waitForNoWindow(QStringLiteral("^Error$")));

    // The first close is refused: No keeps the window.
    m_run->key(window, QStringLiteral("alt+F4"));
    box = m_run->waitForWindow(QStringLiteral("^Error$"));
    QVERIFY2(!box.isEmpty(), m_run->describeMissingWindow("the close did not ask whether to exit anyway").constData());
    m_x.grabWindow(box, ProgramUnderTest::screenshotPath(QStringLiteral("exit-anyway.png")));
    m_run->key(box, QStringLiteral("alt+n"));
    QVERIFY(m_run->waitForNoWindow(QStringLiteral("^Error$")));
    QCOMPARE(m_run->process().state(), QProcess::Running);
    QCOMPARE(m_x.findWindows(QStringLiteral("^Pinnote$")), QStringList{window});
    // The settings are written by every close request, also a refused one.
    QVERIFY(QFile::exists(m_run->settingsPath()));

    // The second close asks again; Return takes the default button, Yes.
    m_run->key(window, QStringLiteral("alt+F4"));
    box = m_run->waitForWindow(QStringLiteral("^Error$"));
    QVERIFY2(!box.isEmpty(), m_run->describeMissingWindow("the second close did not ask again").constData());
    m_run->key(box, QStringLiteral("Return"));
    QVERIFY(m_run->waitForExit());
    QCOMPARE(m_run->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_run->process().exitCode(), 0);

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), original);
    QCOMPARE(file.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), QFile::Permissions());
}

QTEST_GUILESS_MAIN(TestEndToEndSession)
#include "tst_e2e_session.moc"
