#include "dialogs/TFontDialog.h"
#include "widgets/DialogPlacement.h"
#include "storage/TFont.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

constexpr int Ppi = 96;
const QString Face = QStringLiteral("DejaVu Sans");
const QString OtherFace = QStringLiteral("DejaVu Serif");

// Runs the action on the dialog once it is the active modal window.
void whenModal(std::function<void(TFontDialog *)> action)
{
    QTimer::singleShot(0, qApp, [action] {
        auto *dialog = qobject_cast<TFontDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            whenModal(action);
            return;
        }
        action(dialog);
    });
}

QFontDialog *chooserOf(QWidget *dialog)
{
    return dialog->findChild<QFontDialog *>(QString::fromLatin1(TFontDialog::FontChooserName));
}

QComboBox *coloursOf(QWidget *dialog)
{
    return dialog->findChild<QComboBox *>(QString::fromLatin1(TFontDialog::ColourComboName));
}

// Picks an entry of the chooser's family, style or size list as a click would.
bool pickInList(QFontDialog *chooser, const QString &text)
{
    for (QListView *list : chooser->findChildren<QListView *>()) {
        const QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, text, 1,
                                                           Qt::MatchExactly);
        if (!found.isEmpty()) {
            list->setCurrentIndex(found.first());
            return true;
        }
    }
    return false;
}

// Runs the action on the dialog once it has the keyboard focus in one of its fields.
void whenFocused(std::function<void(TFontDialog *)> action)
{
    whenModal([action](TFontDialog *dialog) {
        if (dialog->isAncestorOf(QApplication::focusWidget()))
            action(dialog);
        else
            whenFocused(action);
    });
}

void press(QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    dialog->findChild<QDialogButtonBox *>()->button(which)->click();
}

TFont sampleFont()
{
    TFont font(Ppi);
    font.setName(Face);
    font.setCharset(204);
    font.setSize(12);
    font.setStyle(fsItalic);
    return font;
}

} // namespace

class TestFontDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void presetShowsTheFont_data();
    void presetShowsTheFont();
    void boldAndColourTaken();
    void okWithoutTouchingKeepsEverything_data();
    void okWithoutTouchingKeepsEverything();
    void pickedStyleTaken_data();
    void pickedStyleTaken();
    void newFaceResetsCharset();
    void whatTheUserTypes_data();
    void whatTheUserTypes();
    void sizeHasNoUpperLimit();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void opensAtAThirdOfTheFreeHeight();
    void placementRules_data();
    void placementRules();
    void ownDialogCentredOnlyTheFirstTime();
};

void TestFontDialog::initTestCase()
{
    // Missing faces would only skip rows, and a skip hides a missing install step.
    const QStringList styles = QFontDatabase::styles(Face);
    for (const char *style : {"Oblique", "Bold Oblique", "ExtraLight"}) {
        if (!styles.contains(QLatin1String(style)))
            QFAIL(qPrintable(QStringLiteral("%1 %2 is not installed (Debian package fonts-dejavu-extra)")
                                 .arg(Face, QLatin1String(style))));
    }
    if (!QFontDatabase::families().contains(OtherFace))
        QFAIL("the DejaVu fonts are not installed (Debian package fonts-dejavu-core)");
    if (!QFontDatabase::families().contains(QStringLiteral("C059 [urw]"))
        && !QFontDatabase::families().contains(QStringLiteral("C059")))
        QFAIL("C059 is not installed (Debian package fonts-urw-base35)");
}

void TestFontDialog::presetShowsTheFont_data()
{
    QTest::addColumn<TColor>("colour");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<TFontStyles>("style");
    QTest::addColumn<QString>("styleName");

    QTest::newRow("plain, automatic colour") << clWindowText << "Automatic" << TFontStyles() << "Book";
    QTest::newRow("italic underline, navy") << TColor(0x800000) << "Navy" << (fsItalic | fsUnderline) << "Oblique";
    QTest::newRow("bold strikeout, fuchsia") << TColor(0xFF00FF) << "Fuchsia" << (fsBold | fsStrikeOut) << "Bold";
    QTest::newRow("bold italic, a colour off the list") << TColor(0x123456) << "Custom" << (fsBold | fsItalic)
                                                        << "Bold Oblique";
}

