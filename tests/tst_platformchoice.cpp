// When Pinnote steers Qt to XWayland.

#include "platform/PlatformChoice.h"

#include <QTest>

class TestPlatformChoice : public QObject
{
    Q_OBJECT

private slots:
    void xwaylandChoice_data();
    void xwaylandChoice();
};

void TestPlatformChoice::xwaylandChoice_data()
{
    QTest::addColumn<QStringList>("variables"); // NAME=value
    QTest::addColumn<bool>("xcbAvailable");
    QTest::addColumn<bool>("expected");

    const QString wayland = QStringLiteral("WAYLAND_DISPLAY=wayland-0");
    const QString x11 = QStringLiteral("DISPLAY=:0");
    QTest::newRow("wayland with X server") << QStringList{wayland, x11} << true << true;
    QTest::newRow("session type only") << QStringList{QStringLiteral("XDG_SESSION_TYPE=wayland"), x11} << true << true;
    QTest::newRow("user chose a platform")
        << QStringList{wayland, x11, QStringLiteral("QT_QPA_PLATFORM=wayland")} << true << false;
    QTest::newRow("user chose xcb already")
        << QStringList{wayland, x11, QStringLiteral("QT_QPA_PLATFORM=xcb")} << true << false;
    QTest::newRow("no X server") << QStringList{wayland} << true << false;
    QTest::newRow("no xcb plugin") << QStringList{wayland, x11} << false << false;
    QTest::newRow("plain X11 session") << QStringList{x11, QStringLiteral("XDG_SESSION_TYPE=x11")} << true << false;
    QTest::newRow("empty platform counts as unset")
        << QStringList{wayland, x11, QStringLiteral("QT_QPA_PLATFORM=")} << true << true;
}

void TestPlatformChoice::xwaylandChoice()
{
    QFETCH(QStringList, variables);
    QFETCH(bool, xcbAvailable);
    QFETCH(bool, expected);

    QProcessEnvironment environment;
    for (const QString &variable : std::as_const(variables)) {
        const qsizetype equals = variable.indexOf(QLatin1Char('='));
        environment.insert(variable.left(equals), variable.mid(equals + 1));
    }
    QCOMPARE(shouldUseXWayland(environment, xcbAvailable), expected);
}

QTEST_APPLESS_MAIN(TestPlatformChoice)
#include "tst_platformchoice.moc"
