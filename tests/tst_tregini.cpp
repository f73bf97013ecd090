#include "core/Exceptions.h"
#include "storage/TRegIniFile.h"
#include "support/FileSizeLimit.h"
#include "support/IniText.h"
#include "support/TestEnvironment.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString Settings = QStringLiteral("Settings");
const QString Font = QStringLiteral("Font");



} // namespace

class TestTRegIniFile : public QObject
{
    Q_OBJECT

private slots:
    void filePath_data();
    void filePath();
    void readInteger_data();
    void readInteger();
    void readText_data();
    void readText();
    void readBool_data();
    void readBool();
    void foreignTypeIsInvalidDataType_data();
    void foreignTypeIsInvalidDataType();
    void roundTripsAwkwardTexts_data();
    void roundTripsAwkwardTexts();
    void writeKeepsOtherValuesAndMode();
    void writeFollowsSymlink();
    void uncommittedPutsAreDropped();
    void newStoreSeesFileChangedOnDisk();
    void unreachableStoreFailsAtFirstPut_data();
    void unreachableStoreFailsAtFirstPut();
    void failedCommitKeepsFileAndLeavesNothingBehind();
};

void TestTRegIniFile::filePath_data()
{
    QTest::addColumn<bool>("setXdg");
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("expected");

    QTest::newRow("XDG_CONFIG_HOME") << true << "/srv/conf" << "/srv/conf/Brindle Pinnote.ini";
    QTest::newRow("trailing slash") << true << "/srv/conf/" << "/srv/conf/Brindle Pinnote.ini";
    QTest::newRow("empty") << true << "" << "/home/pat/.config/Brindle Pinnote.ini";
    QTest::newRow("relative is ignored") << true << "conf" << "/home/pat/.config/Brindle Pinnote.ini";
    QTest::newRow("unset") << false << "" << "/home/pat/.config/Brindle Pinnote.ini";
}

void TestTRegIniFile::filePath()
{
    QFETCH(bool, setXdg);
    QFETCH(QString, xdg);
    QFETCH(QString, expected);

    TestEnvironment env;
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", "/home/pat");
    if (setXdg)
        qputenv("XDG_CONFIG_HOME", xdg.toLocal8Bit());
    else
        qunsetenv("XDG_CONFIG_HOME");
    const QString path = TRegIniFile::settingsFilePath();
    const QString storePath = TRegIniFile().fileName();
    qputenv("HOME", home);

    QCOMPARE(path, expected);
    QCOMPARE(storePath, expected);
}

void TestTRegIniFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<qint32>("defaultValue");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("no file") << QByteArray() << 7 << 7;
    QTest::newRow("missing section") << QByteArray("[Font]\nXPos=5\n") << 7 << 7;
    QTest::newRow("missing value") << QByteArray("[Settings]\nYPos=5\n") << 7 << 7;
    QTest::newRow("decimal") << QByteArray("[Settings]\nXPos=-5000\n") << 7 << -5000;
    QTest::newRow("hex") << QByteArray("[Settings]\nXPos=0x0000FF\n") << 7 << 255;
    QTest::newRow("system colour") << QByteArray("[Settings]\nXPos=-2147483643\n") << 7 << qint32(0x80000005u);
    QTest::newRow("empty") << QByteArray("[Settings]\nXPos=\n") << 7 << 7;
    QTest::newRow("quoted leading blanks") << QByteArray("[Settings]\nXPos=\"  42\"\n") << 7 << 42;
    QTest::newRow("quoted trailing blank") << QByteArray("[Settings]\nXPos=\"42 \"\n") << 7 << 7;
    QTest::newRow("not a number") << QByteArray("[Settings]\nXPos=left\n") << 7 << 7;
    QTest::newRow("comma inside quotes is a string") << QByteArray("[Settings]\nXPos=\"4,2\"\n") << 7 << 7;
    QTest::newRow("out of range") << QByteArray("[Settings]\nXPos=2147483648\n") << 7 << 7;
}

