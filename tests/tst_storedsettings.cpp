#include "core/Exceptions.h"
#include "storage/StoredSettings.h"
#include "storage/TRegIniFile.h"
#include "support/IniText.h"
#include "support/TestEnvironment.h"

#include <QtTest>

Q_DECLARE_METATYPE(TFontStyles)

using namespace Qt::StringLiterals;

namespace {


struct ReadResult
{
    StoredSettings values;
    QStringList errors;
};

ReadResult readStore(int ppi)
{
    QStringList errors;
    TRegIniFile store;
    StoredSettings values = StoredSettings::read(store, ppi, [&](const Exception &error) {
        errors.append(error.message());
    });
    return {values, errors};
}

} // namespace

class TestStoredSettings : public QObject
{
    Q_OBJECT

private slots:
    void cleanProfile();
    void settingsSection_data();
    void settingsSection();
    void fontSection_data();
    void fontSection();
    void foreignTypesAreReportedAndDefaulted();
    void roundTrip();
    void writeFailureStopsAndKeepsFile_data();
    void writeFailureStopsAndKeepsFile();
};

void TestStoredSettings::cleanProfile()
{
    TestEnvironment env;
    const ReadResult read = readStore(96);
    QVERIFY(read.errors.isEmpty());
    const StoredSettings &values = read.values;
    QCOMPARE(values.onTop, true);
    QCOMPARE(values.statusOn, true);
    QCOMPARE(values.toolbarOn, true);
    QCOMPARE(values.left, 100);
    QCOMPARE(values.top, 100);
    QCOMPARE(values.width, 400);
    QCOMPARE(values.height, 280);
    QCOMPARE(values.memoColour, TColor(0x0000FFFF));
    QCOMPARE(values.font.charset(), 1);
    QCOMPARE(values.font.color(), TColor(0x80000008u));
    QCOMPARE(values.font.height(), -11);
    QCOMPARE(values.font.size(), 8);
    QCOMPARE(values.font.name(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(values.font.style(), TFontStyles());
    // Reading alone writes nothing.
    QVERIFY(!QFileInfo::exists(env.settingsPath()));

    {
        TRegIniFile store;
        StoredSettings::write(store, values);
    }
    const QMap<QString, QString> written = parseIniText(env.readFile(env.settingsPath()));
    const QMap<QString, QString> expected = {
        {u"Settings/OnTop"_s, u"1"_s},      {u"Settings/Status"_s, u"1"_s},   {u"Settings/Toolbar"_s, u"1"_s},
        {u"Settings/XPos"_s, u"100"_s},     {u"Settings/YPos"_s, u"100"_s},   {u"Settings/XSize"_s, u"400"_s},
        {u"Settings/YSize"_s, u"280"_s},    {u"Settings/Colour"_s, u"65535"_s},
        {u"Font/CharSet"_s, u"1"_s},        {u"Font/Color"_s, u"-2147483640"_s}, {u"Font/Height"_s, u"-11"_s},
        {u"Font/Name"_s, u"MS Sans Serif"_s}, {u"Font/Size"_s, u"8"_s},       {u"Font/Bold"_s, u"0"_s},
        {u"Font/Italic"_s, u"0"_s},         {u"Font/Underline"_s, u"0"_s},    {u"Font/StrikeOut"_s, u"0"_s},
    };
    QCOMPARE(written, expected);
}

void TestStoredSettings::settingsSection_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("onTop");
    QTest::addColumn<bool>("statusOn");
    QTest::addColumn<bool>("toolbarOn");
    QTest::addColumn<QRect>("bounds");
    QTest::addColumn<TColor>("colour");

    QTest::newRow("switches off") << QByteArray("[Settings]\nOnTop=0\nStatus=0\nToolbar=0\n")
                                  << false << false << false << QRect(100, 100, 400, 280) << clYellow;
    QTest::newRow("off-screen bounds kept") << QByteArray("[Settings]\nXPos=-5000\nYPos=7\nXSize=1\nYSize=99999\n")
                                            << true << true << true << QRect(-5000, 7, 1, 99999) << clYellow;
    QTest::newRow("hex colour") << QByteArray("[Settings]\nColour=0x0000FF\n")
                                << true << true << true << QRect(100, 100, 400, 280) << TColor(255);
    QTest::newRow("system colour") << QByteArray("[Settings]\nColour=-2147483643\n")
                                   << true << true << true << QRect(100, 100, 400, 280) << TColor(0x80000005u);
    QTest::newRow("unusable texts take defaults")
        << QByteArray("[Settings]\nOnTop=no\nXPos=\"12 \"\nColour=\nYSize=0x\n")
        << true << true << true << QRect(100, 100, 400, 280) << clYellow;
    QTest::newRow("values in the wrong section are ignored") << QByteArray("[Font]\nOnTop=0\nXPos=5\n")
                                                             << true << true << true << QRect(100, 100, 400, 280) << clYellow;
}

void TestStoredSettings::settingsSection()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, onTop);
    QFETCH(bool, statusOn);
    QFETCH(bool, toolbarOn);
    QFETCH(QRect, bounds);
    QFETCH(TColor, colour);

    TestEnvironment env;
    QVERIFY(env.writeSettings(ini));
    const ReadResult read = readStore(96);
    QVERIFY(read.errors.isEmpty());
    QCOMPARE(read.values.onTop, onTop);
    QCOMPARE(read.values.statusOn, statusOn);
    QCOMPARE(read.values.toolbarOn, toolbarOn);
    QCOMPARE(QRect(read.values.left, read.values.top, read.values.width, read.values.height), bounds);
    QCOMPARE(read.values.memoColour, colour);
}

