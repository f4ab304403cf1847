// Reading entries whole: the bytes as stored, and every kind of damage refused with the
// entry's name, whichever way the entry is inflated.

#include "support/ZipBuilder.h"

#include "core/formats/zip/ZipArchive.h"

#include <QTest>

using namespace pictrove;
using test::ZipBuilder;

namespace {

// Bytes that deflate a little but not much, as pictures do.
QByteArray pictureLike(int size) {
    QByteArray b(size, '\0');
    quint32 x = 12345;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(i % 7 == 0 ? 0 : x >> 24);
    }
    return b;
}

// The archive with one byte of the named entry's stored data changed.
QByteArray damaged(QByteArray zip, const QByteArray& name, int offsetInData) {
    const qsizetype header = zip.indexOf("PK\x03\x04");
    const qsizetype at = zip.indexOf(name, header) + name.size();  // local header's name
    const quint16 extra = quint16(quint8(zip[at - name.size() - 2])) |
                          quint16(quint8(zip[at - name.size() - 1])) << 8;
    zip[at + extra + offsetInData] = char(zip[at + extra + offsetInData] ^ 0x5A);
    return zip;
}

// The archive with the CRC of its one entry changed in both headers: the data inflate
// cleanly to what they always were, and only the check can tell.
QByteArray wrongCrc(QByteArray zip) {
    for (const auto& [signature, offset] : {std::pair{"PK\x03\x04", 14}, {"PK\x01\x02", 16}})
        zip[zip.indexOf(signature) + offset] = char(zip[zip.indexOf(signature) + offset] ^ 1);
    return zip;
}

}  // namespace

class ZipArchiveTest : public QObject {
    Q_OBJECT

  private slots:
    void entries_read_back_as_written_data() {
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("size");
        for (int size : {0, 1, 70000, 3000000}) {
            QTest::addRow("deflated, %d bytes", size) << int(ZipBuilder::Method::Deflate) << size;
            QTest::addRow("stored, %d bytes", size) << int(ZipBuilder::Method::Store) << size;
        }
    }
    void entries_read_back_as_written() {
        QFETCH(int, method);
        QFETCH(int, size);
        const QByteArray data = pictureLike(size);
        ZipBuilder builder;
        builder.add(QStringLiteral("word/media/image1.png"), data, ZipBuilder::Method(method));
        word::OpenStatus status;
        QString why;
        auto archive = word::ZipArchive::open(builder.build(), status, why);
        QVERIFY(archive);
        QByteArray out;
        QVERIFY2(archive->read(QStringLiteral("word/media/image1.png"), out, status, why),
                 qPrintable(why));
        QCOMPARE(status, word::OpenStatus::Ok);
        QVERIFY(out == data);
    }

    void changed_bytes_are_damage_data() {
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("offset");
        QTest::newRow("stored, first byte") << int(ZipBuilder::Method::Store) << 0;
        QTest::newRow("stored, a middle byte") << int(ZipBuilder::Method::Store) << 40000;
        QTest::newRow("deflated, a middle byte") << int(ZipBuilder::Method::Deflate) << 20000;
        QTest::newRow("stored, CRC changed") << int(ZipBuilder::Method::Store) << -1;
        QTest::newRow("deflated, CRC changed") << int(ZipBuilder::Method::Deflate) << -1;
    }
    void changed_bytes_are_damage() {
        QFETCH(int, method);
        QFETCH(int, offset);
        ZipBuilder builder;
        builder.add(QStringLiteral("a.bin"), pictureLike(80000), ZipBuilder::Method(method));
        const QByteArray zip =
            offset < 0 ? wrongCrc(builder.build()) : damaged(builder.build(), "a.bin", offset);
        word::OpenStatus status;
        QString why;
        auto archive = word::ZipArchive::open(zip, status, why);
        QVERIFY(archive);
        QByteArray out;
        QVERIFY(!archive->read(QStringLiteral("a.bin"), out, status, why));
        QCOMPARE(status, word::OpenStatus::Damaged);
        QVERIFY2(why.contains(QStringLiteral("a.bin")), qPrintable(why));
        QVERIFY(out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(ZipArchiveTest)
#include "zip_archive_test.moc"
