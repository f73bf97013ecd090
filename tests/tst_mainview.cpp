// The view options and the stored settings as the main window applies and keeps them:
// start-up from a clean or a prepared profile, the close that writes them, and the
// five View commands with their dialogs.

#include "app/Main.h"
#include "app/Startup.h"
#include "dialogs/TFontDialog.h"
#include "editor/RichEdit.h"
#include "widgets/TabStrip.h"
#include "storage/NoteFile.h"
#include "support/IniText.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDialog>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// "Group/Key" -> text as written, looked up by the keys the tests spell out.
struct IniValues : QMap<QString, QString>
{
    IniValues(QMap<QString, QString> values)
        : QMap(std::move(values))
    {
    }
    using QMap::value;
    QString value(const char *key) const { return QMap::value(QString::fromLatin1(key)); }
};

QStringList keysOfGroup(const IniValues &values, const QString &group)
{
    QStringList keys;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (it->isNull())
            continue;
        if (it.key().startsWith(group + u'/'))
            keys.append(it.key().mid(group.size() + 1));
    }
    keys.sort();
    return keys;
}

int screenPpi()
{
    return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchY());
}

// The platform's MulDiv for positive operands: exact product, rounded to nearest.
int roundedMulDiv(int a, int b, int c)
{
    return (a * b + c / 2) / c;
}

// 0x00BBGGRR of a colour, as the settings hold it.
qint32 bgrOf(const QColor &colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

// The system colour 5, the window background, as this desktop shows it.
QColor windowBackground()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
}

} // namespace

class TestMainView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void cleanProfileAppliesEveryDefault();
    void firstCloseWritesEveryDefault_data();
    void firstCloseWritesEveryDefault();
    void firstCloseWritesWindowBounds();

    void closeWhileMinimizedStoresRestoredBounds_data();
    void closeWhileMinimizedStoresRestoredBounds();
    void sizeIsCutToTheDesktop_data();
    void sizeIsCutToTheDesktop();
    void storedSwitchesApplyAtStartUp_data();
    void storedSwitchesApplyAtStartUp();
    void storedColourAndFontApplyAtStartUp();

    void failedSettingsWriteKeepsWindowAndNotes_data();
    void failedSettingsWriteKeepsWindowAndNotes();
    void valueOfAnotherTypeIsReportedAndStartUpGoesOn_data();
    void valueOfAnotherTypeIsReportedAndStartUpGoesOn();
    void settingsWrittenAlsoWhenCloseIsRefused();

    void onTopTwiceReturnsToSameState_data();
    void onTopTwiceReturnsToSameState();
    void onTopWhileMaximizedKeepsRestoredBounds();
    void hiddenBarsLeaveTheirSpaceToTheTabs_data();
    void hiddenBarsLeaveTheirSpaceToTheTabs();

    void customColoursStartBlankInEachRun();
    void colourDialogPresetWithResolvedSystemColour();
    void colourDialogOutcome_data();
    void colourDialogOutcome();
    void customColoursLastFromOneOpenToTheNext_data();
    void customColoursLastFromOneOpenToTheNext();
    void colourDialogPlacedAtAThirdOfTheFreeHeight();

    void fontDialogOutcome_data();
    void fontDialogOutcome();

private:
    void writeSettings(const QByteArray &ini);
    void startForm();
    IniValues storedValues() const { return parseIniText(m_env->readFile(m_env->settingsPath())); }
    QColor editorBackground() const;
    QStringList checkedViewItems() const;

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainView::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void TestMainView::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_env.reset();
}

void TestMainView::writeSettings(const QByteArray &ini)
{
    QVERIFY(QDir().mkpath(m_env->configPath()));
    QVERIFY(m_env->writeFile(m_env->settingsPath(), ini));
}

void TestMainView::startForm()
{
    m_form = startMainForm();
    QVERIFY(m_form);
}

// What the editor paints where no text is.
QColor TestMainView::editorBackground() const
{
    const QImage image = m_form->Memo->viewport()->grab().toImage();
    return image.pixelColor(image.width() - 2, image.height() - 2);
}

QStringList TestMainView::checkedViewItems() const
{
    emit m_form->View1->aboutToShow();
    QStringList checked;
    for (const QAction *action : m_form->View1->actions()) {
        if (action->isChecked())
            checked.append(action->objectName());
    }
    emit m_form->View1->aboutToHide();
    return checked;
}