void TestStoredSettings::fontSection_data()
{
    QTest::addColumn<int>("ppi");
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<int>("charset");
    QTest::addColumn<TColor>("colour");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("name");
    QTest::addColumn<TFontStyles>("style");

    const QString standard = QStringLiteral("MS Sans Serif");
    QTest::newRow("stored size decides the height") << 96 << QByteArray("Size=12\nHeight=-50\n")
                                                    << 1 << clWindowText << -16 << 12 << standard << TFontStyles();
    QTest::newRow("height alone") << 96 << QByteArray("Height=-16\n")
                                  << 1 << clWindowText << -16 << 12 << standard << TFontStyles();
    QTest::newRow("unusable size leaves the height") << 96 << QByteArray("Height=-16\nSize=big\n")
                                                     << 1 << clWindowText << -16 << 12 << standard << TFontStyles();
    QTest::newRow("height rounded through size") << 96 << QByteArray("Height=-14\n")
                                                 << 1 << clWindowText << -15 << 11 << standard << TFontStyles();
    QTest::newRow("size at 120 ppi") << 120 << QByteArray("Size=10\n")
                                     << 1 << clWindowText << -17 << 10 << standard << TFontStyles();
    QTest::newRow("default at 144 ppi") << 144 << QByteArray()
                                        << 1 << clWindowText << -16 << 8 << standard << TFontStyles();
    QTest::newRow("charset low byte") << 96 << QByteArray("CharSet=300\n")
                                      << 44 << clWindowText << -11 << 8 << standard << TFontStyles();
    QTest::newRow("colour") << 96 << QByteArray("Color=255\n")
                            << 1 << TColor(255) << -11 << 8 << standard << TFontStyles();
    QTest::newRow("empty name keeps the face") << 96 << QByteArray("Name=\n")
                                               << 1 << clWindowText << -11 << 8 << standard << TFontStyles();
    QTest::newRow("long name cut") << 96 << QByteArray("Name=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn\n")
                                   << 1 << clWindowText << -11 << 8
                                   << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcde") << TFontStyles();
    QTest::newRow("bold 2") << 96 << QByteArray("Bold=2\n")
                            << 1 << clWindowText << -11 << 8 << standard << TFontStyles(fsBold);
    QTest::newRow("bold 0x1") << 96 << QByteArray("Bold=0x1\n")
                              << 1 << clWindowText << -11 << 8 << standard << TFontStyles(fsBold);
    QTest::newRow("bold yes") << 96 << QByteArray("Bold=yes\n")
                              << 1 << clWindowText << -11 << 8 << standard << TFontStyles();
    QTest::newRow("other styles") << 96 << QByteArray("Italic=1\nUnderline=1\nStrikeOut=1\n")
                                  << 1 << clWindowText << -11 << 8 << standard
                                  << (fsItalic | fsUnderline | fsStrikeOut);
}

