// The RTF writer on a device that takes less than it is given: it stops at the first
// short write and reports the failure.

#include "core/RtfWriter.h"
#include "support/ShortDevice.h"

#include <QBuffer>
#include <QTest>

namespace {

// A page long enough for several writes, with bold runs among plain ones.
bool writePage(QIODevice *device)
{
    RtfCharFormat plain, bold;
    plain.face = bold.face = QStringLiteral("F");
    plain.halfPoints = bold.halfPoints = 20;
    bold.bold = true;
    RtfWriter writer(device);
    writer.addFormat(plain);
    writer.addFormat(bold);
    writer.begin();
    for (int i = 0; i < 2000; ++i) {
        writer.text(QStringLiteral("line %1 with ü and more text to fill it").arg(i), i % 3 ? plain : bold);
        writer.paragraph();
    }
    return writer.end();
}

} // namespace

class TestRtfWriter : public QObject
{
    Q_OBJECT

private slots:
    void shortDeviceStopsTheWriting()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(writePage(&buffer));
        const qint64 limit = buffer.size() / 2;
        ShortDevice device(limit);
        QVERIFY(!writePage(&device));
        QCOMPARE(device.taken, buffer.data().left(limit));
        QCOMPARE(device.writesAfterShort, 0);
    }
};

QTEST_APPLESS_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
