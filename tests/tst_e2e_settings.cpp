// The window's place, size and toolbar switch carried from one run of the real program
// to the next, on a private X display with a window manager.

#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;

enum class CloseBy { AltF4, FileExit };

// The editor's default background, clYellow.
bool isEditorYellow(QRgb pixel)
{
    return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 0;
}

// Distance from the top of the client area to the first yellow row, down the middle
// column; -1 when no yellow is on show.
int editorTop(const QImage &image)
{
    if (image.isNull())
        return -1;
    const int x = image.width() / 2;
    for (int y = 0; y < image.height(); ++y) {
        if (isEditorYellow(image.pixel(x, y)))
            return y;
    }
    return -1;
}

} // namespace

class TestEndToEndSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void geometryAndToolbarSurviveRestart_data();
    void geometryAndToolbarSurviveRestart();
    void onTopKeepsPositionAndSize();
    void startupBoxKeepsStoredBounds();
    void windowOutOfReachOpensOnScreen_data();
    void windowOutOfReachOpensOnScreen();

private:
    void writeSettings(const QByteArray &text) const;
    QString startAndWaitForMain();
    bool isOnTop(const QString &window) const;
    void closeAndWait(const QString &window, CloseBy how);
    QRect storedBounds() const;
    QString storedValue(const QString &key) const;

    XSession m_x;
    std::unique_ptr<ProgramUnderTest> m_run;
};

void TestEndToEndSettings::initTestCase()
{
    const QString error = m_x.start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEndSettings::init()
{
    m_run = std::make_unique<ProgramUnderTest>(m_x);
    QVERIFY(m_run->isValid());
}

void TestEndToEndSettings::cleanup()
{
    m_run.reset();
}

// Says whether the program was still running when its window failed to show.

void TestEndToEndSettings::closeAndWait(const QString &window, CloseBy how)
{
    if (how == CloseBy::AltF4) {
        // openbox turns Alt+F4 into a close request of the active window.
        m_run->key(window, QStringLiteral("alt+F4"));
    } else {
        // Alt+F opens the File menu; "x" then picks E&xit.
        m_run->key(window, QStringLiteral("alt+f"));
        m_x.xdotool({QStringLiteral("key"), QStringLiteral("x")});
    }
    QVERIFY(m_run->waitForExit());
    QCOMPARE(m_run->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_run->process().exitCode(), 0);
}

QString TestEndToEndSettings::storedValue(const QString &key) const
{
    const QSettings ini(m_run->filePath(QStringLiteral("config/Brindle Pinnote.ini")), QSettings::IniFormat);
    return ini.value(QStringLiteral("Settings/") + key).toString();
}

QRect TestEndToEndSettings::storedBounds() const
{
    bool okX = false, okY = false, okW = false, okH = false;
    const QRect bounds(storedValue(QStringLiteral("XPos")).toInt(&okX), storedValue(QStringLiteral("YPos")).toInt(&okY),
                       storedValue(QStringLiteral("XSize")).toInt(&okW),
                       storedValue(QStringLiteral("YSize")).toInt(&okH));
    return okX && okY && okW && okH ? bounds : QRect();
}

void TestEndToEndSettings::writeSettings(const QByteArray &text) const
{
    QDir().mkpath(QFileInfo(m_run->settingsPath()).path());
    QFile file(m_run->settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), text.size());
}

bool TestEndToEndSettings::isOnTop(const QString &window) const
{
    return m_x.run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")})
        .contains(QLatin1String("_NET_WM_STATE_ABOVE"));
}

QString TestEndToEndSettings::startAndWaitForMain()
{
    return m_run->start() ? m_run->waitForWindow(QStringLiteral("^Pinnote$")) : QString();
}

// Regression: each switch remapped the window, and the window manager put it back a
// title bar higher every second or third time.
void TestEndToEndSettings::onTopKeepsPositionAndSize()
{
    const QRect outer(100, 100, 400, 280);
    QString window = startAndWaitForMain();
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    QTRY_COMPARE_WITH_TIMEOUT(m_x.outerGeometry(window), outer, WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(isOnTop(window), WaitMs);
    constexpr int Switches = 8;
    for (int i = 1; i <= Switches; ++i) {
        const bool onTop = i % 2 == 0;
        // Alt+V opens the View menu; "o" picks &On Top.
        m_run->key(window, QStringLiteral("alt+v"));
        m_x.xdotool({QStringLiteral("key"), QStringLiteral("o")});
        QTRY_VERIFY_WITH_TIMEOUT(!(window = m_x.findWindows(QStringLiteral("^Pinnote$")).value(0)).isEmpty()
                                     && isOnTop(window) == onTop,
                                 WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_x.outerGeometry(window), outer, WaitMs);
    }
    m_x.grabWindow(window, ProgramUnderTest::screenshotPath(QStringLiteral("on-top-switched.png")));
    closeAndWait(window, CloseBy::AltF4);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(storedBounds(), outer);
}

// Regression: the box made the hidden window native, and the stored outer bounds then
// went to its client area.
void TestEndToEndSettings::startupBoxKeepsStoredBounds()
{
    const QRect outer(300, 200, 500, 350);
    writeSettings("[Settings]\nOnTop=0, 2\nXPos=300\nYPos=200\nXSize=500\nYSize=350\n");
    QVERIFY(m_run->start());
    // The box says "Invalid data type for 'OnTop'" under the caption Pinnote, before the
    // main window shows.
    const QString box = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!box.isEmpty(), m_run->describeMissingWindow("no start-up box appeared").constData());
    m_run->key(box, QStringLiteral("Return"));
    QString window;
    QTRY_VERIFY_WITH_TIMEOUT(!(window = m_x.findWindows(QStringLiteral("^Pinnote$")).value(0)).isEmpty()
                                 && window != box && m_x.outerGeometry(window) == outer,
                             WaitMs);
    closeAndWait(window, CloseBy::AltF4);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(storedBounds(), outer);
}