void TestFontDialog::presetShowsTheFont()
{
    QFETCH(TColor, colour);
    QFETCH(QString, entry);
    QFETCH(TFontStyles, style);
    QFETCH(QString, styleName);

    TFont font = sampleFont();
    font.setColor(colour);
    font.setStyle(style);
    TFontDialog dialog;
    dialog.preset(font);
    QCOMPARE(coloursOf(&dialog)->currentText(), entry);
    const QFont shown = chooserOf(&dialog)->currentFont();
    QCOMPARE(shown.family(), Face);
    QCOMPARE(shown.pointSize(), 12);
    QCOMPARE(shown.styleName(), styleName);
    QCOMPARE(shown.underline(), bool(style & fsUnderline));
    QCOMPARE(shown.strikeOut(), bool(style & fsStrikeOut));
}

void TestFontDialog::boldAndColourTaken()
{
    TFont font = sampleFont();
    bool picked = false;
    whenModal([&picked](TFontDialog *dialog) {
        picked = pickInList(chooserOf(dialog), QStringLiteral("Bold Oblique"));
        QComboBox *colours = coloursOf(dialog);
        colours->setCurrentIndex(colours->findText(QStringLiteral("Red")));
        press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TFontDialog::execute(nullptr, font));
    QVERIFY(picked);
    QCOMPARE(font.style(), fsBold | fsItalic);
    QCOMPARE(font.color(), TColor(0x0000FF));
    QCOMPARE(font.name(), Face);
    QCOMPARE(font.charset(), 204);
    QCOMPARE(font.height(), -16);
}

void TestFontDialog::okWithoutTouchingKeepsEverything_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<TFontStyles>("style");
    QTest::addColumn<int>("height");
    QTest::addColumn<TColor>("colour");

    QTest::newRow("plain, automatic colour") << Face << TFontStyles() << -16 << clWindowText;
    QTest::newRow("italic") << Face << TFontStyles(fsItalic) << -16 << clWindowText;
    QTest::newRow("bold") << Face << TFontStyles(fsBold) << -16 << clWindowText;
    QTest::newRow("bold italic underline strikeout") << Face << (fsBold | fsItalic | fsUnderline | fsStrikeOut)
                                                     << -16 << clWindowText;
    QTest::newRow("regular face of medium weight") << "C059" << TFontStyles() << -16 << clWindowText;
    QTest::newRow("face the system lacks") << "MS Sans Serif" << TFontStyles() << -11 << clWindowText;
    QTest::newRow("face the system lacks, bold") << "MS Sans Serif" << TFontStyles(fsBold) << -11 << clWindowText;
    QTest::newRow("height between point sizes") << Face << TFontStyles() << -14 << clWindowText;
    QTest::newRow("system colour kept") << Face << TFontStyles() << -16 << TColor(0x80000005u);
    QTest::newRow("explicit colour kept") << Face << TFontStyles() << -16 << TColor(0x808000);
}

void TestFontDialog::okWithoutTouchingKeepsEverything()
{
    QFETCH(QString, face);
    QFETCH(TFontStyles, style);
    QFETCH(int, height);
    QFETCH(TColor, colour);

    TFont font = sampleFont();
    font.setName(face);
    font.setStyle(style);
    font.setHeight(height);
    font.setColor(colour);
    const TFont before = font;
    whenModal([](TFontDialog *dialog) { press(dialog, QDialogButtonBox::Ok); });
    QVERIFY(TFontDialog::execute(nullptr, font));
    QCOMPARE(font.color(), colour);
    QCOMPARE(font.name(), face);
    QCOMPARE(font.charset(), before.charset());
    QCOMPARE(font.height(), height);
    QCOMPARE(font.style(), style);
}

void TestFontDialog::pickedStyleTaken_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("styleEntry");
    QTest::addColumn<TFontStyles>("before");
    QTest::addColumn<TFontStyles>("after");

    QTest::newRow("book") << Face << "Book" << (fsBold | fsItalic) << TFontStyles();
    QTest::newRow("oblique counts as italic") << Face << "Oblique" << TFontStyles(fsBold) << TFontStyles(fsItalic);
    QTest::newRow("bold") << Face << "Bold" << TFontStyles(fsItalic) << TFontStyles(fsBold);
    QTest::newRow("light is not bold") << Face << "ExtraLight" << TFontStyles(fsBold) << TFontStyles();
    QTest::newRow("medium roman is not bold") << "C059 [urw]" << "Roman" << TFontStyles(fsBold) << TFontStyles();
    QTest::newRow("bold italic") << "C059 [urw]" << "Bold Italic" << TFontStyles() << (fsBold | fsItalic);
}

