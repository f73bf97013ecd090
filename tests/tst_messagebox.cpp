// The plain message window ("Not found"), shown for real and answered from the keyboard.

#include "widgets/MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void plainWindowClosesWithEnterAndEscape_data();
    void plainWindowClosesWithEnterAndEscape();
};

void TestMessageBox::plainWindowClosesWithEnterAndEscape_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestMessageBox::plainWindowClosesWithEnterAndEscape()
{
    QFETCH(int, key);
    QString caption;
    QStringList buttons;
    bool okIsDefault = false;
    bool hasPicture = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll.stop();
        caption = modal->windowTitle();
        for (QPushButton *button : modal->findChildren<QPushButton *>()) {
            buttons.append(button->text());
            okIsDefault = button->isDefault();
        }
        for (QLabel *label : modal->findChildren<QLabel *>())
            hasPicture = hasPicture || !label->pixmap().isNull();
        QTest::keyClick(modal, Qt::Key(key));
    });
    poll.start(0);

    MessageBox::Request request;
    request.text = u"Not found"_qs;
    request.caption = u"Pinnote"_qs;
    request.style = MessageBox::Style::Plain;
    QCOMPARE(MessageBox::show(request), MessageBox::Ok);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(caption, u"Pinnote"_qs);
    QCOMPARE(buttons, QStringList{u"OK"_qs});
    QVERIFY(okIsDefault);
    QVERIFY(!hasPicture);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
