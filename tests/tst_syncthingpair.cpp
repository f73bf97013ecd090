#include "storage/ConflictCopies.h"
#include "storage/NoteFile.h"
#include "support/RequiredPrograms.h"
#include "support/SyncthingPair.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

class TestSyncthingPair : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void staysOnLoopback_data();
    void staysOnLoopback();
    void concurrentSavesLeaveConflictCopy();

private:
    QTemporaryDir m_dir;
    SyncthingPair m_pair;
};

namespace {

// Syncing a small file between two local instances takes a few seconds; a busy machine more.
constexpr int SyncTimeoutMs = 120000;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

void TestSyncthingPair::initTestCase()
{
    PINNOTE_REQUIRE_PROGRAMS({SyncthingPair::Program, SyncthingPair::Package});
    QVERIFY(m_dir.isValid());
    const QString error = m_pair.start(m_dir.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestSyncthingPair::cleanupTestCase()
{
    m_pair.stop();
}

void TestSyncthingPair::staysOnLoopback_data()
{
    QTest::addColumn<int>("machine");
    QTest::newRow("A") << int(SyncthingPair::A);
    QTest::newRow("B") << int(SyncthingPair::B);
}

void TestSyncthingPair::staysOnLoopback()
{
    QFETCH(int, machine);
    QFile file(m_pair.configPath(SyncthingPair::Machine(machine)));
    QDomDocument config;
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(config.setContent(&file));
    const QDomElement options = config.documentElement().firstChildElement("options");

    const QDomNodeList listen = options.elementsByTagName("listenAddress");
    QCOMPARE(listen.size(), 1);
    QVERIFY2(listen.at(0).toElement().text().startsWith("tcp://127.0.0.1:"), qPrintable(listen.at(0).toElement().text()));
    for (const char *off : {"globalAnnounceEnabled", "localAnnounceEnabled", "relaysEnabled", "natEnabled",
                            "crashReportingEnabled", "announceLANAddresses", "startBrowser"})
        QVERIFY2(options.firstChildElement(off).text() == "false", off);
    QCOMPARE(options.firstChildElement("urAccepted").text(), "-1");
    QCOMPARE(options.firstChildElement("autoUpgradeIntervalH").text(), "0");
    QVERIFY(config.documentElement().firstChildElement("gui").firstChildElement("address").text().startsWith(
        "127.0.0.1:"));
    int peers = 0;
    for (QDomElement device = config.documentElement().firstChildElement("device"); !device.isNull();
         device = device.nextSiblingElement("device")) {
        if (device.attribute("name").startsWith("machine")) {
            ++peers;
            QVERIFY(device.firstChildElement("address").text().startsWith("tcp://127.0.0.1:"));
        }
    }
    QCOMPARE(peers, 1);
}

void TestSyncthingPair::concurrentSavesLeaveConflictCopy()
{
    const QString name = QString::fromLatin1(NoteFile::FileName);
    writeFile(QDir(m_pair.folderA()).filePath(name), "first");
    QVERIFY(m_pair.waitSame(name, QDeadlineTimer(SyncTimeoutMs)));

    QString error = m_pair.stopOne(SyncthingPair::B);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    writeFile(QDir(m_pair.folderA()).filePath(name), "saved on A");
    writeFile(QDir(m_pair.folderB()).filePath(name), "saved on B");
    error = m_pair.startOne(SyncthingPair::B);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // The copy reaches both folders, under a name the conflict-copy listing knows.
    QTRY_VERIFY_WITH_TIMEOUT(ConflictCopies::list(m_pair.folderA()).size() == 1
                                 && ConflictCopies::list(m_pair.folderB()).size() == 1,
                             SyncTimeoutMs);
    const ConflictCopy copy = ConflictCopies::list(m_pair.folderA()).first();
    QCOMPARE(copy.engine, ConflictCopy::Engine::Syncthing);
    QVERIFY(m_pair.waitSame(QFileInfo(copy.path).fileName(), QDeadlineTimer(SyncTimeoutMs)));
    QVERIFY(m_pair.waitSame(name, QDeadlineTimer(SyncTimeoutMs)));
    QFile kept(QDir(m_pair.folderA()).filePath(name));
    QFile other(copy.path);
    QVERIFY(kept.open(QIODevice::ReadOnly) && other.open(QIODevice::ReadOnly));
    const QSet<QByteArray> both = {kept.readAll(), other.readAll()};
    QCOMPARE(both, (QSet<QByteArray>{"saved on A", "saved on B"}));
}

QTEST_GUILESS_MAIN(TestSyncthingPair)
#include "tst_syncthingpair.moc"