void TestFontDialog::pickedStyleTaken()
{
    QFETCH(QString, family);
    QFETCH(QString, styleEntry);
    QFETCH(TFontStyles, before);
    QFETCH(TFontStyles, after);

    if (!QFontDatabase::families().contains(family))
        QFAIL(qPrintable(family + QStringLiteral(" is not installed")));
    TFont font = sampleFont();
    font.setStyle(before | fsUnderline);
    bool picked = false;
    whenModal([&](TFontDialog *dialog) {
        picked = pickInList(chooserOf(dialog), family) && pickInList(chooserOf(dialog), styleEntry);
        press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TFontDialog::execute(nullptr, font));
    QVERIFY(picked);
    QCOMPARE(font.style(), after | fsUnderline);
}

void TestFontDialog::newFaceResetsCharset()
{
    TFont font = sampleFont();
    bool picked = false;
    whenModal([&picked](TFontDialog *dialog) {
        picked = pickInList(chooserOf(dialog), OtherFace);
        press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TFontDialog::execute(nullptr, font));
    QVERIFY(picked);
    QCOMPARE(font.name(), OtherFace);
    QCOMPARE(font.charset(), 1);
    QCOMPARE(font.size(), 12);
}

void TestFontDialog::whatTheUserTypes_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("keys"); // |-separated, typed where the focus is; <key sequence> pressed, <OK> clicked
    QTest::addColumn<QString>("storedFace");
    QTest::addColumn<TFontStyles>("storedStyle");
    QTest::addColumn<int>("storedSize");

    const QString standard = QString::fromLatin1(TFont::DefaultName);
    QTest::newRow("Enter confirms") << standard << QStringLiteral("<Return>") << standard << TFontStyles() << 8;
    QTest::newRow("a new face keeps the normal style") << QStringLiteral("C059") << Face + QStringLiteral("|<OK>") << Face << TFontStyles() << 8;
    QTest::newRow("the standard face made bold") << standard << QStringLiteral("<Tab>|Bold|<OK>") << standard << TFontStyles(fsBold) << 8;
    QTest::newRow("Return in the size") << standard << QStringLiteral("<Alt+S>|14|<Return>") << standard << TFontStyles() << 14;
    QTest::newRow("keypad Enter in the size") << standard << QStringLiteral("<Alt+S>|14|<Num+Enter>") << standard << TFontStyles() << 14;
    QTest::newRow("Return in the size list") << standard << QStringLiteral("<Alt+S>|14|<Tab>|<Return>") << standard << TFontStyles() << 14;
    QTest::newRow("Return on a ticked effect") << standard << QStringLiteral("<Alt+S>|<Tab>|<Tab>|<Space>|<Return>") << standard << TFontStyles(fsStrikeOut) << 8;
    QTest::newRow("Return in the colour") << standard << QStringLiteral("<Alt+C>|<Return>") << standard << TFontStyles() << 8;
}

void TestFontDialog::whatTheUserTypes()
{
    QFETCH(QString, face);
    QFETCH(QString, keys);
    QFETCH(QString, storedFace);
    QFETCH(TFontStyles, storedStyle);
    QFETCH(int, storedSize);

    TFont font(Ppi);
    font.setName(face);
    bool leftOpen = false;
    whenFocused([&](TFontDialog *dialog) {
        for (const QString &key : keys.split(u'|')) {
            if (key == QLatin1String("<OK>"))
                press(dialog, QDialogButtonBox::Ok);
            else if (key.startsWith(u'<'))
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(key.mid(1, key.size() - 2)));
            else
                QTest::keyClicks(QApplication::focusWidget(), key);
        }
        leftOpen = dialog->isVisible();
        if (leftOpen)
            press(dialog, QDialogButtonBox::Cancel);
    });
    QVERIFY(TFontDialog::execute(nullptr, font) && !leftOpen);
    QCOMPARE(font.name(), storedFace);
    QCOMPARE(font.style(), storedStyle);
    QCOMPARE(font.size(), storedSize);
}

