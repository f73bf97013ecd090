// The plain message window ("Not found"), shown for real and answered from the keyboard.

#include "platform/MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

void whenModalOpens(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, qApp, [action]() mutable {
        if (QWidget *modal = QApplication::activeModalWidget())
            action(modal);
        else
            whenModalOpens(std::move(action));
    });
}

MessageBox::Request plainRequest(const QString &text, QWidget *parent = nullptr)
{
    MessageBox::Request request;
    request.parent = parent;
    request.text = text;
    request.caption = u"Pinnote"_qs;
    request.style = MessageBox::Style::Plain;
    return request;
}

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void plainWindowClosesWithEnterAndEscape_data();
    void plainWindowClosesWithEnterAndEscape();
    void longTextWrapsAtHalfTheScreen();
};

void TestMessageBox::plainWindowClosesWithEnterAndEscape_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Space on the button") << int(Qt::Key_Space);
}

void TestMessageBox::plainWindowClosesWithEnterAndEscape()
{
    QFETCH(int, key);
    // An owner in a corner, so that centring over it would show.
    QWidget owner;
    owner.setGeometry(10, 10, 200, 120);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    QString caption;
    QStringList buttons;
    bool okIsDefault = false;
    bool hasPicture = false;
    QPoint centreOffset;
    whenModalOpens([&](QWidget *modal) {
        caption = modal->windowTitle();
        for (QPushButton *button : modal->findChildren<QPushButton *>()) {
            buttons.append(button->text());
            okIsDefault = button->isDefault();
        }
        for (QLabel *label : modal->findChildren<QLabel *>())
            hasPicture = hasPicture || !label->pixmap().isNull();
        const QRect screen = modal->screen()->geometry();
        centreOffset = modal->frameGeometry().center() - screen.center();
        QWidget *target = key == Qt::Key_Space ? modal->findChild<QPushButton *>() : modal;
        QTest::keyClick(target ? target : modal, Qt::Key(key));
    });
    QCOMPARE(MessageBox::show(plainRequest(u"Not found"_qs, &owner)), MessageBox::Ok);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(caption, u"Pinnote"_qs);
    QCOMPARE(buttons, QStringList{u"OK"_qs});
    QVERIFY(okIsDefault);
    QVERIFY(!hasPicture);
    QVERIFY2(qAbs(centreOffset.x()) <= 1 && qAbs(centreOffset.y()) <= 1,
             qPrintable(u"centre off by %1, %2"_qs.arg(centreOffset.x()).arg(centreOffset.y())));
}

void TestMessageBox::longTextWrapsAtHalfTheScreen()
{
    QString text;
    for (int i = 0; i < 120; ++i)
        text += u"word%1 "_qs.arg(i);
    int textWidth = 0;
    int lineHeight = 0;
    int textHeight = 0;
    int screenWidth = 0;
    whenModalOpens([&](QWidget *modal) {
        screenWidth = modal->screen()->geometry().width();
        if (auto *label = modal->findChild<QLabel *>(QStringLiteral("MessageText"))) {
            textWidth = label->width();
            textHeight = label->height();
            lineHeight = label->fontMetrics().lineSpacing();
        }
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    MessageBox::show(plainRequest(text));
    QVERIFY(textWidth > 0);
    QCOMPARE(textWidth, screenWidth / 2);
    QVERIFY(textHeight >= 3 * lineHeight);

    // A short text keeps its own width.
    whenModalOpens([&](QWidget *modal) {
        if (auto *label = modal->findChild<QLabel *>(QStringLiteral("MessageText")))
            textWidth = label->width();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    MessageBox::show(plainRequest(u"Not found"_qs));
    QVERIFY(textWidth < screenWidth / 4);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