// Start-up and the first close ------------------------------------------------------

void TestMainView::cleanProfileAppliesEveryDefault()
{
    startForm();
    QVERIFY(m_form->OnTop);
    QVERIFY(m_form->ToolbarOn);
    QVERIFY(m_form->StatusOn);
    QVERIFY(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(m_form->ToolBar->isVisible());
    QVERIFY(m_form->StatusBar->isVisible());
    QCOMPARE(m_form->MemoColour, 65535);
    QCOMPARE(editorBackground(), QColor(Qt::yellow));
    const QFont font = m_form->Memo->font();
    QCOMPARE(font.family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(font.pointSize(), 8);
    QVERIFY(!font.bold());
    QVERIFY(!font.italic());
    QVERIFY(!font.underline());
    QVERIFY(!font.strikeOut());
    QCOMPARE(checkedViewItems(),
             (QStringList{QStringLiteral("ViewOnTopMenuItem"), QStringLiteral("ViewToolbarMenuItem"),
                          QStringLiteral("ViewStatusMenuItem")}));
}

void TestMainView::firstCloseWritesEveryDefault_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const int height = -roundedMulDiv(8, screenPpi(), 72);
    QTest::newRow("OnTop") << "Settings/OnTop" << "1";
    QTest::newRow("Status") << "Settings/Status" << "1";
    QTest::newRow("Toolbar") << "Settings/Toolbar" << "1";
    QTest::newRow("Colour") << "Settings/Colour" << "65535";
    QTest::newRow("CharSet") << "Font/CharSet" << "1";
    QTest::newRow("Color") << "Font/Color" << "-2147483640";
    QTest::newRow("Height") << "Font/Height" << QString::number(height);
    QTest::newRow("Name") << "Font/Name" << "MS Sans Serif";
    // Size is what the height reads back as.
    QTest::newRow("Size") << "Font/Size" << QString::number(roundedMulDiv(-height, 72, screenPpi()));
    QTest::newRow("Bold") << "Font/Bold" << "0";
    QTest::newRow("Italic") << "Font/Italic" << "0";
    QTest::newRow("Underline") << "Font/Underline" << "0";
    QTest::newRow("StrikeOut") << "Font/StrikeOut" << "0";
}

void TestMainView::firstCloseWritesEveryDefault()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);

    startForm();
    QVERIFY(m_form->close());
    const IniValues values = storedValues();
    QCOMPARE(values.value(key), expected);
}

void TestMainView::firstCloseWritesWindowBounds()
{
    startForm();
    const QRect bounds = m_form->frameGeometry();
    QVERIFY(m_form->close());
    const IniValues values = storedValues();
    QCOMPARE(keysOfGroup(values, QStringLiteral("Settings")),
             (QStringList{u"Colour"_s, u"OnTop"_s, u"Status"_s, u"Toolbar"_s, u"XPos"_s, u"XSize"_s, u"YPos"_s,
                          u"YSize"_s}));
    QCOMPARE(keysOfGroup(values, QStringLiteral("Font")),
             (QStringList{u"Bold"_s, u"CharSet"_s, u"Color"_s, u"Height"_s, u"Italic"_s, u"Name"_s, u"Size"_s,
                          u"StrikeOut"_s, u"Underline"_s}));
    QCOMPARE(values.value("Settings/XPos"), QString::number(bounds.x()));
    QCOMPARE(values.value("Settings/YPos"), QString::number(bounds.y()));
    QCOMPARE(values.value("Settings/XSize"), QString::number(bounds.width()));
    QCOMPARE(values.value("Settings/YSize"), QString::number(bounds.height()));
}

void TestMainView::closeWhileMinimizedStoresRestoredBounds_data()
{
    QTest::addColumn<bool>("maximizedFirst");

    QTest::newRow("from normal") << false;
    QTest::newRow("from maximized") << true;
}