void TestFontDialog::sizeHasNoUpperLimit()
{
    TFont font = sampleFont();
    int sizeBoxes = 0;
    whenModal([&sizeBoxes](TFontDialog *dialog) {
        // The chooser's own size box stops at 512 points.
        for (QLineEdit *edit : chooserOf(dialog)->findChildren<QLineEdit *>()) {
            if (edit->validator()) {
                ++sizeBoxes;
                edit->selectAll();
                QTest::keyClicks(edit, QStringLiteral("900"));
                QTest::keyClick(edit, Qt::Key_Tab);
            }
        }
        press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TFontDialog::execute(nullptr, font));
    QCOMPARE(sizeBoxes, 1);
    QCOMPARE(font.size(), 900);
    QCOMPARE(font.height(), -1200);
}

void TestFontDialog::cancelChangesNothing_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel button") << false;
    QTest::newRow("Escape in the chooser") << true;
}

void TestFontDialog::cancelChangesNothing()
{
    QFETCH(bool, escape);

    TFont font = sampleFont();
    const TFont before = font;
    whenModal([escape](TFontDialog *dialog) {
        QFont chosen = chooserOf(dialog)->currentFont();
        chosen.setFamily(OtherFace);
        chosen.setBold(true);
        chooserOf(dialog)->setCurrentFont(chosen);
        coloursOf(dialog)->setCurrentIndex(coloursOf(dialog)->findText(QStringLiteral("Lime")));
        if (escape)
            QTest::keyClick(chooserOf(dialog), Qt::Key_Escape);
        else
            press(dialog, QDialogButtonBox::Cancel);
    });
    QVERIFY(!TFontDialog::execute(nullptr, font));
    QVERIFY(font == before);
}

void TestFontDialog::opensAtAThirdOfTheFreeHeight()
{
    TFont font = sampleFont();
    QRect placed;
    whenModal([&placed](TFontDialog *dialog) {
        placed = dialog->frameGeometry();
        press(dialog, QDialogButtonBox::Cancel);
    });
    TFontDialog::execute(nullptr, font);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(placed.isValid());
    QCOMPARE(placed.left(), screen.left() + (screen.width() - placed.width()) / 2);
    QCOMPARE(placed.top(), screen.top() + (screen.height() - placed.height()) / 3);
}

void TestFontDialog::placementRules_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QPoint>("system");
    QTest::addColumn<QPoint>("centred");

    QTest::newRow("800x600") << QRect(0, 0, 800, 600) << QSize(400, 300) << QPoint(200, 100) << QPoint(200, 150);
    QTest::newRow("odd remainders") << QRect(0, 0, 1025, 769) << QSize(300, 200) << QPoint(362, 189)
                                    << QPoint(362, 284);
    QTest::newRow("second screen") << QRect(1920, 0, 1280, 1024) << QSize(280, 124) << QPoint(2420, 300)
                                   << QPoint(2420, 450);
    QTest::newRow("larger than the screen") << QRect(0, 0, 640, 480) << QSize(700, 540) << QPoint(-30, -20)
                                            << QPoint(0, 0);
}

void TestFontDialog::placementRules()
{
    QFETCH(QRect, screen);
    QFETCH(QSize, dialog);
    QFETCH(QPoint, system);
    QFETCH(QPoint, centred);

    QCOMPARE(systemDialogPosition(screen, dialog), system);
    QCOMPARE(centredPosition(screen, dialog), centred);
}

void TestFontDialog::ownDialogCentredOnlyTheFirstTime()
{
    QDialog dialog;
    dialog.resize(300, 200);
    centreOnScreen(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect first = dialog.frameGeometry();
    QCOMPARE(first.left(), screen.left() + (screen.width() - first.width()) / 2);
    QCOMPARE(first.top(), screen.top() + (screen.height() - first.height()) / 2);

    dialog.hide();
    dialog.move(first.topLeft() + QPoint(37, 23));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.frameGeometry().topLeft(), first.topLeft() + QPoint(37, 23));

    // A system dialog is placed again at each showing.
    QColorDialog colours;
    colours.setOption(QColorDialog::DontUseNativeDialog);
    placeSystemDialog(&colours);
    colours.show();
    QVERIFY(QTest::qWaitForWindowExposed(&colours));
    colours.hide();
    colours.move(5, 5);
    colours.show();
    QVERIFY(QTest::qWaitForWindowExposed(&colours));
    const QRect placed = colours.frameGeometry();
    QCOMPARE(placed.left(), screen.left() + (screen.width() - placed.width()) / 2);
    QCOMPARE(placed.top(), screen.top() + (screen.height() - placed.height()) / 3);
}

QTEST_MAIN(TestFontDialog)
#include "tst_fontdialog.moc"
