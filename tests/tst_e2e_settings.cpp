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
    void storedBoundsAreReachable_data();
    void storedBoundsAreReachable();

private:
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

bool TestEndToEndSettings::isOnTop(const QString &window) const
{
    return m_x.run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")})
        .contains(QLatin1String("_NET_WM_STATE_ABOVE"));
}

// Regression: each switch remapped the window, and the window manager put it back a
// title bar higher every second or third time.
void TestEndToEndSettings::onTopKeepsPositionAndSize()
{
    const QRect outer(100, 100, 400, 280);
    QVERIFY(m_run->start());
    QString window = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QTRY_VERIFY_WITH_TIMEOUT(m_x.outerGeometry(window) == outer && isOnTop(window), WaitMs);
    for (int i = 1; i <= 8; ++i) {
        // Alt+V opens the View menu; "o" picks &On Top.
        m_run->key(window, QStringLiteral("alt+v"));
        m_x.xdotool({QStringLiteral("key"), QStringLiteral("o")});
        QTRY_VERIFY_WITH_TIMEOUT(isOnTop(window = m_x.findWindows(QStringLiteral("^Pinnote$")).value(0)) == (i % 2 == 0),
                                 WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_x.outerGeometry(window), outer, WaitMs);
    }
    closeAndWait(window, CloseBy::AltF4);
    if (!QTest::currentTestFailed())
        QCOMPARE(storedBounds(), outer);
}

void TestEndToEndSettings::storedBoundsAreReachable_data()
{
    QTest::addColumn<QByteArray>("stored"); // XPos, YPos; the size is 400 by 280
    QTest::addColumn<QRect>("opened");
    const QSize size(400, 280);
    const QPoint farCorner(XSession::ScreenSize.width() - size.width(), XSession::ScreenSize.height() - size.height());

    // Regression: the box made the hidden window native, and the stored outer bounds then
    // went to its client area.
    QTest::newRow("after a start-up box") << QByteArray("OnTop=0, 2\nXPos=300\nYPos=200") << QRect(QPoint(300, 200), size);
    QTest::newRow("half off the left, title bar in reach") << QByteArray("XPos=-200\nYPos=100") << QRect(QPoint(-200, 100), size);
    QTest::newRow("above and left") << QByteArray("XPos=-360\nYPos=-252") << QRect(QPoint(0, 0), size);
    QTest::newRow("title bar above the top") << QByteArray("XPos=200\nYPos=-10") << QRect(QPoint(200, 0), size);
    QTest::newRow("beyond the right edge") << QByteArray("XPos=5000\nYPos=100") << QRect(QPoint(farCorner.x(), 100), size);
    QTest::newRow("below the bottom") << QByteArray("XPos=100\nYPos=5000") << QRect(QPoint(100, farCorner.y()), size);
    QTest::newRow("corner just showing") << QByteArray("XPos=990\nYPos=740") << QRect(farCorner, size);
}

void TestEndToEndSettings::storedBoundsAreReachable()
{
    QFETCH(QByteArray, stored);
    QFETCH(QRect, opened);
    QVERIFY(QDir().mkpath(QFileInfo(m_run->settingsPath()).path()));
    QFile ini(m_run->settingsPath());
    QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[Settings]\nXSize=400\nYSize=280\n" + stored + '\n') > 0);
    ini.close();
    QVERIFY(m_run->start());
    // An unreadable value is reported under the caption Pinnote before the window shows.
    if (stored.contains("OnTop"))
        m_run->key(m_run->waitForWindow(QStringLiteral("^Pinnote$")), QStringLiteral("Return"));
    QString window;
    QTRY_VERIFY_WITH_TIMEOUT(m_x.outerGeometry(window = m_x.findWindows(QStringLiteral("^Pinnote$")).value(0)) == opened,
                             WaitMs);
    m_x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("opened.png")));
    closeAndWait(window, CloseBy::AltF4);
    if (!QTest::currentTestFailed())
        QCOMPARE(storedBounds(), opened);
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
