// The caret stops blinking once the program has had no input for a while, and starts
// again at the next key or click.

#include "editor/CaretRest.h"
#include "editor/RichEdit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

namespace {

// Short, so that the test waits for the rest without taking the program's 10 seconds.
constexpr std::chrono::milliseconds TestDelay{200};
constexpr int InkTolerance = 60;

// The blink is the text control's only timer while nobody clicks three times.
bool blinking(const RichEdit &editor)
{
    for (QObject *child : editor.children()) {
        if (qstrcmp(child->metaObject()->className(), "QWidgetTextControl") == 0)
            return !QAbstractEventDispatcher::instance()->registeredTimers(child).isEmpty();
    }
    return false;
}

// Whether the caret's column, right of a blank, is drawn on: the caret inverts the page.
bool caretDrawn(RichEdit &editor)
{
    const QImage shot = editor.viewport()->grab().toImage();
    const QRect caret = editor.cursorRect();
    const QColor page = editor.palette().color(QPalette::Base);
    for (int y = caret.top(); y <= caret.bottom(); ++y) {
        const QColor pixel = shot.pixelColor(caret.left(), y);
        if (qAbs(pixel.red() - page.red()) + qAbs(pixel.green() - page.green()) + qAbs(pixel.blue() - page.blue())
            > InkTolerance)
            return true;
    }
    return false;
}

} // namespace

class TestCaretRest : public QObject
{
    Q_OBJECT

private slots:
    void restsAndWakes_data();
    void restsAndWakes();
};

void TestCaretRest::restsAndWakes_data()
{
    QTest::addColumn<bool>("click"); // wake by a click, else by a key
    QTest::newRow("a key wakes it") << false;
    QTest::newRow("a click wakes it") << true;
}

void TestCaretRest::restsAndWakes()
{
    QFETCH(bool, click);

    QWidget window;
    auto *editor = new RichEdit(&window);
    (new QVBoxLayout(&window))->addWidget(editor);
    editor->setBackgroundColour(QColor(0xFF, 0xFF, 0x00));
    editor->setText(QStringLiteral("Milk \r\nBread"));
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    editor->setFocus();
    CaretRest::setDelay(TestDelay);
    const int flashTime = QApplication::cursorFlashTime();

    QTest::keyClick(editor, Qt::Key_End);
    QVERIFY(blinking(*editor));
    QVERIFY(caretDrawn(*editor));
    QTRY_VERIFY(!blinking(*editor));
    QTRY_VERIFY(caretDrawn(*editor));

    if (click)
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, editor->cursorRect().center());
    else
        QTest::keyClick(editor, Qt::Key_Home);
    QVERIFY(blinking(*editor));
    QCOMPARE(QApplication::cursorFlashTime(), flashTime);
    CaretRest::setDelay(CaretRest::DefaultDelay);
}

QTEST_MAIN(TestCaretRest)
#include "tst_caretrest.moc"