void TestMainView::closeWhileMinimizedStoresRestoredBounds()
{
    QFETCH(bool, maximizedFirst);

    writeSettings("[Settings]\nXPos=130\nYPos=70\nXSize=420\nYSize=310\n");
    startForm();
    QTRY_COMPARE(m_form->frameGeometry(), QRect(130, 70, 420, 310));
    QRect restored = m_form->frameGeometry();
    if (maximizedFirst) {
        m_form->showMaximized();
        QTRY_VERIFY(m_form->isMaximized());
        QTRY_VERIFY(m_form->frameGeometry() != restored);
        restored = m_form->frameGeometry();
    }
    m_form->showMinimized();
    QTRY_VERIFY(m_form->isMinimized());

    QVERIFY(m_form->close());
    const IniValues values = storedValues();
    QCOMPARE(values.value("Settings/XPos"), QString::number(restored.x()));
    QCOMPARE(values.value("Settings/YPos"), QString::number(restored.y()));
    QCOMPARE(values.value("Settings/XSize"), QString::number(restored.width()));
    QCOMPARE(values.value("Settings/YSize"), QString::number(restored.height()));
}

void TestMainView::storedSwitchesApplyAtStartUp_data()
{
    QTest::addColumn<bool>("onTop");
    QTest::addColumn<bool>("toolbar");
    QTest::addColumn<bool>("status");

    QTest::newRow("all off") << false << false << false;
    QTest::newRow("only on top") << true << false << false;
    QTest::newRow("only toolbar") << false << true << false;
    QTest::newRow("only status") << false << false << true;
}

void TestMainView::storedSwitchesApplyAtStartUp()
{
    QFETCH(bool, onTop);
    QFETCH(bool, toolbar);
    QFETCH(bool, status);

    writeSettings(QStringLiteral("[Settings]\nOnTop=%1\nToolbar=%2\nStatus=%3\n")
                      .arg(int(onTop))
                      .arg(int(toolbar))
                      .arg(int(status))
                      .toLatin1());
    startForm();
    QCOMPARE(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    QCOMPARE(m_form->ToolBar->isVisible(), toolbar);
    QCOMPARE(m_form->StatusBar->isVisible(), status);

    QStringList expected;
    if (onTop)
        expected.append(QStringLiteral("ViewOnTopMenuItem"));
    if (toolbar)
        expected.append(QStringLiteral("ViewToolbarMenuItem"));
    if (status)
        expected.append(QStringLiteral("ViewStatusMenuItem"));
    QCOMPARE(checkedViewItems(), expected);
}

void TestMainView::storedColourAndFontApplyAtStartUp()
{
    writeSettings("[Settings]\nColour=255\n[Font]\nName=DejaVu Serif\nSize=12\nBold=1\nItalic=1\n");
    startForm();
    QCOMPARE(m_form->MemoColour, 255);
    QCOMPARE(editorBackground(), QColor(Qt::red));
    const QFont font = m_form->Memo->font();
    QCOMPARE(font.family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(font.pointSize(), 12);
    QVERIFY(font.bold());
    QVERIFY(font.italic());
    QVERIFY(!font.underline());
}

// Failures -------------------------------------------------------------------------

void TestMainView::failedSettingsWriteKeepsWindowAndNotes_data()
{
    QTest::addColumn<bool>("noteFileExists");

    QTest::newRow("no note file yet") << false;
    QTest::newRow("note file saved before") << true;
}

void TestMainView::failedSettingsWriteKeepsWindowAndNotes()
{
    QFETCH(bool, noteFileExists);

    if (noteFileExists) {
        NoteFile(m_env->notesPath())
            .save({{QStringLiteral("Memo"), QStringLiteral("on disk")}, {QStringLiteral("Other"), QStringLiteral("kept")}});
    }
    const QByteArray notesBefore = m_env->readFile(m_env->notesPath());
    startForm();
    m_form->Memo->setText(QStringLiteral("typed\r\nsince"));
    const NotePages pagesBefore = m_form->pages();

    // A regular file where the settings folder's parent should be: not even root gets past it.
    const QString blocker = m_env->filePath(QStringLiteral("blocker"));
    QVERIFY(m_env->writeFile(blocker, "x"));
    qputenv("XDG_CONFIG_HOME", (blocker + QStringLiteral("/config")).toLocal8Bit());

    QVERIFY(!m_form->close());
    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Failed to create key Settings.")});
    QCOMPARE(m_boxes->requests().constFirst().caption, QStringLiteral("Pinnote"));
    QCOMPARE(m_boxes->requests().constFirst().icon, MessageBox::Icon::Error);
    QVERIFY(m_form->isVisible());
    QCOMPARE(QFileInfo::exists(m_env->notesPath()), noteFileExists);
    QCOMPARE(m_env->readFile(m_env->notesPath()), notesBefore);
    QCOMPARE(m_form->pages(), pagesBefore);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("typed\r\nsince"));
}

void TestMainView::valueOfAnotherTypeIsReportedAndStartUpGoesOn_data()
{
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("list") << QByteArray("OnTop=0, 2");
    QTest::newRow("integer variant") << QByteArray("OnTop=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\0)");
}

void TestMainView::valueOfAnotherTypeIsReportedAndStartUpGoesOn()
{
    QFETCH(QByteArray, line);

    const NotePages pages = {{QStringLiteral("First"), QStringLiteral("one\r\ntwo")},
                             {QStringLiteral("Second"), QStringLiteral("three")}};
    NoteFile(m_env->notesPath()).save(pages);
    // Both values would turn the switch off; the unreadable one must not.
    writeSettings("[Settings]\n" + line + "\nToolbar=0\n");
    startForm();

    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Invalid data type for 'OnTop'")});
    QCOMPARE(m_boxes->requests().constFirst().caption, QStringLiteral("Pinnote"));
    QCOMPARE(m_boxes->requests().constFirst().icon, MessageBox::Icon::Error);
    QVERIFY(m_form->OnTop);
    QVERIFY(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!m_form->ToolbarOn);
    QVERIFY(!m_form->ToolBar->isVisible());
    QCOMPARE(m_form->pages(), pages);
    QCOMPARE(m_form->TabControl->count(), 2);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("one\r\ntwo"));
}

