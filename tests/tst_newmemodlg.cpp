#include "dialogs/TNewMemoDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

enum class CloseWay { EscapeKey, CloseBox, CancelButton };

QLineEdit *nameEdit(TNewMemoDlg &dialog)
{
    return dialog.findChild<QLineEdit *>(QStringLiteral("NameEdit"));
}

} // namespace

Q_DECLARE_METATYPE(CloseWay)

class TestNewMemoDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void enterAcceptsNameAsTyped_data();
    void enterAcceptsNameAsTyped();
    void execReturnsAcceptedForEnter();
    void closingWithoutOkRejects_data();
    void closingWithoutOkRejects();
    void fieldEmptyAndFocusedAtEachOpening();
    void veryLongNameKeptWhole();
    void centredOnScreen();

private:
    QTemporaryDir sandbox;
    QWidget owner;
};

void TestNewMemoDlg::initTestCase()
{
    QVERIFY(sandbox.isValid());
    qputenv("XDG_CONFIG_HOME", sandbox.path().toLocal8Bit());
    QVERIFY(QDir::setCurrent(sandbox.path()));
}

void TestNewMemoDlg::enterAcceptsNameAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("plain") << QStringLiteral("Shopping");
    QTest::newRow("leading spaces") << QStringLiteral("   Work");
    QTest::newRow("trailing spaces") << QStringLiteral("Work  ");
    QTest::newRow("spaces both sides") << QStringLiteral(" Ideas ");
    QTest::newRow("letter case kept") << QStringLiteral("mIxEd Case");
    QTest::newRow("only spaces") << QStringLiteral("   ");
    QTest::newRow("nothing typed") << QString();
}

void TestNewMemoDlg::enterAcceptsNameAsTyped()
{
    QFETCH(QString, typed);
    TNewMemoDlg dialog(&owner);
    dialog.open();
    QLineEdit *edit = nameEdit(dialog);
    QVERIFY(edit);
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.name(), typed);
}

void TestNewMemoDlg::execReturnsAcceptedForEnter()
{
    TNewMemoDlg dialog(&owner);
    bool wasShown = false;
    QTimer::singleShot(0, &dialog, [&] {
        wasShown = dialog.isVisible();
        QTest::keyClicks(nameEdit(dialog), QStringLiteral("Diary"));
        QTest::keyClick(nameEdit(dialog), Qt::Key_Enter, Qt::KeypadModifier);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(wasShown);
    QCOMPARE(dialog.name(), QStringLiteral("Diary"));
}

void TestNewMemoDlg::closingWithoutOkRejects_data()
{
    QTest::addColumn<CloseWay>("way");
    QTest::newRow("Escape") << CloseWay::EscapeKey;
    QTest::newRow("close box") << CloseWay::CloseBox;
    QTest::newRow("Cancel button") << CloseWay::CancelButton;
}

void TestNewMemoDlg::closingWithoutOkRejects()
{
    QFETCH(CloseWay, way);
    TNewMemoDlg dialog(&owner);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QLineEdit *edit = nameEdit(dialog);
    QTest::keyClicks(edit, QStringLiteral("Typed but not wanted"));
    switch (way) {
    case CloseWay::EscapeKey:
        QTest::keyClick(edit, Qt::Key_Escape);
        break;
    case CloseWay::CloseBox:
        QVERIFY(dialog.close());
        break;
    case CloseWay::CancelButton:
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("CancelBtn")),
                          Qt::LeftButton);
        break;
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
}

void TestNewMemoDlg::fieldEmptyAndFocusedAtEachOpening()
{
    TNewMemoDlg first(&owner);
    first.open();
    QTest::keyClicks(nameEdit(first), QStringLiteral("Old name"));
    QTest::keyClick(nameEdit(first), Qt::Key_Return);
    QCOMPARE(first.name(), QStringLiteral("Old name"));

    // The same dialog opened again, and a fresh one, both start empty with the focus in the field.
    TNewMemoDlg second(&owner);
    for (TNewMemoDlg *dialog : {&first, &second}) {
        dialog->open();
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
        QCOMPARE(nameEdit(*dialog)->text(), QString());
        QCOMPARE(dialog->name(), QString());
        QTRY_COMPARE(QApplication::focusWidget(), nameEdit(*dialog));
        QTest::keyClick(nameEdit(*dialog), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
    }
}

void TestNewMemoDlg::veryLongNameKeptWhole()
{
    // Longer than a line edit takes by default (32767).
    QString longName;
    for (int i = 0; longName.size() < 40000; ++i)
        longName += QChar(u'a' + i % 26);
    longName.truncate(40000);
    longName[0] = u' ';
    longName[39999] = u' ';

    TNewMemoDlg dialog(&owner);
    dialog.open();
    QApplication::clipboard()->setText(longName);
    QTest::keyClick(nameEdit(dialog), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(nameEdit(dialog), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.name().size(), longName.size());
    QCOMPARE(dialog.name(), longName);
}

void TestNewMemoDlg::centredOnScreen()
{
    // Off-centre, so that centring over the owner would show.
    owner.setGeometry(20, 30, 200, 150);
    owner.show();
    TNewMemoDlg dialog(&owner);
    dialog.open();
    const QRect area = dialog.screen()->geometry();
    const QRect frame = dialog.frameGeometry();
    QTRY_COMPARE(dialog.frameGeometry().topLeft(),
                 QPoint(area.left() + (area.width() - frame.width()) / 2,
                        area.top() + (area.height() - frame.height()) / 2));
    dialog.reject();
    owner.hide();
}

QTEST_MAIN(TestNewMemoDlg)
#include "tst_newmemodlg.moc"