void TestEndToEndSettings::windowOutOfReachOpensOnScreen_data()
{
    QTest::addColumn<QPoint>("stored");
    QTest::addColumn<bool>("kept");

    QTest::newRow("above and left") << QPoint(-360, -252) << false;
    QTest::newRow("far left") << QPoint(-5000, 100) << false;
    QTest::newRow("beyond the right edge") << QPoint(5000, 100) << false;
    QTest::newRow("below the bottom") << QPoint(100, 5000) << false;
    QTest::newRow("corner just showing") << QPoint(990, 740) << false;
    QTest::newRow("title bar above the top") << QPoint(200, -10) << false;
    QTest::newRow("half off the left, title bar in reach") << QPoint(-200, 100) << true;
}

void TestEndToEndSettings::windowOutOfReachOpensOnScreen()
{
    QFETCH(QPoint, stored);
    QFETCH(bool, kept);
    const QSize size(400, 280);
    writeSettings(QStringLiteral("[Settings]\nXPos=%1\nYPos=%2\nXSize=%3\nYSize=%4\n")
                      .arg(stored.x())
                      .arg(stored.y())
                      .arg(size.width())
                      .arg(size.height())
                      .toLatin1());
    const QString window = startAndWaitForMain();
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    QRect outer;
    QTRY_COMPARE_WITH_TIMEOUT((outer = m_x.outerGeometry(window)).size(), size, WaitMs);
    m_x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("placed.png")));
    if (kept) {
        QCOMPARE(outer.topLeft(), stored);
    } else {
        // A square of the title bar, along the top of the frame, is on the screen.
        const QRect titleBar(outer.topLeft(), QSize(outer.width(), 50));
        const QRect shown = titleBar.intersected(QRect(QPoint(0, 0), XSession::ScreenSize));
        QVERIFY2(shown.width() >= 50 && shown.height() >= 50, qPrintable(QStringLiteral("frame at %1, %2").arg(outer.x()).arg(outer.y())));
    }
    // Only a close writes the settings.
    QCOMPARE(storedValue(QStringLiteral("XPos")), QString::number(stored.x()));
    closeAndWait(window, CloseBy::AltF4);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(storedBounds(), outer);
}

void TestEndToEndSettings::geometryAndToolbarSurviveRestart_data()
{
    QTest::addColumn<CloseBy>("closeBy");
    QTest::addColumn<QRect>("client");

    QTest::newRow("Alt+F4") << CloseBy::AltF4 << QRect(200, 150, 500, 350);
    QTest::newRow("File > Exit") << CloseBy::FileExit << QRect(37, 61, 613, 407);
}

void TestEndToEndSettings::geometryAndToolbarSurviveRestart()
{
    QFETCH(CloseBy, closeBy);
    QFETCH(QRect, client);

    QVERIFY(m_run->start());
    QString window = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());

    // A clean profile opens the window at 100, 100, 400 by 280, frame included.
    QTRY_COMPARE_WITH_TIMEOUT(m_x.outerGeometry(window), QRect(100, 100, 400, 280), WaitMs);
    int withToolbar = -1;
    QTRY_VERIFY_WITH_TIMEOUT((withToolbar = editorTop(m_x.grabWindow(window))) > 0, WaitMs);
    m_x.grabWindow(window, ProgramUnderTest::screenshotPath(QStringLiteral("1-first-start.png")));

    m_x.xdotool({QStringLiteral("windowmove"), window, QString::number(client.x()), QString::number(client.y())});
    m_x.xdotool({QStringLiteral("windowsize"), window, QString::number(client.width()),
                 QString::number(client.height())});
    QTRY_COMPARE_WITH_TIMEOUT(m_x.clientGeometry(window), client, WaitMs);

    // Alt+V opens the View menu; "t" picks &Toolbar.
    m_run->key(window, QStringLiteral("alt+v"));
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("t")});
    // The editor moves up into the room the toolbar leaves, at least a button's height (29).
    int withoutToolbar = -1;
    QTRY_VERIFY_WITH_TIMEOUT((withoutToolbar = editorTop(m_x.grabWindow(window))) > 0
                                 && withoutToolbar <= withToolbar - 29,
                             WaitMs);
    m_x.grabWindow(window, ProgramUnderTest::screenshotPath(QStringLiteral("2-moved-toolbar-off.png")));

    const QRect outer = m_x.outerGeometry(window);
    QVERIFY(!outer.isNull());
    closeAndWait(window, closeBy);
    if (QTest::currentTestFailed())
        return;

    QCOMPARE(storedValue(QStringLiteral("Toolbar")), QStringLiteral("0"));
    QCOMPARE(storedBounds(), outer);

    QVERIFY(m_run->start());
    window = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared at the second start").constData());
    QTRY_COMPARE_WITH_TIMEOUT(m_x.outerGeometry(window), outer, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(editorTop(m_x.grabWindow(window)), withoutToolbar, WaitMs);
    m_x.grabWindow(window, ProgramUnderTest::screenshotPath(QStringLiteral("3-second-start.png")));

    closeAndWait(window, closeBy);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(storedValue(QStringLiteral("Toolbar")), QStringLiteral("0"));
    QCOMPARE(storedBounds(), outer);
}

QTEST_GUILESS_MAIN(TestEndToEndSettings)
#include "tst_e2e_settings.moc"