void TestMainView::settingsWrittenAlsoWhenCloseIsRefused()
{
    startForm();
    m_form->ViewToolbarMenuItem->trigger();
    m_form->ViewOnTopMenuItem->trigger();
    // A directory where the note file should be: the save fails, as root too.
    QVERIFY(QDir(m_env->path()).mkdir(QStringLiteral("Pinnote.set")));
    m_boxes->queueAnswer(MessageBox::No);
    const QRect bounds = m_form->frameGeometry();

    QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_boxes->requests().size(), 1);
    const IniValues values = storedValues();
    QCOMPARE(values.value("Settings/OnTop"), QStringLiteral("0"));
    QCOMPARE(values.value("Settings/Toolbar"), QStringLiteral("0"));
    QCOMPARE(values.value("Settings/Status"), QStringLiteral("1"));
    QCOMPARE(values.value("Settings/XPos"), QString::number(bounds.x()));
    QCOMPARE(values.value("Settings/YSize"), QString::number(bounds.height()));
    QCOMPARE(values.value("Font/Name"), QStringLiteral("MS Sans Serif"));
}

// View commands ---------------------------------------------------------------------

void TestMainView::onTopTwiceReturnsToSameState_data()
{
    QTest::addColumn<bool>("startOnTop");

    QTest::newRow("from on top") << true;
    QTest::newRow("from normal") << false;
}

