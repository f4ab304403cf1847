// Picture values: formats and sizes from headers, DIBs, decoding, crop, white behind
// transparency, limits; the clipboard; picture files.

#include "support/MetafileBuilder.h"
#include "support/TestDocuments.h"

#include "core/model/GroupPicture.h"
#include "core/picture/Clipboard.h"
#include "core/picture/Picture.h"
#include "core/picture/PictureFile.h"
#include "core/picture/PictureHeader.h"
#include "core/picture/PictureStore.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace pictrove::picture;

namespace {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage gradient(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), 128));
    return image;
}

int maxDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

}  // namespace

class PictureTest : public QObject {
    Q_OBJECT
  private slots:
    void sizes_come_from_headers_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("format");
        const QImage image = gradient({37, 23});
        QTest::newRow("png") << encoded(image, "PNG") << int(Format::Png);
        QTest::newRow("jpeg") << encoded(image, "JPEG") << int(Format::Jpeg);
        QTest::newRow("bmp") << encoded(image, "BMP") << int(Format::Bmp);
        QTest::newRow("tiff") << encoded(image, "TIFF") << int(Format::Tiff);
    }
    void sizes_come_from_headers() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, format);
        QCOMPARE(int(sniffFormat(bytes)), format);
        QCOMPARE(rasterHeaderSize(bytes, Format(format)), std::optional<QSize>(QSize(37, 23)));
        const Picture p = Picture::fromEncoded(bytes);
        QCOMPARE(p.size(), QSize(37, 23));
        QCOMPARE(p.toImage().size(), QSize(37, 23));
        // Every truncation of the header is handled (no crash, no size from nowhere).
        for (qsizetype n = 0; n < std::min<qsizetype>(bytes.size(), 200); ++n)
            (void)Picture::fromEncoded(bytes.left(n)).size();
    }

    void gif_size_from_screen_descriptor() {
        const QByteArray gif = QByteArray::fromHex(
            "47494638396103000200f00000ff000000000021f90400000000002c0000000003000200000202845f003"
            "b");
        const Picture p = Picture::fromEncoded(gif);
        QCOMPARE(p.format(), Format::Gif);
        QCOMPARE(p.size(), QSize(3, 2));
        QCOMPARE(p.toImage().size(), QSize(3, 2));
    }

    void jpeg_decodes_like_the_generic_reader() {
        const QByteArray jpeg = encoded(gradient({64, 48}), "JPEG");
        QImage reference;
        QVERIFY(reference.loadFromData(jpeg));
        const QImage ours = Picture::fromEncoded(jpeg).toImage();
        QCOMPARE(ours.size(), reference.size());
        QVERIFY(maxDifference(ours, reference.convertToFormat(QImage::Format_RGB32)) <= 2);
    }

    void dib_gets_a_file_header() {
        const QImage image = gradient({9, 7});
        const QByteArray bmp = encoded(image, "BMP");
        const QByteArray dib = bmp.mid(14);
        QCOMPARE(sniffFormat(dib), Format::None);
        QVERIFY(looksLikeDib(dib));
        QCOMPARE(bmpFromDib(dib), bmp);  // the same file header Qt writes
        const Picture p = Picture::fromEncoded(dib);
        QCOMPARE(p.format(), Format::Bmp);
        QCOMPARE(p.encoded().left(2), QByteArray("BM"));
        QCOMPARE(p.fileForm(), FileForm::Made);  // the file header is ours
        QCOMPARE(Picture::fromEncoded(bmp).fileForm(), FileForm::Given);
        QCOMPARE(maxDifference(p.toImage(), image), 0);
        QVERIFY(!looksLikeDib("not a dib at all, not at all"));
    }

    void bare_wmf_gets_a_placeable_header() {
        const QByteArray bare =
            pictrove::test::WmfBuilder(QRect(), 0, false).rectangle(QRect(1, 2, 3, 4)).finish();
        PlaceableFrame frame;
        frame.left = -2;
        frame.top = 3;
        frame.right = 1000;
        frame.bottom = 500;
        frame.unitsPerInch = 576;
        const QByteArray header = QByteArray::fromHex(
            "d7cdc69a"          // key
            "0000"              // handle
            "feff0300e803f401"  // box: -2, 3, 1000, 500
            "4002"              // 576 units to the inch
            "00000000"          // reserved
            "b0a8");            // the ten words before it XORed
        const QByteArray wmf = withPlaceableHeader(bare, frame);
        QCOMPARE(wmf.toHex(), (header + bare).toHex());
        QCOMPARE(Picture::fromEncoded(wmf).format(), Format::Wmf);
    }

    void transparency_is_composed_onto_white() {
        QImage image(4, 4, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        image.setPixel(0, 0, qRgba(0, 0, 255, 255));
        const QImage out = Picture::fromEncoded(encoded(image, "PNG")).toImage();
        QCOMPARE(out.format(), QImage::Format_RGB32);
        QCOMPARE(QColor(out.pixel(3, 3)), QColor(Qt::white));
        QCOMPARE(QColor(out.pixel(0, 0)), QColor(Qt::blue));
    }

    void crop_is_applied_when_decoded_but_bytes_stay() {
        const QByteArray png = encoded(gradient({100, 50}), "PNG");
        const Picture p = Picture::fromEncoded(png, Crop{0.1, 0.2, 0.3, 0.4});
        QCOMPARE(p.encoded(), png);
        QCOMPARE(p.size(), QSize(60, 20));
        const QImage full = gradient({100, 50});
        QCOMPARE(p.toImage(), full.copy(10, 10, 60, 20));
        // Negative values (padding) leave the picture as stored.
        QCOMPARE(Picture::fromEncoded(png, Crop{-0.2, -0.1, 0, 0}).size(), QSize(100, 50));
    }

    void absurd_sizes_are_refused() {
        QByteArray png = encoded(gradient({2, 2}), "PNG");
        qToBigEndian<quint32>(100000, png.data() + 16);
        qToBigEndian<quint32>(100000, png.data() + 20);
        QVERIFY(Picture::fromEncoded(png).isNull());
        // Width x height x 4 beyond 63 bits.
        qToBigEndian<quint32>(0x7FFFFFFF, png.data() + 16);
        qToBigEndian<quint32>(0x7FFFFFFF, png.data() + 20);
        QVERIFY(Picture::fromEncoded(png).isNull());
    }

    void a_tiff_directory_cut_short_gives_no_size() {
        const QByteArray tiff = encoded(gradient({5, 3}), "TIFF");
        const quint32 ifd = qFromLittleEndian<quint32>(tiff.constData() + 4);
        const quint16 entries = qFromLittleEndian<quint16>(tiff.constData() + ifd);
        QCOMPARE(rasterHeaderSize(tiff.left(ifd + 2 + entries * 12), Format::Tiff),
                 std::optional<QSize>(QSize(5, 3)));
        // Width and height may come first, but what a later entry says is not known.
        QCOMPARE(rasterHeaderSize(tiff.left(ifd + 2 + entries * 12 - 1), Format::Tiff),
                 std::nullopt);
    }

    void clipboard_holds_one_picture_or_nothing() {
        Clipboard clipboard;
        QVERIFY(!clipboard.hasPicture());
        QVERIFY(clipboard.picture().isNull());
        clipboard.setPicture(Picture::fromEncoded(encoded(gradient({3, 3}), "PNG")));
        QVERIFY(clipboard.hasPicture());
        clipboard.clear();
        QVERIFY(!clipboard.hasPicture());
        QCOMPARE(&processClipboard(), &processClipboard());
    }

    // A picture goes through its temporary file within a run, with or without the run's
    // store: it comes back with the same bytes, crop and file form.
    void picture_files_round_trip_bytes_crop_and_file_form_data() {
        QTest::addColumn<Picture>("picture");
        const QImage image = gradient({20, 10});
        QTest::newRow("png uncropped") << Picture::fromEncoded(encoded(image, "PNG"));
        QTest::newRow("jpeg cropped")
            << Picture::fromEncoded(encoded(image, "JPEG"), Crop{0.25, 0, 0, 0.5});
        QTest::newRow("bmp padded") << Picture::fromEncoded(encoded(image, "BMP"), {-0.1, 0, 0, 0});
        QTest::newRow("bare dib given its file header here")
            << Picture::fromEncoded(encoded(image, "BMP").mid(14));
        QTest::newRow("bmp whose file header a reader made, cropped")
            << Picture::fromEncoded(encoded(image, "BMP"), {0, 0.2, 0, 0}, nullptr, FileForm::Made);
    }
    void picture_files_round_trip_bytes_crop_and_file_form() {
        QFETCH(Picture, picture);
        QVERIFY(!picture.isNull());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1.bmp"));
        QCOMPARE(savePicture(picture, path), PictureFileStatus::Ok);
        const auto store = PictureStore::create();
        QVERIFY(store);
        for (PictureStore* through : {static_cast<PictureStore*>(nullptr), store.get()}) {
            Picture back;
            QCOMPARE(loadPicture(path, back, nullptr, through), PictureFileStatus::Ok);
            QCOMPARE(back.encoded(), picture.encoded());
            QCOMPARE(back.crop(), picture.crop());
            QCOMPARE(back.fileForm(), picture.fileForm());
            QCOMPARE(back.size(), picture.size());
        }
    }

    void picture_file_failures_are_named() {
        QTemporaryDir dir;
        Picture out;
        QCOMPARE(savePicture(Picture(), dir.filePath(QStringLiteral("x.bmp"))),
                 PictureFileStatus::NoPicture);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.bmp"))));
        QCOMPARE(savePicture(Picture::fromEncoded(encoded(gradient({2, 2}), "PNG")),
                             dir.filePath(QStringLiteral("no/such/folder/x.bmp"))),
                 PictureFileStatus::WriteFailed);
        QCOMPARE(loadPicture(dir.filePath(QStringLiteral("missing.bmp")), out),
                 PictureFileStatus::NotFound);
        QFile junk(dir.filePath(QStringLiteral("junk.bmp")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("no picture here");
        junk.close();
        QCOMPARE(loadPicture(junk.fileName(), out), PictureFileStatus::NotAPicture);
        QVERIFY(out.isNull());
    }

    // The run keeps its pictures in a store: what loads back from a file through it is
    // the picture that loads without it, and its bytes are given back with it.
    void stored_pictures_are_the_pictures_of_the_file_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Crop>("crop");
        QTest::addColumn<bool>("stored");
        const QImage image = gradient({37, 23});
        QTest::newRow("png") << encoded(image, "PNG") << Crop{} << true;
        QTest::newRow("jpeg cropped") << encoded(image, "JPEG") << Crop{0.25, 0, 0, 0.5} << true;
        QTest::newRow("bmp") << encoded(image, "BMP") << Crop{} << true;
        QTest::newRow("gif") << QByteArray::fromHex(
                                    "47494638396103000200f00000ff000000000021f90400000000002c0000"
                                    "000003000200000202845f003b")
                             << Crop{} << true;
        QTest::newRow("tiff") << encoded(image, "TIFF") << Crop{0, 0.1, 0, 0} << true;
        pictrove::test::EmfBuilder emf(30, 20);
        emf.rectangle(QRect(2, 2, 10, 10));
        QTest::newRow("emf") << emf.finish() << Crop{} << true;
        pictrove::test::WmfBuilder wmf(QRect(0, 0, 1440, 720), 1440);
        wmf.rectangle(QRect(10, 10, 100, 100));
        QTest::newRow("wmf") << wmf.finish() << Crop{} << true;
        // A bitmap without its file header gets one as it loads: not as it stands.
        QTest::newRow("bare dib") << encoded(image, "BMP").mid(14) << Crop{} << false;
        // A header further in than the store looks: the heap takes the picture.
        QByteArray late = encoded(image, "JPEG");
        QByteArray comment("\xFF\xFE\xFF\xFF", 4);
        comment.append(QByteArray(0xFFFF - 2, 'c'));
        late.insert(2, comment.repeated(2));
        QTest::newRow("jpeg header after 128 KiB") << late << Crop{} << false;
    }
    void stored_pictures_are_the_pictures_of_the_file() {
        QFETCH(QByteArray, bytes);
        QFETCH(Crop, crop);
        QFETCH(bool, stored);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1.bmp"));
        if (crop.isNull()) {
            QFile file(path);  // the bytes as they are
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        } else {
            QCOMPARE(savePicture(Picture::fromEncoded(bytes, crop), path), PictureFileStatus::Ok);
        }
        Picture plain;
        QCOMPARE(loadPicture(path, plain), PictureFileStatus::Ok);

        const auto store = PictureStore::create();
        QVERIFY(store);
        {
            Picture kept;
            QCOMPARE(loadPicture(path, kept, nullptr, store.get()), PictureFileStatus::Ok);
            QCOMPARE(store->bytesHeld(), stored ? plain.encodedSize() : 0);
            QCOMPARE(kept.format(), plain.format());
            QCOMPARE(kept.size(), plain.size());
            QCOMPARE(kept.crop(), crop);
            QCOMPARE(kept.encodedSize(), plain.encodedSize());
            QCOMPARE(kept.encoded(), plain.encoded());
            QCOMPARE(kept.toImage(), plain.toImage());
            const Picture copy = kept;  // copies share the stored bytes
            kept = Picture();
            QCOMPARE(copy.encoded(), plain.encoded());
        }
        QCOMPARE(store->bytesHeld(), 0);
    }

    void the_store_takes_whole_files_or_nothing() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("bytes")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.write("0123456789");
        file.flush();
        const auto store = PictureStore::create();
        // More than the file holds: nothing is kept, and the next bytes go where these
        // would have gone.
        QVERIFY(!store->append(file.handle(), 4, 7));
        QCOMPARE(store->bytesHeld(), 0);
        const auto a = store->append(file.handle(), 4, 6);
        const auto b = store->append(file.handle(), 0, 3);
        QVERIFY(a && b);
        QCOMPARE(a->read(), QByteArray("456789"));
        QCOMPARE(b->read(), QByteArray("012"));
        QCOMPARE(store->bytesHeld(), 9);
        QVERIFY(!store->append(file.handle(), -1, 3));
        QVERIFY(!store->append(-1, 0, 3));
        // Fewer bytes than Picture needs for a header, or none that are a picture.
        QVERIFY(Picture::fromStored(b, "\x89PNG").isNull());
        QVERIFY(Picture::fromStored(a, "456789").isNull());
        QVERIFY(Picture::fromStored(nullptr, "").isNull());
    }

    void group_without_pictures_composes_nothing() {
        QVERIFY(pictrove::word::composeGroup({}, QRectF(0, 0, 10, 10)).isNull());
        std::vector<pictrove::word::PlacedPicture> one{
            {Picture::fromEncoded(encoded(gradient({10, 10}), "PNG")), QRectF(0, 0, 5, 5)}};
        QVERIFY(pictrove::word::composeGroup(one, QRectF()).isNull());
        QCOMPARE(pictrove::word::composeGroup(one, QRectF(0, 0, 10, 5)).size(), QSize(20, 10));
    }
};

QTEST_GUILESS_MAIN(PictureTest)
#include "picture_test.moc"
