// A stored window size larger than the whole desktop is cut to it; every smaller size and
// every position is applied as stored.

#include "app/Main.h"
#include "app/Startup.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <memory>

class TestStoredSize : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void sizeIsCutToTheDesktop_data();
    void sizeIsCutToTheDesktop();
};

void TestStoredSize::sizeIsCutToTheDesktop_data()
{
    const QSize desktop = QGuiApplication::primaryScreen()->virtualGeometry().size();
    QTest::addColumn<QString>("stored"); // XPos, YPos, XSize, YSize
    QTest::addColumn<QRect>("applied");

    QTest::newRow("largest width") << QStringLiteral("10 20 2147483647 300") << QRect(10, 20, desktop.width(), 300);
    QTest::newRow("largest height") << QStringLiteral("10 20 420 2147483647") << QRect(10, 20, 420, desktop.height());
    QTest::newRow("both large") << QStringLiteral("0 0 99999 99999") << QRect(QPoint(0, 0), desktop);
    QTest::newRow("desktop's size") << QStringLiteral("5 6 %1 %2").arg(desktop.width()).arg(desktop.height())
                                    << QRect(QPoint(5, 6), desktop);
    QTest::newRow("one pixel less")
        << QStringLiteral("5 6 %1 %2").arg(desktop.width() - 1).arg(desktop.height() - 1)
        << QRect(5, 6, desktop.width() - 1, desktop.height() - 1);
    QTest::newRow("off-screen, cut") << QStringLiteral("9000 7000 1000000 350") << QRect(9000, 7000, desktop.width(), 350);
}

void TestStoredSize::sizeIsCutToTheDesktop()
{
    QFETCH(QString, stored);
    QFETCH(QRect, applied);
    const QStringList values = stored.split(QLatin1Char(' '));
    TestEnvironment env;
    MessageBoxRecorder boxes;
    QVERIFY(env.writeSettings(QStringLiteral("[Settings]\nXPos=%1\nYPos=%2\nXSize=%3\nYSize=%4\n")
                                  .arg(values.at(0), values.at(1), values.at(2), values.at(3))
                                  .toLatin1()));
    auto form = std::make_unique<TMainForm>();
    QVERIFY(form->notesLoaded());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QTRY_COMPARE(form->frameGeometry(), applied);
    QCOMPARE(boxes.texts(), QStringList());
}

QTEST_MAIN(TestStoredSize)
#include "tst_storedsize.moc"