void TestTRegIniFile::readInteger()
{
    QFETCH(QByteArray, ini);
    QFETCH(qint32, defaultValue);
    QFETCH(qint32, expected);

    TestEnvironment env;
    if (!ini.isNull())
        QVERIFY(env.writeSettings(ini));
    TRegIniFile store;
    QCOMPARE(store.GetInt(Settings, QStringLiteral("XPos"), defaultValue), expected);
}

void TestTRegIniFile::readText_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing") << QByteArray("[Font]\nSize=8\n") << "fallback";
    QTest::newRow("plain") << QByteArray("[Font]\nName=MS Sans Serif\n") << "MS Sans Serif";
    QTest::newRow("empty stays empty") << QByteArray("[Font]\nName=\n") << "";
    QTest::newRow("quoted comma") << QByteArray("[Font]\nName=\"Face, Bold\"\n") << "Face, Bold";
    QTest::newRow("ends at NUL") << QByteArray("[Font]\nName=\"Sans\\0Serif\"\n") << "Sans";
    QTest::newRow("UTF-8") << QByteArray("[Font]\nName=Fira S\xc3\xa4ns\n") << QString::fromUtf8("Fira S\xc3\xa4ns");
}

void TestTRegIniFile::readText()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);

    TestEnvironment env;
    QVERIFY(env.writeSettings(ini));
    TRegIniFile store;
    QCOMPARE(store.GetText(Font, QStringLiteral("Name"), QStringLiteral("fallback")), expected);
}

void TestTRegIniFile::readBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");

    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("2") << QByteArray("2") << false << true;
    QTest::newRow("0x1") << QByteArray("0x1") << false << true;
    QTest::newRow("-1") << QByteArray("-1") << false << true;
    QTest::newRow("yes keeps false default") << QByteArray("yes") << false << false;
    QTest::newRow("yes keeps true default") << QByteArray("yes") << true << true;
    QTest::newRow("empty keeps true default") << QByteArray("") << true << true;
    QTest::newRow("true is not a number") << QByteArray("true") << false << false;
}

void TestTRegIniFile::readBool()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);

    TestEnvironment env;
    QVERIFY(env.writeSettings("[Font]\nBold=" + value + "\n"));
    TRegIniFile store;
    QCOMPARE(store.GetBool(Font, QStringLiteral("Bold"), defaultValue), expected);
}

void TestTRegIniFile::foreignTypeIsInvalidDataType_data()
{
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("list") << QByteArray("1, 2");
    QTest::newRow("variant") << QByteArray("@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)");
    QTest::newRow("byte array") << QByteArray("@ByteArray(1)");
    QTest::newRow("invalid") << QByteArray("@Invalid()");
    QTest::newRow("rectangle") << QByteArray("@Rect(1 2 3 4)");
}

void TestTRegIniFile::foreignTypeIsInvalidDataType()
{
    QFETCH(QByteArray, value);

    TestEnvironment env;
    QVERIFY(env.writeSettings("[Settings]\nOnTop=" + value + "\nStatus=0\n"));
    TRegIniFile store;
    for (int kind = 0; kind < 3; ++kind) {
        try {
            if (kind == 0)
                store.GetBool(Settings, QStringLiteral("OnTop"), true);
            else if (kind == 1)
                store.GetInt(Settings, QStringLiteral("OnTop"), 1);
            else
                store.GetText(Settings, QStringLiteral("OnTop"), QString());
            QFAIL("the read did not raise");
        } catch (const ERegistryException &error) {
            QCOMPARE(error.message(), QStringLiteral("Invalid data type for 'OnTop'"));
        }
    }
    // The store stays usable for the other values.
    QCOMPARE(store.GetBool(Settings, QStringLiteral("Status"), true), false);
}

void TestTRegIniFile::roundTripsAwkwardTexts_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("comma") << "Face, Bold";
    QTest::newRow("semicolon and equals") << "a;b=c";
    QTest::newRow("at sign first") << "@Variant(x)";
    QTest::newRow("quotes and backslash") << "say \"hi\" \\ there";
    QTest::newRow("blanks around") << "  padded  ";
    QTest::newRow("bracket line") << "[Settings]";
    QTest::newRow("newline") << "two\nlines";
    QTest::newRow("non-ASCII") << QString::fromUtf8("\xe2\x82\xac \xef\xbc\xad\xef\xbc\xb3");
    QTest::newRow("empty") << "";
}