void TestStoredSettings::fontSection()
{
    QFETCH(int, ppi);
    QFETCH(QByteArray, font);
    QFETCH(int, charset);
    QFETCH(TColor, colour);
    QFETCH(int, height);
    QFETCH(int, size);
    QFETCH(QString, name);
    QFETCH(TFontStyles, style);

    TestEnvironment env;
    QVERIFY(env.writeSettings("[Font]\n" + font));
    const ReadResult read = readStore(ppi);
    QVERIFY(read.errors.isEmpty());
    QCOMPARE(read.values.font.charset(), charset);
    QCOMPARE(read.values.font.color(), colour);
    QCOMPARE(read.values.font.height(), height);
    QCOMPARE(read.values.font.size(), size);
    QCOMPARE(read.values.font.name(), name);
    QCOMPARE(read.values.font.style(), style);
}

void TestStoredSettings::foreignTypesAreReportedAndDefaulted()
{
    TestEnvironment env;
    QVERIFY(env.writeSettings("[Settings]\nOnTop=1, 2\nStatus=0\nXPos=5\n"
                          "[Font]\nBold=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)\nItalic=1\nSize=@ByteArray(12)\n"));
    const ReadResult read = readStore(96);
    QCOMPARE(read.errors, (QStringList{QStringLiteral("Invalid data type for 'OnTop'"),
                                       QStringLiteral("Invalid data type for 'Size'"),
                                       QStringLiteral("Invalid data type for 'Bold'")}));
    QCOMPARE(read.values.onTop, true);
    QCOMPARE(read.values.statusOn, false);
    QCOMPARE(read.values.left, 5);
    QCOMPARE(read.values.font.size(), 8);
    QCOMPARE(read.values.font.style(), TFontStyles(fsItalic));
}

void TestStoredSettings::roundTrip()
{
    TestEnvironment env;
    StoredSettings values(120);
    values.onTop = false;
    values.statusOn = false;
    values.toolbarOn = true;
    values.left = -3;
    values.top = 40;
    values.width = 640;
    values.height = 480;
    values.memoColour = 0x00C0FFEE;
    values.font.setCharset(204);
    values.font.setColor(0x80000012u);
    values.font.setName(QStringLiteral("Serif, \"Book\""));
    values.font.setSize(14);
    values.font.setStyle(fsBold | fsStrikeOut);
    {
        TRegIniFile store;
        StoredSettings::write(store, values);
    }
    const ReadResult read = readStore(120);
    QVERIFY(read.errors.isEmpty());
    QCOMPARE(read.values.onTop, false);
    QCOMPARE(read.values.statusOn, false);
    QCOMPARE(read.values.toolbarOn, true);
    QCOMPARE(QRect(read.values.left, read.values.top, read.values.width, read.values.height), QRect(-3, 40, 640, 480));
    QCOMPARE(read.values.memoColour, TColor(0x00C0FFEE));
    QCOMPARE(read.values.font.charset(), 204);
    QCOMPARE(read.values.font.color(), TColor(0x80000012u));
    QCOMPARE(read.values.font.name(), QStringLiteral("Serif, \"Book\""));
    QCOMPARE(read.values.font.height(), -23); // 14 * 120 / 72 = 23.33
    QCOMPARE(read.values.font.style(), fsBold | fsStrikeOut);
}

void TestStoredSettings::writeFailureStopsAndKeepsFile_data()
{
    QTest::addColumn<bool>("belowRegularFile");
    QTest::newRow("store folder below a regular file") << true;
    QTest::newRow("store without write bits") << false;
}

void TestStoredSettings::writeFailureStopsAndKeepsFile()
{
    QFETCH(bool, belowRegularFile);

    TestEnvironment env;
    const QByteArray before("[Settings]\nOnTop=0\n");
    QString watched = env.settingsPath();
    QVERIFY(env.writeSettings(before));
    if (belowRegularFile) {
        qputenv("XDG_CONFIG_HOME", (env.settingsPath() + QStringLiteral("/config")).toLocal8Bit());
    } else {
        QVERIFY(QFile::setPermissions(env.settingsPath(), QFileDevice::ReadOwner));
    }

    QString message;
    try {
        TRegIniFile store;
        StoredSettings::write(store, StoredSettings(96));
    } catch (const ERegistryException &error) {
        message = error.message();
    }
    QCOMPARE(message, QStringLiteral("Failed to create key Settings"));
    QCOMPARE(env.readFile(watched), before);
    QCOMPARE(QDir(env.configPath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Brindle Pinnote.ini")});
}

QTEST_APPLESS_MAIN(TestStoredSettings)
#include "tst_storedsettings.moc"
