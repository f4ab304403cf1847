#include "core/save/Gdiplus.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove::gdiplus;

namespace {

// Starts GDI+ for one test and shuts it down at the end of the scope.
struct Started {
    ULONG_PTR token = 0;
    Status status;
    Started() {
        GdiplusStartupInput input;
        status = GdiplusStartup(&token, &input, nullptr);
    }
    ~Started() { GdiplusShutdown(token); }
};

CLSID guid(const char16_t* text) {
    CLSID id;
    CLSIDFromString(text, &id);
    return id;
}

std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

QImage sample() {
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 40));
    return image;
}

}  // namespace

class GdiplusTest : public QObject {
    Q_OBJECT

  private slots:
    void clsid_of_the_jpeg_encoder_parses_into_guid_fields() {
        CLSID id;
        QCOMPARE(CLSIDFromString(kJpegEncoderClsidText, &id), S_OK);
        QCOMPARE(id.Data1, 0x557CF401u);
        QCOMPARE(id.Data2, std::uint16_t(0x1A04));
        QCOMPARE(id.Data3, std::uint16_t(0x11D3));
        const std::uint8_t tail[8] = {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E};
        QVERIFY(std::equal(std::begin(tail), std::end(tail), id.Data4));
        QVERIFY(guid(u"{557cf401-1a04-11d3-9a73-0000f81ef32e}") == id);
        QVERIFY(!(guid(kEncoderQualityText) == id));
    }