void TestTRegIniFile::roundTripsAwkwardTexts()
{
    QFETCH(QString, text);

    TestEnvironment env;
    {
        TRegIniFile store;
        store.PutText(Font, QStringLiteral("Name"), text);
        store.commit();
    }
    TRegIniFile store;
    QCOMPARE(store.GetText(Font, QStringLiteral("Name"), QStringLiteral("fallback")), text);
}

void TestTRegIniFile::writeKeepsOtherValuesAndMode()
{
    TestEnvironment env;
    QVERIFY(env.writeSettings("[Other]\nKeep=this\n[Settings]\nXPos=1\nYPos=2\n"));
    QVERIFY(QFile::setPermissions(env.settingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                          | QFileDevice::ReadGroup));
    {
        TRegIniFile store;
        store.PutInt(Settings, QStringLiteral("XPos"), -5000);
        store.PutBool(Font, QStringLiteral("Bold"), true);
        store.commit();
    }
    const QMap<QString, QString> values = parseIniText(env.readFile(env.settingsPath()));
    QCOMPARE(values.value(QStringLiteral("Other/Keep")), QStringLiteral("this"));
    QCOMPARE(values.value(QStringLiteral("Settings/XPos")), QStringLiteral("-5000"));
    QCOMPARE(values.value(QStringLiteral("Settings/YPos")), QStringLiteral("2"));
    QCOMPARE(values.value(QStringLiteral("Font/Bold")), QStringLiteral("1"));
    // Owner, group and other bits only: the "user" bits describe the test's own access.
    QCOMPARE(int(QFileInfo(env.settingsPath()).permissions() & 0x7077), 0x6040);
    // Nothing but the store is left in the folder.
    QCOMPARE(QDir(env.configPath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Brindle Pinnote.ini")});
}

void TestTRegIniFile::writeFollowsSymlink()
{
    TestEnvironment env;
    const QString real = env.filePath(QStringLiteral("elsewhere.ini"));
    QVERIFY(env.writeFile(real, "[Settings]\nXPos=1\n"));
    QVERIFY(QDir().mkpath(env.configPath()));
    QVERIFY(QFile::link(real, env.settingsPath()));
    {
        TRegIniFile store;
        store.PutInt(Settings, QStringLiteral("XPos"), 9);
        store.commit();
    }
    QVERIFY(QFileInfo(env.settingsPath()).isSymLink());
    QCOMPARE(parseIniText(env.readFile(real)).value(QStringLiteral("Settings/XPos")), QStringLiteral("9"));
}

void TestTRegIniFile::uncommittedPutsAreDropped()
{
    TestEnvironment env;
    const QByteArray before("[Settings]\nXPos=1\n");
    QVERIFY(env.writeSettings(before));
    {
        TRegIniFile store;
        store.PutInt(Settings, QStringLiteral("XPos"), 2);
        QVERIFY(store.hasPendingWrites());
        // The store's own reads see what it was given.
        QCOMPARE(store.GetInt(Settings, QStringLiteral("XPos"), 0), 2);
    }
    QCOMPARE(env.readFile(env.settingsPath()), before);
    TRegIniFile store;
    QCOMPARE(store.GetInt(Settings, QStringLiteral("XPos"), 0), 1);
}

void TestTRegIniFile::newStoreSeesFileChangedOnDisk()
{
    TestEnvironment env;
    QVERIFY(env.writeSettings("[Settings]\nXPos=1\n"));
    {
        TRegIniFile store;
        QCOMPARE(store.GetInt(Settings, QStringLiteral("XPos"), 0), 1);
    }
    QVERIFY(env.writeSettings("[Settings]\nXPos=22\n"));
    {
        TRegIniFile store;
        QCOMPARE(store.GetInt(Settings, QStringLiteral("XPos"), 0), 22);
        store.PutInt(Settings, QStringLiteral("XPos"), 333);
        store.commit();
    }
    TRegIniFile store;
    QCOMPARE(store.GetInt(Settings, QStringLiteral("XPos"), 0), 333);
}

void TestTRegIniFile::unreachableStoreFailsAtFirstPut_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("folder below a regular file") << "folder below file";
    QTest::newRow("store is a directory") << "store is directory";
    QTest::newRow("store without write bits") << "read-only store";
}

void TestTRegIniFile::unreachableStoreFailsAtFirstPut()
{
    QFETCH(QString, obstacle);

    TestEnvironment env;
    const QByteArray before("[Settings]\nOnTop=0\n");
    QString watched = env.settingsPath();
    if (obstacle == QLatin1String("folder below file")) {
        const QString plainFile = env.filePath(QStringLiteral("plain"));
        QVERIFY(env.writeFile(plainFile, before));
        qputenv("XDG_CONFIG_HOME", (plainFile + QStringLiteral("/config")).toLocal8Bit());
        watched = plainFile;
    } else if (obstacle == QLatin1String("store is directory")) {
        QVERIFY(QDir().mkpath(env.settingsPath()));
    } else {
        QVERIFY(env.writeSettings(before));
        QVERIFY(QFile::setPermissions(env.settingsPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    }

    TRegIniFile store;
    // Reads still work, or fall back to the defaults.
    const bool onTop = store.GetBool(Settings, QStringLiteral("OnTop"), true);
    QCOMPARE(onTop, obstacle != QLatin1String("read-only store"));
    try {
        store.PutBool(Settings, QStringLiteral("OnTop"), true);
        QFAIL("the write did not raise");
    } catch (const ERegistryException &error) {
        QCOMPARE(error.message(), QStringLiteral("Failed to create key Settings"));
    }
    try {
        store.PutText(Font, QStringLiteral("Name"), QStringLiteral("x"));
        QFAIL("the write did not raise");
    } catch (const ERegistryException &error) {
        QCOMPARE(error.message(), QStringLiteral("Failed to create key Font"));
    }
    QVERIFY(!store.hasPendingWrites());
    store.commit();
    if (obstacle != QLatin1String("store is directory"))
        QCOMPARE(env.readFile(watched), before);
    QCOMPARE(QDir(env.configPath()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".ini.")),
             QStringList());
}

void TestTRegIniFile::failedCommitKeepsFileAndLeavesNothingBehind()
{
    TestEnvironment env;
    const QByteArray before("[Settings]\nOnTop=0\nXPos=1\n");
    QVERIFY(env.writeSettings(before));

    QString message;
    bool limited = false;
    {
        TRegIniFile store;
        store.PutBool(Settings, QStringLiteral("OnTop"), true);
        store.PutText(Font, QStringLiteral("Name"), QString(400, u'W'));
        {
            // Room for the copy of the present file, not for the new one.
            FileSizeLimit limit(before.size() + 8);
            limited = limit.isActive();
            try {
                store.commit();
            } catch (const ERegistryException &error) {
                message = error.message();
            }
        }
        QVERIFY(!store.hasPendingWrites());
    }
    QVERIFY(limited);
    QCOMPARE(message, QStringLiteral("Failed to set data for 'OnTop'"));
    QCOMPARE(env.readFile(env.settingsPath()), before);
    QCOMPARE(QDir(env.configPath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Brindle Pinnote.ini")});

    // What failed is not written later behind the next store's back.
    {
        TRegIniFile store;
        QCOMPARE(store.GetBool(Settings, QStringLiteral("OnTop"), true), false);
        store.PutInt(Settings, QStringLiteral("XPos"), 5);
        store.commit();
    }
    const QMap<QString, QString> values = parseIniText(env.readFile(env.settingsPath()));
    QCOMPARE(values.value(QStringLiteral("Settings/OnTop")), QStringLiteral("0"));
    QCOMPARE(values.value(QStringLiteral("Settings/XPos")), QStringLiteral("5"));
    QVERIFY(!values.contains(QStringLiteral("Font/Name")));
}

QTEST_APPLESS_MAIN(TestTRegIniFile)
#include "tst_tregini.moc"
