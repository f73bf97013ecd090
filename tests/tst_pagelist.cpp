// The page model: what an edit does to a page's stored bytes and to the base, and how
// names are looked up.

#include "storage/NoteFile.h"
#include "storage/PageList.h"
#include "support/PadNotation.h"

#include <QTest>

class TestPageList : public QObject
{
    Q_OBJECT

private slots:
    void find_data();
    void find();
    void editsLeaveTheBaseAndTheNameBytes();
    void emptyPadIsTheFirstPage();
    void baseForAFileThatNeverSawOurSave_data();
    void baseForAFileThatNeverSawOurSave();
};

void TestPageList::find_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<int>("found");

    const QString kept(NoteFile::MaxNameBytes, QLatin1Char('x'));
    // Three bytes each in UTF-8: the cut falls on a whole character.
    const QString keptWide(NoteFile::MaxNameBytes / 3, QChar(0x20AC));
    QTest::newRow("other case") << QStringList{QStringLiteral("Memo"), QStringLiteral("Work")} << QStringLiteral("wORK") << 1;
    QTest::newRow("first of two equal") << QStringList{QStringLiteral("a"), QStringLiteral("A")} << QStringLiteral("A") << 0;
    QTest::newRow("trailing space differs") << QStringList{QStringLiteral("Work")} << QStringLiteral("Work ") << -1;
    QTest::newRow("alike in the kept bytes") << QStringList{QStringLiteral("Memo"), kept + QStringLiteral("aQStringLiteral(")} << kept + QStringLiteral(")b") << 1;
    QTest::newRow("wide characters alike in the kept bytes")
        << QStringList{keptWide + QStringLiteral("a")} << keptWide + QStringLiteral("b") << 0;
    QTest::newRow("differ within the kept bytes") << QStringList{QStringLiteral("b") + kept} << QStringLiteral("a") + kept << -1;
}

void TestPageList::find()
{
    QFETCH(QStringList, names);
    QFETCH(QString, wanted);
    QFETCH(int, found);

    PageList pages(QStringLiteral("Memo"));
    NotePages pad;
    for (const QString &name : std::as_const(names))
        pad.append({name, QString()});
    pages.assign(pad);
    QCOMPARE(pages.find(wanted), found);
}

void TestPageList::editsLeaveTheBaseAndTheNameBytes()
{
    const NotePages read{{QStringLiteral("Caf\u00e9"), QStringLiteral("old"), "Caf\xe9", "old"}};
    PageList pages(QStringLiteral("Memo"));
    pages.assign(read);
    pages.setBase(read);

    pages.setText(0, QStringLiteral("new"));
    pages.append(QStringLiteral("Work"));

    QCOMPARE(pages.at(0).storedName, QByteArray("Caf\xe9"));
    QVERIFY(pages.at(0).storedText.isNull());
    QCOMPARE(pages.names(), (QStringList{QStringLiteral("Caf\u00e9"), QStringLiteral("Work")}));
    QCOMPARE(pages.base(), read);
    QCOMPARE(pages.base().constFirst().storedText, QByteArray("old"));
}

void TestPageList::emptyPadIsTheFirstPage()
{
    PageList pages(QStringLiteral("Memo"));
    pages.append(QStringLiteral("Work"));
    pages.assign({});
    QCOMPARE(pages.names(), QStringList{QStringLiteral("Memo")});
    QVERIFY(pages.text(0).isEmpty());
}

// This copy read R, then saved S1 and S2; a sync engine set a copy aside and put a file in place.
void TestPageList::baseForAFileThatNeverSawOurSave_data()
{
    QTest::addColumn<QString>("copy");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("base");

    QTest::newRow("not a save of ours") << "A=1|B=9" << "A=1|B=2x" << "A=1s|B=2";
    // The file shares as much with the pad read as with the first save: the older is safe.
    QTest::newRow("last save set aside, file from the first") << "A=1s|B=2" << "A=1|B=2x" << "A=1|B=2";
    QTest::newRow("last save set aside, file from the one before") << "A=1s|B=2" << "A=1|B=2y" << "A=1|B=2y";
    QTest::newRow("earlier save set aside: the later goes too") << "A=1|B=2y" << "A=1s|B=2" << "A=1|B=2";
}

void TestPageList::baseForAFileThatNeverSawOurSave()
{
    QFETCH(QString, copy);
    QFETCH(QString, file);
    QFETCH(QString, base);

    PageList pages(QStringLiteral("Memo"));
    pages.setBase(padFrom(QStringLiteral("A=1|B=2")));
    pages.setSavedBase(padFrom(QStringLiteral("A=1|B=2y")));
    pages.setSavedBase(padFrom(QStringLiteral("A=1s|B=2")));
    pages.disownSave(padFrom(copy));
    QCOMPARE(notationOf(pages.baseFor(padFrom(file))), base);
}

QTEST_APPLESS_MAIN(TestPageList)
#include "tst_pagelist.moc"
