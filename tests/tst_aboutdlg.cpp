#include "dialogs/TAboutDlg.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestAboutDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keys_data();
    void keys();
    void okButtonCloses();
    void showsTheProgramIcon();
    void centredFirstThenReopensWhereLeft();

private:
    QTemporaryDir sandbox;
};

void TestAboutDlg::initTestCase()
{
    QVERIFY(sandbox.isValid());
    qputenv("XDG_CONFIG_HOME", sandbox.path().toLocal8Bit());
    QVERIFY(QDir::setCurrent(sandbox.path()));
}

void TestAboutDlg::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Escape stays open") << int(Qt::Key_Escape) << int(Qt::NoModifier) << false;
    QTest::newRow("Return closes") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("keypad Enter closes") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
}

void TestAboutDlg::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, closes);
    TAboutDlg dialog;
    dialog.setTexts(QStringLiteral("Brindle Pinnote"), QStringLiteral("V2.0"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target && target->window() == &dialog);

    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(dialog.isVisible(), !closes);
    QCOMPARE(finished.count(), closes ? 1 : 0);
    if (closes)
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    dialog.accept();
}

void TestAboutDlg::okButtonCloses()
{
    TAboutDlg dialog;
    dialog.open();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("OKBtn")), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestAboutDlg::showsTheProgramIcon()
{
    TAboutDlg dialog;
    dialog.show();
    auto *image = dialog.findChild<QLabel *>(QStringLiteral("Image1"));
    QVERIFY(image);
    const QImage picture = image->pixmap().toImage();
    QVERIFY(!picture.isNull());
    // A blank picture would mean the icon was not found among the resources.
    int opaque = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            opaque += qAlpha(picture.pixel(x, y)) == 255 ? 1 : 0;
    QVERIFY2(opaque > picture.width() * picture.height() / 3,
             qPrintable(QStringLiteral("%1 opaque pixels").arg(opaque)));
}

void TestAboutDlg::centredFirstThenReopensWhereLeft()
{
    // An off-centre owner, so that centring over it would show.
    QWidget owner;
    owner.setGeometry(15, 25, 200, 150);
    owner.show();
    TAboutDlg dialog(&owner);
    dialog.open();
    const QRect area = dialog.screen()->geometry();
    QTRY_COMPARE(dialog.frameGeometry().topLeft(),
                 QPoint(area.left() + (area.width() - dialog.frameGeometry().width()) / 2,
                        area.top() + (area.height() - dialog.frameGeometry().height()) / 2));

    const QPoint moved(area.left() + 40, area.top() + 50);
    dialog.move(moved);
    QTRY_COMPARE(dialog.pos(), moved);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("OKBtn")), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());

    dialog.open();
    QVERIFY(dialog.isVisible());
    QTRY_COMPARE(dialog.pos(), moved);
    dialog.accept();
}

QTEST_MAIN(TestAboutDlg)
#include "tst_aboutdlg.moc"
