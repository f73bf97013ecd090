#include "storage/NoteFile.h"
#include "support/TestBytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

NotePages makePad(QRandomGenerator &random, int pages, int textChars, QChar flavour)
{
    NotePages pad;
    for (int i = 0; i < pages; ++i) {
        QString text(textChars, flavour);
        // Scattered marks so that pages differ everywhere, not only in their first bytes.
        for (int mark = 0; mark < 64; ++mark)
            text[random.bounded(textChars)] = QChar(0x20AC);
        pad.append({QStringLiteral("%1 %2").arg(flavour).arg(i), text});
    }
    return pad;
}

// Reads the child's lines until `count` of them equal `line`; false when the child ends first.
bool waitForLines(QProcess &process, const QByteArray &line, int count)
{
    while (count > 0) {
        while (count > 0 && process.canReadLine()) {
            if (process.readLine().trimmed() == line)
                --count;
        }
        if (count > 0 && !process.waitForReadyRead(-1))
            return false;
    }
    return true;
}

constexpr int Kills = 120;
constexpr int MaxTicksBeforeKill = 40;

} // namespace

class TestNoteFileCrash : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void killedSaveLeavesOneWholePad();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_oldCurrent;
};

void TestNoteFileCrash::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
}

void TestNoteFileCrash::cleanup()
{
    QDir::setCurrent(m_oldCurrent);
    m_dir.reset();
}

// A save killed at any moment leaves the old pad or the new one, never a mix or nothing.
void TestNoteFileCrash::killedSaveLeavesOneWholePad()
{
    QRandomGenerator random(20260101);
    const NotePages padA = makePad(random, 40, 60000, QLatin1Char('a'));  // about 2.4 MB
    const NotePages padB = makePad(random, 25, 120000, QLatin1Char('b')); // about 3 MB
    const QString pathA = m_dir->filePath(QStringLiteral("a.set"));
    const QString pathB = m_dir->filePath(QStringLiteral("b.set"));
    const QString target = m_dir->filePath(QString::fromLatin1(NoteFile::FileName));
    NoteFile(pathA).save(padA);
    NoteFile(pathB).save(padB);
    NoteFile(target).save(padA);
    const QByteArray bytesA = readAll(pathA);
    const QByteArray bytesB = readAll(pathB);
    QVERIFY(bytesA != bytesB);
    const QStringList keep{QStringLiteral("a.set"), QStringLiteral("b.set"), QString::fromLatin1(NoteFile::FileName)};

    int foundB = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        QProcess child;
        child.start(QStringLiteral(PINNOTE_TOOLS_DIR "/notefile_child"),
                    {QStringLiteral("alternate"), target, pathA, pathB});
        QVERIFY(child.waitForStarted());
        QVERIFY(waitForLines(child, "ready", 1));
        QVERIFY(waitForLines(child, "tick", random.bounded(MaxTicksBeforeKill + 1)));
        child.kill();
        QVERIFY(child.waitForFinished(-1));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QByteArray now = readAll(target);
        const bool isA = now == bytesA;
        const bool isB = now == bytesB;
        QVERIFY2(isA || isB, qPrintable(QStringLiteral("kill %1 left %2 bytes").arg(kill).arg(now.size())));
        foundB += isB ? 1 : 0;
        if (kill % 10 == 0)
            QCOMPARE(NoteFile(target).load(), std::optional<NotePages>(isA ? padA : padB));

        // The new file is unnamed until it is complete; a kill just between naming it and the
        // rename leaves it behind. Clear such strays so the disk does not fill.
        const QDir dir(m_dir->path());
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
            if (!keep.contains(name))
                QVERIFY(QFile::remove(dir.filePath(name)));
        }
    }
    // The children did get saves through, so the kills fell at more than one stage.
    QVERIFY(foundB > 0);
    QVERIFY(foundB < Kills);
}

QTEST_GUILESS_MAIN(TestNoteFileCrash)
#include "tst_notefile_crash.moc"