    void clsid_text_that_is_no_guid_is_refused_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("no braces") << "557CF401-1A04-11D3-9A73-0000F81EF32E";
        QTest::newRow("cut short") << "{557CF401-1A04-11D3-9A73-0000F81E";
        QTest::newRow("non-hex digit") << "{557CF401-1A04-11D3-9A73-0000F81EF32G}";
        QTest::newRow("dash moved") << "{557CF401-1A0411D3--9A73-0000F81EF32E}";
        QTest::newRow("trailing text") << "{557CF401-1A04-11D3-9A73-0000F81EF32E}x";
        QTest::newRow("missing close") << "{557CF401-1A04-11D3-9A73-0000F81EF32E";
    }
    void clsid_text_that_is_no_guid_is_refused() {
        QFETCH(QString, text);
        CLSID id = guid(kJpegEncoderClsidText);
        QCOMPARE(CLSIDFromString(u16(text).c_str(), &id), CO_E_CLASSSTRING);
        QVERIFY(id == CLSID{});
        QCOMPARE(CLSIDFromString(nullptr, &id), CO_E_CLASSSTRING);
    }

    void startup_checks_its_arguments() {
        ULONG_PTR token = 0;
        GdiplusStartupInput input;
        QCOMPARE(GdiplusStartup(nullptr, &input, nullptr), Status::InvalidParameter);
        QCOMPARE(GdiplusStartup(&token, nullptr, nullptr), Status::InvalidParameter);
        input.GdiplusVersion = 2;
        QCOMPARE(GdiplusStartup(&token, &input, nullptr), Status::UnsupportedGdiplusVersion);
    }

    void bitmap_needs_a_live_start() {
        const QImage image = sample();
        GpBitmap* bitmap = nullptr;
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap),
                 Status::GdiplusNotInitialized);
        ULONG_PTR token = 0;
        GdiplusStartupInput input;
        QCOMPARE(GdiplusStartup(&token, &input, nullptr), Status::Ok);
        GdiplusShutdown(token);
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap),
                 Status::GdiplusNotInitialized);
    }

    void bitmap_from_unusable_handle_is_invalid_parameter() {
        Started gdi;
        QCOMPARE(gdi.status, Status::Ok);
        const QImage null;
        const QImage image = sample();
        GpBitmap* bitmap = nullptr;
        QCOMPARE(GdipCreateBitmapFromHBITMAP(nullptr, nullptr, &bitmap), Status::InvalidParameter);
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&null, nullptr, &bitmap), Status::InvalidParameter);
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, &image, &bitmap), Status::InvalidParameter);
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, nullptr), Status::InvalidParameter);
        QCOMPARE(liveImageCount(), 0);
    }

    void bitmap_keeps_its_own_pixels_after_the_source_changes() {
        Started gdi;
        QTemporaryDir dir;
        QImage image = sample();
        GpBitmap* bitmap = nullptr;
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap), Status::Ok);
        image.fill(Qt::blue);
        const CLSID encoder = guid(kJpegEncoderClsidText);
        const std::u16string path = u16(dir.filePath("copy.jpg"));
        QCOMPARE(GdipSaveImageToFile(bitmap, path.c_str(), &encoder, nullptr), Status::Ok);
        QCOMPARE(GdipDisposeImage(bitmap), Status::Ok);
        const QColor c = QImage(dir.filePath("copy.jpg")).pixelColor(8, 4);
        QVERIFY2(c.red() > 150 && c.blue() < 90, qPrintable(c.name()));
    }

    void dispose_of_unknown_or_disposed_image_is_invalid_parameter() {
        Started gdi;
        const QImage image = sample();
        GpBitmap* bitmap = nullptr;
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap), Status::Ok);
        QCOMPARE(liveImageCount(), 1);
        QCOMPARE(GdipDisposeImage(bitmap), Status::Ok);
        QCOMPARE(GdipDisposeImage(bitmap), Status::InvalidParameter);
        QCOMPARE(GdipDisposeImage(nullptr), Status::InvalidParameter);
        QCOMPARE(liveImageCount(), 0);
    }

    void save_refuses_bad_encoders_and_parameters_data() {
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<QString>("paramGuid");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("status");
        const QString jpeg = QString::fromUtf16(kJpegEncoderClsidText);
        const QString q = QString::fromUtf16(kEncoderQualityText);
        // GDI+'s PNG encoder: a real encoder, but not one this stand-in has.
        const QString png = "{557CF406-1A04-11D3-9A73-0000F81EF32E}";
        QTest::newRow("png encoder") << png << q << 1 << 4 << 80 << 13;
        QTest::newRow("quality 101") << jpeg << q << 1 << 4 << 101 << 2;
        QTest::newRow("quality as short") << jpeg << q << 1 << 3 << 80 << 2;
        QTest::newRow("unknown parameter") << jpeg << png << 1 << 4 << 80 << 2;
        QTest::newRow("two parameters") << jpeg << q << 2 << 4 << 80 << 2;
        QTest::newRow("quality 100 is fine") << jpeg << q << 1 << 4 << 100 << 0;
    }
    void save_refuses_bad_encoders_and_parameters() {
        QFETCH(QString, encoder);
        QFETCH(QString, paramGuid);
        QFETCH(int, count);
        QFETCH(int, type);
        QFETCH(int, quality);
        QFETCH(int, status);
        Started gdi;
        QTemporaryDir dir;
        const QString target = dir.filePath("out.jpg");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("older file");
        old.close();

        const QImage image = sample();
        GpBitmap* bitmap = nullptr;
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap), Status::Ok);
        const CLSID clsid = guid(u16(encoder).c_str());
        std::uint32_t value = std::uint32_t(quality);
        struct {
            EncoderParameters list;
            EncoderParameter more;  // room for a second parameter, as GDI+ callers allocate
        } params;
        params.list.Count = UINT(count);
        params.list.Parameter[0].Guid = guid(u16(paramGuid).c_str());
        params.list.Parameter[0].NumberOfValues = 1;
        params.list.Parameter[0].Type = ULONG(type);
        params.list.Parameter[0].Value = &value;
        params.more = params.list.Parameter[0];
        const std::u16string path = u16(target);
        QCOMPARE(int(GdipSaveImageToFile(bitmap, path.c_str(), &clsid, &params.list)), status);
        QCOMPARE(GdipDisposeImage(bitmap), Status::Ok);
        // A refused save leaves the older file exactly as it was.
        QFile after(target);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll() == "older file", status != 0);
    }

    void save_into_missing_folder_is_win32_error_and_writes_nothing() {
        Started gdi;
        QTemporaryDir dir;
        const QImage image = sample();
        GpBitmap* bitmap = nullptr;
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap), Status::Ok);
        const CLSID encoder = guid(kJpegEncoderClsidText);
        const std::u16string path = u16(dir.filePath("missing/out.jpg"));
        QCOMPARE(GdipSaveImageToFile(bitmap, path.c_str(), &encoder, nullptr), Status::Win32Error);
        GdipDisposeImage(bitmap);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void save_over_a_folder_fails_without_leaving_a_temporary_file() {
        Started gdi;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("taken.jpg"));
        const QImage image = sample();
        GpBitmap* bitmap = nullptr;
        QCOMPARE(GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap), Status::Ok);
        const CLSID encoder = guid(kJpegEncoderClsidText);
        const std::u16string path = u16(dir.filePath("taken.jpg"));
        QCOMPARE(GdipSaveImageToFile(bitmap, path.c_str(), &encoder, nullptr), Status::Win32Error);
        GdipDisposeImage(bitmap);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"taken.jpg"});
    }
};

QTEST_MAIN(GdiplusTest)
#include "Gdiplus_test.moc"