void TestMainView::onTopTwiceReturnsToSameState()
{
    QFETCH(bool, startOnTop);

    NoteFile(m_env->notesPath())
        .save({{QStringLiteral("A"), QStringLiteral("alpha")},
               {QStringLiteral("B"), QStringLiteral("beta")},
               {QStringLiteral("C"), QStringLiteral("gamma")}});
    writeSettings(QStringLiteral("[Settings]\nOnTop=%1\nXPos=120\nYPos=90\nXSize=450\nYSize=330\nColour=16711680\n"
                                 "[Font]\nSize=11\nBold=1\n")
                      .arg(int(startOnTop))
                      .toLatin1());
    startForm();
    m_form->TabControl->setFocus();
    QTest::keyClick(m_form->TabControl, Qt::Key_Right);
    QCOMPARE(m_form->TabControl->currentIndex(), 1);
    m_form->Memo->setText(QStringLiteral("beta\r\nedited"));
    m_form->Memo->document()->setModified(true);

    const Qt::WindowFlags flags = m_form->windowFlags();
    const QRect bounds = m_form->frameGeometry();
    const QColor background = editorBackground();
    const QFont font = m_form->Memo->font();
    QCOMPARE(background, QColor(Qt::blue));

    for (int round = 1; round <= 2; ++round) {
        const bool onTopNow = (round == 1) != startOnTop;
        m_form->ViewOnTopMenuItem->trigger();
        QCOMPARE(m_form->OnTop, onTopNow);
        QCOMPARE(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTopNow);
        QCOMPARE(checkedViewItems().contains(QStringLiteral("ViewOnTopMenuItem")), onTopNow);
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QTRY_COMPARE(m_form->frameGeometry(), bounds);
        QCOMPARE(m_form->Memo->text(), QStringLiteral("beta\r\nedited"));
        QVERIFY(m_form->Memo->document()->isModified());
        QCOMPARE(editorBackground(), background);
        QCOMPARE(m_form->Memo->font(), font);
        QCOMPARE(m_form->TabControl->count(), 3);
        QCOMPARE(m_form->TabControl->tabText(2), QStringLiteral("C"));
        QCOMPARE(m_form->TabControl->currentIndex(), 1);
        // The tab switch on the way in stored page A; no switch since, so B is as loaded.
        QCOMPARE(m_form->pages().at(0).text, QStringLiteral("alpha"));
        QCOMPARE(m_form->pages().at(2).text, QStringLiteral("gamma"));
    }
    QCOMPARE(m_form->windowFlags(), flags);
}

void TestMainView::onTopWhileMaximizedKeepsRestoredBounds()
{
    startForm();
    const QRect normal = m_form->geometry();
    m_form->showMaximized();
    QTRY_VERIFY(m_form->isMaximized());
    QTRY_VERIFY(m_form->geometry() != normal);
    const QRect maximized = m_form->geometry();

    m_form->ViewOnTopMenuItem->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QVERIFY(m_form->isMaximized());
    QTRY_COMPARE(m_form->geometry(), maximized);

    m_form->showNormal();
    QTRY_VERIFY(!m_form->isMaximized());
    QTRY_COMPARE(m_form->geometry(), normal);
}

void TestMainView::hiddenBarsLeaveTheirSpaceToTheTabs_data()
{
    QTest::addColumn<bool>("hideToolbar");
    QTest::addColumn<bool>("hideStatus");

    QTest::newRow("both") << true << true;
    QTest::newRow("toolbar") << true << false;
    QTest::newRow("status") << false << true;
}

void TestMainView::hiddenBarsLeaveTheirSpaceToTheTabs()
{
    QFETCH(bool, hideToolbar);
    QFETCH(bool, hideStatus);

    startForm();
    QWidget *central = m_form->centralWidget();
    QCOMPARE(central, static_cast<QWidget *>(m_form->TabControl));
    const QRect original = central->geometry();
    const QRect toolbarRect = m_form->ToolBar->geometry();
    const QRect statusRect = m_form->StatusBar->geometry();
    const int menuBottom = m_form->menuBar()->geometry().bottom();
    QVERIFY(toolbarRect.top() > menuBottom);
    QVERIFY(original.top() > toolbarRect.bottom());
    QVERIFY(original.bottom() < statusRect.top());

    if (hideToolbar)
        m_form->ViewToolbarMenuItem->trigger();
    if (hideStatus)
        m_form->ViewStatusMenuItem->trigger();
    QCOMPARE(m_form->ToolbarOn, !hideToolbar);
    QCOMPARE(m_form->StatusOn, !hideStatus);

    const int top = hideToolbar ? menuBottom + 1 : toolbarRect.bottom() + 1;
    const int bottom = hideStatus ? m_form->height() - 1 : statusRect.top() - 1;
    const QRect expected(QPoint(0, top), QPoint(m_form->width() - 1, bottom));
    QTRY_COMPARE(central->geometry(), expected);

    if (hideToolbar)
        m_form->ViewToolbarMenuItem->trigger();
    if (hideStatus)
        m_form->ViewStatusMenuItem->trigger();
    QVERIFY(m_form->ToolBar->isVisible());
    QVERIFY(m_form->StatusBar->isVisible());
    QTRY_COMPARE(central->geometry(), original);
}

