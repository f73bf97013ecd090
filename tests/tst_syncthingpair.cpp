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
    void staysOnLoopback();
    void savesWhileApartLeaveConflictCopy();

private:
    QTemporaryDir m_dir;
    SyncthingPair m_pair;
};

namespace {

// Syncing a small file between two local instances takes seconds; a busy machine more.
constexpr int SyncTimeoutMs = 120000;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestSyncthingPair::initTestCase()
{
    PINNOTE_REQUIRE_PROGRAMS({SyncthingPair::Program, SyncthingPair::Package});
    const QString error = m_pair.start(m_dir.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestSyncthingPair::staysOnLoopback()
{
    for (const SyncthingPair::Machine machine : {SyncthingPair::A, SyncthingPair::B}) {
        QFile file(m_pair.configPath(machine));
        QDomDocument config;
        QVERIFY(file.open(QIODevice::ReadOnly) && config.setContent(&file));
        const QDomElement root = config.documentElement();
        const QDomElement options = root.firstChildElement("options");
        QStringList addresses;
        for (const char *tag : {"listenAddress", "address"}) {
            const QDomNodeList nodes = root.elementsByTagName(tag);
            for (int i = 0; i < nodes.size(); ++i)
                addresses.append(nodes.at(i).toElement().text());
        }
        // The GUI's, the listener's and the peer's; "dynamic" stands only in the defaults for devices added later, which this pair never does.
        addresses.removeAll("dynamic");
        for (const QString &address : addresses)
            QVERIFY2(QString(address).remove("tcp://").startsWith("127.0.0.1:"), qPrintable(address));
        for (const char *off : {"globalAnnounceEnabled", "localAnnounceEnabled", "relaysEnabled", "natEnabled",
                                "crashReportingEnabled", "announceLANAddresses"})
            QVERIFY2(options.firstChildElement(off).text() == "false", off);
        QCOMPARE(options.firstChildElement("urAccepted").text(), "-1");
        QCOMPARE(options.firstChildElement("autoUpgradeIntervalH").text(), "0");
    }
}

void TestSyncthingPair::savesWhileApartLeaveConflictCopy()
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

    // Both folders end with the same file and the same copy, under a name the listing knows.
    QTRY_VERIFY_WITH_TIMEOUT(ConflictCopies::list(m_pair.folderA()).size() == 1, SyncTimeoutMs);
    const ConflictCopy copy = ConflictCopies::list(m_pair.folderA()).first();
    QCOMPARE(copy.engine, ConflictCopy::Engine::Syncthing);
    QVERIFY(m_pair.waitSame(QFileInfo(copy.path).fileName(), QDeadlineTimer(SyncTimeoutMs)));
    QVERIFY(m_pair.waitSame(name, QDeadlineTimer(SyncTimeoutMs)));
    const QSet<QByteArray> both = {readFile(QDir(m_pair.folderA()).filePath(name)), readFile(copy.path)};
    QCOMPARE(both, (QSet<QByteArray>{"saved on A", "saved on B"}));
}

QTEST_GUILESS_MAIN(TestSyncthingPair)
#include "tst_syncthingpair.moc"
