// Writes binary Word documents for the .doc benchmark (bench/doc_bench.sh), seeds for
// the .doc fuzz targets, or times the reader in-process.
//
//   gen_doc_bench OUTDIR [COUNT [PICTURES]]  COUNT documents (50) of PICTURES pictures (10)
//   gen_doc_bench --seeds DIR                seed inputs for doc, doc_structures, officeart
//   gen_doc_bench --time FILE...             reads each file with the reader, prints times
//
// The documents mix inline JPEG pictures in the Data stream, an inline compressed EMF,
// and floating JPEG pictures whose BLIPs lie in the WordDocument stream.

// The bench builds its documents with the tests' own builders.
#include "../tests/support/CfbBuilder.cpp"  // NOLINT(bugprone-suspicious-include)
#include "../tests/support/DocBuilder.cpp"  // NOLINT(bugprone-suspicious-include)
#include "core/formats/doc/DocReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QtEndian>

#include <cstdio>

using namespace pictrove::test;

namespace {

// A photo-like JPEG: noise over a gradient, so that it does not shrink to nothing.
QByteArray photo(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(rng.bounded(64));
            line[x] = qRgb((x * 255 / size.width() + n) & 0xFF,
                           (y * 255 / size.height() + n) & 0xFF, (seed * 37 + n) & 0xFF);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

QByteArray inlineJpeg(const QByteArray& jpeg) {
    ArtShapeParams s;
    s.spid = 0x401;
    s.properties = {{0x0104, 1}};
    return picfWithShape(spContainer(s), {fbse(bitmapBlip(0xF01D, jpeg))});
}

DocBuilder document(const std::vector<QByteArray>& photos, int pictures, int seed) {
    DocBuilder doc;
    const int floating = pictures * 4 / 10;
    const int inlineCount = pictures - floating;
    for (int i = 0; i < inlineCount; ++i) {
        doc.text(QStringLiteral("Paragraph %1 of document %2 with a picture: ").arg(i).arg(seed));
        if (i == 0 && inlineCount > 1) {
            ArtShapeParams s;
            s.properties = {{0x0104, 1}};
            doc.inlinePicture(picfWithShape(
                spContainer(s), {fbse(metafileBlip(0xF01A, minimalEmf(QSize(5080, 2540)), true,
                                                   QSize(1828800, 914400)))}));
        } else {
            doc.inlinePicture(inlineJpeg(photos[size_t(i + seed) % photos.size()]));
        }
    }
    for (int j = 0; j < floating; ++j) {
        const quint32 id =
            doc.storeBlip(bitmapBlip(0xF01D, photos[size_t(j * 3 + seed) % photos.size()]));
        ArtShapeParams s;
        s.spid = 0x800 + quint32(j);
        s.properties = {{0x0104, qint32(id)}};
        doc.text(QStringLiteral(" Anchor %1 ").arg(j))
            .floating(s.spid)
            .drawingShape(spContainer(s));
    }
    return doc;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int seeds(const QString& dir) {
    for (const char* sub : {"doc", "doc_structures", "officeart"})
        QDir().mkpath(dir + QLatin1Char('/') + QLatin1String(sub));
    const std::vector<QByteArray> photos = {photo(QSize(16, 12), 1), photo(QSize(8, 8), 2)};
    for (int k = 0; k < 4; ++k) {
        DocBuilder doc = document(photos, 2 + k, k);
        doc.unicode(k % 2 == 1);
        const DocBuilder::Streams s = doc.streams();
        writeFile(dir + QStringLiteral("/doc/seed%1.doc").arg(k), DocBuilder::pack(s));
        QByteArray split(4, '\0');
        qToLittleEndian<quint32>(quint32(s.wordDocument.size()), split.data());
        writeFile(dir + QStringLiteral("/doc_structures/seed%1").arg(k),
                  split + s.wordDocument + s.table);
        writeFile(dir + QStringLiteral("/officeart/dgg%1").arg(k), s.table.mid(s.dggOffset));
        for (size_t i = 0; i < s.picfOffsets.size(); ++i)
            writeFile(dir + QStringLiteral("/officeart/inline%1-%2").arg(k).arg(i),
                      s.data.mid(s.picfOffsets[i] + 0x44));
    }
    writeFile(dir + QStringLiteral("/officeart/wmf"),
              metafileBlip(0xF01B, minimalBareWmf(QSize(100, 50)), true, QSize(914400, 457200)));
    writeFile(dir + QStringLiteral("/officeart/dib"), bitmapBlip(0xF01F, dibBytes(QSize(2, 2))));
    return 0;
}

int timeFiles(const QStringList& files) {
    qint64 total = 0;
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QElapsedTimer t;
        t.start();
        const QByteArray bytes = f.readAll();
        const auto r = pictrove::doc::readBinaryDocument(bytes);
        const qint64 ns = t.nsecsElapsed();
        total += ns;
        std::printf("%s\t%.3f ms\t%zu inline\t%zu floating\t%s\n", qPrintable(path), ns / 1e6,
                    r.model.inlineShapes.size(), r.model.floatingShapes.size(),
                    qPrintable(r.reason));
    }
    std::printf("total\t%.3f ms\n", total / 1e6);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args[0] == u"--seeds")
        return seeds(args[1]);
    if (args.size() >= 2 && args[0] == u"--time")
        return timeFiles(args.mid(1));
    if (args.isEmpty() || args[0].startsWith(u'-')) {
        std::fprintf(stderr,
                     "usage: gen_doc_bench OUTDIR [COUNT [PICTURES]] | --seeds DIR | "
                     "--time FILE...\n");
        return 2;
    }
    const QString& out = args[0];
    const int count = args.size() > 1 ? args[1].toInt() : 50;
    const int pictures = args.size() > 2 ? args[2].toInt() : 10;
    QDir().mkpath(out);
    std::vector<QByteArray> photos;
    photos.reserve(8);
    for (int i = 0; i < 8; ++i)
        photos.push_back(photo(QSize(640 + 64 * i, 480 + 48 * i), quint32(i + 1)));
    for (int n = 0; n < count; ++n) {
        const QString path =
            QStringLiteral("%1/bench%2.doc").arg(out).arg(n, 3, 10, QLatin1Char('0'));
        if (!writeFile(path, document(photos, pictures, n).build())) {
            std::fprintf(stderr, "gen_doc_bench: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