// Must stay the first test to open a colour dialog: Qt reads its colour store once.
void TestMainView::customColoursStartBlankInEachRun()
{
    const QRgb planted = qRgb(0x0A, 0x0B, 0x0C);
    {
        QVERIFY(QDir().mkpath(m_env->configPath()));
        QSettings earlierRun(m_env->configPath() + QStringLiteral("/QtProject.conf"), QSettings::IniFormat);
        earlierRun.setValue(QStringLiteral("Qt/customColors/0"), uint(planted));
    }
    if (QColorDialog::customColor(0).rgb() != planted)
        QSKIP("Qt's colour store was read earlier in this process");
    startForm();

    QList<QColor> seen;
    whenModalOpens([&seen](QWidget *modal) {
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            seen.append(QColorDialog::customColor(i));
        modal->close();
    });
    m_form->ViewColourMenuItem->trigger();
    QCOMPARE(seen.size(), QColorDialog::customCount());
    for (const QColor &colour : std::as_const(seen))
        QCOMPARE(colour, QColor(Qt::white));
}

void TestMainView::colourDialogPresetWithResolvedSystemColour()
{
    writeSettings("[Settings]\nColour=-2147483643\n");
    startForm();
    QCOMPARE(editorBackground(), windowBackground());

    QColor preset;
    whenModalOpens([&preset](QWidget *modal) {
        auto *dialog = qobject_cast<QColorDialog *>(modal);
        if (dialog)
            preset = dialog->currentColor();
        modal->close();
    });
    m_form->ViewColourMenuItem->trigger();
    QCOMPARE(preset, windowBackground());
    QCOMPARE(m_form->MemoColour, -2147483643);
}

void TestMainView::colourDialogOutcome_data()
{
    QTest::addColumn<QColor>("picked"); // invalid: leave the preset as it is
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QColor>("expectedBackground");
    QTest::addColumn<bool>("expectSystemColour");

    const QColor teal(0x12, 0x80, 0xA0);
    QTest::newRow("ok with a picked colour") << teal << true << teal << false;
    QTest::newRow("ok untouched makes the system colour explicit")
        << QColor() << true << windowBackground() << false;
    QTest::newRow("cancel after picking") << teal << false << windowBackground() << true;
}

void TestMainView::colourDialogOutcome()
{
    QFETCH(QColor, picked);
    QFETCH(bool, accept);
    QFETCH(QColor, expectedBackground);
    QFETCH(bool, expectSystemColour);

    writeSettings("[Settings]\nColour=-2147483643\n");
    startForm();
    whenModalOpens([picked, accept](QWidget *modal) {
        auto *dialog = qobject_cast<QColorDialog *>(modal);
        if (dialog && picked.isValid())
            dialog->setCurrentColor(picked);
        if (dialog && accept)
            dialog->accept();
        else
            modal->close();
    });
    m_form->ViewColourMenuItem->trigger();

    const qint32 expectedValue = expectSystemColour ? qint32(0x80000005u) : bgrOf(expectedBackground);
    QCOMPARE(m_form->MemoColour, expectedValue);
    QCOMPARE(editorBackground(), expectedBackground);
    QVERIFY(m_form->close());
    QCOMPARE(storedValues().value("Settings/Colour"), QString::number(expectedValue));
}

void TestMainView::customColoursLastFromOneOpenToTheNext_data()
{
    QTest::addColumn<bool>("accept");

    QTest::newRow("kept after ok") << true;
    QTest::newRow("dropped after cancel") << false;
}

void TestMainView::customColoursLastFromOneOpenToTheNext()
{
    QFETCH(bool, accept);

    startForm();
    // A colour no earlier test has used, so that only this run can have added it.
    const QColor custom(0x31, 0x42, accept ? 0x53 : 0x54);

    // The user picks a colour and adds it to the custom colours.
    whenModalOpens([custom, accept](QWidget *modal) {
        auto *dialog = qobject_cast<QColorDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        dialog->setCurrentColor(custom);
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->text().contains(QStringLiteral("Custom")))
                button->click();
        }
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
    m_form->ViewColourMenuItem->trigger();

    QList<QColor> seen;
    whenModalOpens([&seen](QWidget *modal) {
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            seen.append(QColorDialog::customColor(i));
        modal->close();
    });
    m_form->ViewColourMenuItem->trigger();
    QCOMPARE(seen.contains(custom), accept);
    QCOMPARE(m_form->MemoColour, accept ? bgrOf(custom) : clYellow);
}

