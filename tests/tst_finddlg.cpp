#include "dialogs/TFindDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum class CloseWay { EscapeKey, CloseBox, CancelButton };

template<typename T>
T *control(TFindDlg &dialog, const char *name)
{
    return dialog.findChild<T *>(QString::fromLatin1(name));
}

} // namespace

Q_DECLARE_METATYPE(CloseWay)

class TestFindDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsEmptyAndUnchecked();
    void okGivesTheFieldsAsSet_data();
    void okGivesTheFieldsAsSet();
    void cancelKeepsTheFields_data();
    void cancelKeepsTheFields();
    void keyboardFocusSelectsWholeText();
    void clickPlacesTheCaretInstead();
    void centredFirstThenReopensWhereLeft();

private:
    QTemporaryDir sandbox;
};

void TestFindDlg::initTestCase()
{
    QVERIFY(sandbox.isValid());
    qputenv("XDG_CONFIG_HOME", sandbox.path().toLocal8Bit());
    QVERIFY(QDir::setCurrent(sandbox.path()));
}

void TestFindDlg::startsEmptyAndUnchecked()
{
    TFindDlg dialog;
    QCOMPARE(dialog.findText(), QString());
    QVERIFY(!dialog.wholeWord());
    QVERIFY(!dialog.matchCase());
}

void TestFindDlg::okGivesTheFieldsAsSet_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("matchCase");
    QTest::newRow("no options") << QStringLiteral("cat") << false << false;
    QTest::newRow("whole word") << QStringLiteral(" the cat ") << true << false;
    QTest::newRow("match case") << QStringLiteral("ABC") << false << true;
    QTest::newRow("both") << QStringLiteral("Cat") << true << true;
    QTest::newRow("empty text") << QString() << false << true;
}

void TestFindDlg::okGivesTheFieldsAsSet()
{
    QFETCH(QString, typed);
    QFETCH(bool, wholeWord);
    QFETCH(bool, matchCase);
    TFindDlg dialog;
    dialog.open();
    QTRY_COMPARE(QApplication::focusWidget(), control<QLineEdit>(dialog, "FindText"));

    // Everything by keyboard, in the tab order: text, Whole word, Match case.
    QTest::keyClicks(QApplication::focusWidget(), typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control<QCheckBox>(dialog, "WholeWord"));
    if (wholeWord)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control<QCheckBox>(dialog, "MatchCase"));
    if (matchCase)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.findText(), typed);
    QCOMPARE(dialog.wholeWord(), wholeWord);
    QCOMPARE(dialog.matchCase(), matchCase);
}

void TestFindDlg::cancelKeepsTheFields_data()
{
    QTest::addColumn<CloseWay>("way");
    QTest::newRow("Escape") << CloseWay::EscapeKey;
    QTest::newRow("close box") << CloseWay::CloseBox;
    QTest::newRow("Cancel button") << CloseWay::CancelButton;
}

void TestFindDlg::cancelKeepsTheFields()
{
    QFETCH(CloseWay, way);
    TFindDlg dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    auto *text = control<QLineEdit>(dialog, "FindText");
    QTest::keyClicks(text, QStringLiteral("first"));
    QTest::mouseClick(control<QCheckBox>(dialog, "MatchCase"), Qt::LeftButton);
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(finished.count(), 1);

    dialog.open();
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("second"));
    QTest::mouseClick(control<QCheckBox>(dialog, "WholeWord"), Qt::LeftButton);
    switch (way) {
    case CloseWay::EscapeKey:
        QTest::keyClick(text, Qt::Key_Escape);
        break;
    case CloseWay::CloseBox:
        QVERIFY(dialog.close());
        break;
    case CloseWay::CancelButton:
        QTest::mouseClick(control<QPushButton>(dialog, "CancelBtn"), Qt::LeftButton);
        break;
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished.count(), 2);
    QCOMPARE(finished.last().first().toInt(), int(QDialog::Rejected));

    // Reopened, it shows what was left in it, cancelled or not.
    dialog.open();
    QCOMPARE(dialog.findText(), QStringLiteral("second"));
    QVERIFY(dialog.wholeWord());
    QVERIFY(dialog.matchCase());
    dialog.reject();
}

void TestFindDlg::keyboardFocusSelectsWholeText()
{
    TFindDlg dialog;
    dialog.open();
    auto *text = control<QLineEdit>(dialog, "FindText");
    QTRY_COMPARE(QApplication::focusWidget(), text);
    QTest::keyClicks(text, QStringLiteral("needle"));
    QTest::keyClick(text, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), text);
    QCOMPARE(text->selectedText(), QStringLiteral("needle"));
    dialog.reject();
}

void TestFindDlg::clickPlacesTheCaretInstead()
{
    TFindDlg dialog;
    dialog.open();
    auto *text = control<QLineEdit>(dialog, "FindText");
    QTRY_COMPARE(QApplication::focusWidget(), text);
    QTest::keyClicks(text, QStringLiteral("needle"));
    control<QCheckBox>(dialog, "WholeWord")->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(2, text->height() / 2));
    QCOMPARE(QApplication::focusWidget(), text);
    QVERIFY(!text->hasSelectedText());
    dialog.reject();
}

void TestFindDlg::centredFirstThenReopensWhereLeft()
{
    // An off-centre owner, so that centring over it would show.
    QWidget owner;
    owner.setGeometry(15, 25, 200, 150);
    owner.show();
    TFindDlg dialog(&owner);
    dialog.open();
    const QRect area = dialog.screen()->geometry();
    QTRY_COMPARE(dialog.frameGeometry().topLeft(),
                 QPoint(area.left() + (area.width() - dialog.frameGeometry().width()) / 2,
                        area.top() + (area.height() - dialog.frameGeometry().height()) / 2));

    const QPoint moved(area.left() + 30, area.top() + 20);
    dialog.move(moved);
    QTRY_COMPARE(dialog.pos(), moved);
    dialog.reject();
    QVERIFY(!dialog.isVisible());

    dialog.open();
    QVERIFY(dialog.isVisible());
    QTRY_COMPARE(dialog.pos(), moved);
    dialog.accept();
}

QTEST_MAIN(TestFindDlg)
#include "tst_finddlg.moc"
