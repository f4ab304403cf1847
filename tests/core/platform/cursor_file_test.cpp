#include "core/platform/CursorFile.h"
#include "support/TestUtils.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

using pictrove::platform::readCursorHeader;

namespace {
QByteArray shippedCursor() {
    QFile file(QStringLiteral(PICTROVE_RESOURCE_DIR "/HAND-M.CUR"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

class CursorFileTest : public QObject {
    Q_OBJECT

  private slots:
    void shippedHandCursorHasItsHotspot() {
        const QByteArray bytes = shippedCursor();
        QVERIFY(!bytes.isEmpty());
        const auto header = readCursorHeader(bytes);
        QVERIFY(header);
        QCOMPARE(header->size, QSize(32, 32));
        QCOMPARE(header->hotspot, QPoint(10, 0));
    }

    void everyTruncationIsRefused() {
        const QByteArray bytes = shippedCursor();
        for (qsizetype n = 0; n < bytes.size(); ++n) {
            const pictrove::test::ExactBytes cut(QByteArrayView(bytes).first(n));
            QString error;
            QVERIFY2(!readCursorHeader(cut.bytes(), &error), qPrintable(QString::number(n)));
            QVERIFY(!error.isEmpty());
        }
    }

    void lyingDirectoryEntriesAreRefused_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("icon, not cursor") << 2 << 1u << false;
        QTest::newRow("no images") << 4 << 0u << false;
        QTest::newRow("image past the end") << 18 << 100000u << false;
        QTest::newRow("offset wraps around") << 18 << 0xFFFFFFF0u << false;
        QTest::newRow("hotspot beyond the image is clamped") << 10 << 500u << true;
    }
    void lyingDirectoryEntriesAreRefused() {
        QFETCH(int, field);
        QFETCH(quint32, value);
        QFETCH(bool, accepted);
        QByteArray bytes = shippedCursor();
        if (field == 18) {
            qToLittleEndian<quint32>(value, bytes.data() + field);
        } else {
            qToLittleEndian<quint16>(quint16(value), bytes.data() + field);
        }
        const auto header = readCursorHeader(bytes);
        QCOMPARE(bool(header), accepted);
        if (header) {
            QCOMPARE(header->hotspot, QPoint(31, 0));
        }
    }
};

QTEST_MAIN(CursorFileTest)
#include "cursor_file_test.moc"