void TestMainView::colourDialogPlacedAtAThirdOfTheFreeHeight()
{
    startForm();
    QRect placed;
    whenModalOpens([&placed](QWidget *modal) {
        placed = modal->frameGeometry();
        modal->close();
    });
    m_form->ViewColourMenuItem->trigger();

    const QRect screen = m_form->screen()->availableGeometry();
    QVERIFY(placed.isValid());
    QCOMPARE(placed.left(), screen.left() + (screen.width() - placed.width()) / 2);
    QCOMPARE(placed.top(), screen.top() + (screen.height() - placed.height()) / 3);
}

void TestMainView::fontDialogOutcome_data()
{
    QTest::addColumn<bool>("pickBold");
    QTest::addColumn<bool>("accept");

    QTest::newRow("ok untouched") << false << true;
    QTest::newRow("ok with bold") << true << true;
    QTest::newRow("cancel after bold") << true << false;
}

void TestMainView::fontDialogOutcome()
{
    QFETCH(bool, pickBold);
    QFETCH(bool, accept);

    writeSettings("[Font]\nName=DejaVu Sans\nSize=10\n");
    startForm();
    const QFont before = m_form->Memo->font();
    QVERIFY(!before.bold());

    bool found = false;
    whenModalOpens([&found, pickBold, accept](QWidget *modal) {
        auto *chooser = modal->findChild<QFontDialog *>(QString::fromLatin1(TFontDialog::FontChooserName));
        auto *dialog = qobject_cast<QDialog *>(modal);
        found = chooser && dialog;
        if (found && pickBold) {
            QFont bold = chooser->currentFont();
            bold.setStyleName(QString());
            bold.setBold(true);
            chooser->setCurrentFont(bold);
        }
        if (found && accept)
            dialog->accept();
        else
            modal->close();
    });
    m_form->ViewFontMenuItem->trigger();
    QVERIFY(found);

    const bool boldNow = pickBold && accept;
    const QFont after = m_form->Memo->font();
    QCOMPARE(after.bold(), boldNow);
    QCOMPARE(after.family(), before.family());
    QCOMPARE(after.pointSize(), before.pointSize());
    QCOMPARE(m_form->editorFont().color(), qint32(0x80000008u));

    QVERIFY(m_form->close());
    const IniValues values = storedValues();
    QCOMPARE(values.value("Font/Color"), QStringLiteral("-2147483640"));
    QCOMPARE(values.value("Font/Bold"), QString::fromLatin1(boldNow ? "1" : "0"));
    QCOMPARE(values.value("Font/Name"), QStringLiteral("DejaVu Sans"));
    QCOMPARE(values.value("Font/Size"), QStringLiteral("10"));
}

// Its pixels alone could take gigabytes. A window out of reach comes onto the screen.
void TestMainView::sizeIsCutToTheDesktop_data()
{
    const QSize desktop = QGuiApplication::primaryScreen()->virtualGeometry().size();
    QTest::addColumn<QString>("stored"); // XPos, YPos, XSize, YSize
    QTest::addColumn<QRect>("applied");

    QTest::newRow("largest width") << QStringLiteral("10 20 2147483647 300") << QRect(10, 20, desktop.width(), 300);
    QTest::newRow("both large, off-screen")
        << QStringLiteral("9000 7000 99999 99999")
        << QRect(QGuiApplication::primaryScreen()->availableGeometry().topLeft(), desktop);
    QTest::newRow("one pixel less") << QStringLiteral("5 6 %1 %2").arg(desktop.width() - 1).arg(desktop.height() - 1)
                                    << QRect(5, 6, desktop.width() - 1, desktop.height() - 1);
}

void TestMainView::sizeIsCutToTheDesktop()
{
    QFETCH(QString, stored);
    QFETCH(QRect, applied);
    const QStringList v = stored.split(QLatin1Char(' '));
    writeSettings(QStringLiteral("[Settings]\nXPos=%1\nYPos=%2\nXSize=%3\nYSize=%4\n")
                      .arg(v.at(0), v.at(1), v.at(2), v.at(3))
                      .toLatin1());
    startForm();
    QTRY_COMPARE(m_form->frameGeometry(), applied);
    QCOMPARE(m_boxes->texts(), QStringList());
}

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
