// Writes N .docx documents with 10 pictures each (PNG and JPEG, 1 to 4 megapixels)
// into a folder, for bench/engine_bench.sh.
//
//   gen_docs_bench OUTDIR [COUNT]
//
// A pool of 20 distinct pictures is drawn once and each document takes 10 of them,
// so generating stays quick; the pictures are deflated into the package as a word
// processor stores them.

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>

#include <cstdio>
#include <vector>

namespace {

quint32 crc32(const QByteArray& data) {
    static quint32 table[256];
    static bool ready = false;
    if (!ready) {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data)
        c = table[(c ^ quint8(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// A minimal zip writer: deflated entries, no data descriptors, no zip64.
class ZipWriter {
  public:
    void add(const QByteArray& name, const QByteArray& data) {
        QByteArray z = qCompress(data, 6);
        const QByteArray raw =
            z.mid(4 + 2, z.size() - 4 - 2 - 4);  // strip size, zlib header, adler
        Entry e{name, crc32(data), quint32(raw.size()), quint32(data.size()), quint32(out_.size())};
        QByteArray h(30, '\0');
        qToLittleEndian<quint32>(0x04034b50, h.data());
        qToLittleEndian<quint16>(20, h.data() + 4);
        qToLittleEndian<quint16>(8, h.data() + 8);
        qToLittleEndian<quint32>(e.crc, h.data() + 14);
        qToLittleEndian<quint32>(e.compressed, h.data() + 18);
        qToLittleEndian<quint32>(e.size, h.data() + 22);
        qToLittleEndian<quint16>(quint16(name.size()), h.data() + 26);
        out_ += h + name + raw;
        entries_.push_back(e);
    }
    QByteArray finish() {
        const quint32 cdStart = quint32(out_.size());
        for (const Entry& e : entries_) {
            QByteArray h(46, '\0');
            qToLittleEndian<quint32>(0x02014b50, h.data());
            qToLittleEndian<quint16>(20, h.data() + 4);
            qToLittleEndian<quint16>(20, h.data() + 6);
            qToLittleEndian<quint16>(8, h.data() + 10);
            qToLittleEndian<quint32>(e.crc, h.data() + 16);
            qToLittleEndian<quint32>(e.compressed, h.data() + 20);
            qToLittleEndian<quint32>(e.size, h.data() + 24);
            qToLittleEndian<quint16>(quint16(e.name.size()), h.data() + 28);
            qToLittleEndian<quint32>(e.offset, h.data() + 42);
            out_ += h + e.name;
        }
        QByteArray end(22, '\0');
        qToLittleEndian<quint32>(0x06054b50, end.data());
        qToLittleEndian<quint16>(quint16(entries_.size()), end.data() + 8);
        qToLittleEndian<quint16>(quint16(entries_.size()), end.data() + 10);
        qToLittleEndian<quint32>(quint32(out_.size()) - cdStart, end.data() + 12);
        qToLittleEndian<quint32>(cdStart, end.data() + 16);
        return out_ + end;
    }

  private:
    struct Entry {
        QByteArray name;
        quint32 crc, compressed, size, offset;
    };
    QByteArray out_;
    std::vector<Entry> entries_;
};

// A photo-like picture: smooth gradients, a few shapes, some noise.
QImage drawPicture(QSize size, QRandomGenerator& rng) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor::fromHsv(int(rng.bounded(360)), 180, 220));
    g.setColorAt(1, QColor::fromHsv(int(rng.bounded(360)), 200, 120));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor::fromHsv(int(rng.bounded(360)), 150, 200, 120));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(rng.bounded(size.width()), rng.bounded(size.height())),
                      rng.bounded(size.width() / 4) + 10, rng.bounded(size.height() / 4) + 10);
    }
    p.end();
    for (int y = 0; y < size.height(); y += 1) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); x += 3)
            line[x] ^= rng.generate() & 0x030303;
    }
    return image;
}

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, format[0] == 'J' ? 85 : -1);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: gen_docs_bench OUTDIR [COUNT]\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    const int count = argc > 2 ? std::atoi(argv[2]) : 200;
    QDir().mkpath(outDir);
    QRandomGenerator rng(20240601);

    struct Pooled {
        QByteArray bytes;
        const char* ext;
        QSize size;
    };
    std::vector<Pooled> pool;
    const QSize sizes[] = {{1280, 800}, {1600, 1200}, {2048, 1536}, {2304, 1728}, {1000, 1000}};
    for (int i = 0; i < 20; ++i) {
        const QSize s = sizes[i % 5];
        const bool png = i % 2 == 0;
        pool.push_back(
            {encode(drawPicture(s, rng), png ? "PNG" : "JPEG"), png ? "png" : "jpeg", s});
    }

    for (int d = 1; d <= count; ++d) {
        ZipWriter zip;
        QByteArray body, rels;
        for (int k = 1; k <= 10; ++k) {
            const Pooled& pic = pool[size_t((d * 7 + k * 3) % 20)];
            const QByteArray id = "rId" + QByteArray::number(k);
            const QByteArray target = "media/image" + QByteArray::number(k) + "." + pic.ext;
            rels += "<Relationship Id=\"" + id +
                    "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "image\" Target=\"" +
                    target + "\"/>";
            const QByteArray cx = QByteArray::number(qint64(pic.size.width()) * 9525 / 4),
                             cy = QByteArray::number(qint64(pic.size.height()) * 9525 / 4);
            body += "<w:p><w:r><w:t>Picture " + QByteArray::number(k) +
                    "</w:t></w:r></w:p><w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"" + cx +
                    "\" cy=\"" + cy + "\"/><wp:docPr id=\"" + QByteArray::number(k) +
                    "\" name=\"Picture\"/><a:graphic><a:graphicData "
                    "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic>"
                    "<pic:blipFill><a:blip r:embed=\"" +
                    id +
                    "\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm>"
                    "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"" +
                    cx + "\" cy=\"" + cy +
                    "\"/></a:xfrm><a:prstGeom prst=\"rect\"/></pic:spPr></pic:pic></a:graphicData>"
                    "</a:graphic></wp:inline></w:drawing></w:r></w:p>";
            zip.add("word/" + target, pic.bytes);
        }
        zip.add(
            "[Content_Types].xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas."
            "openxmlformats.org/package/2006/content-types\"><Default Extension=\"rels\" "
            "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
            "Extension=\"xml\" ContentType=\"application/xml\"/><Default Extension=\"png\" "
            "ContentType=\"image/png\"/><Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
            "<Override PartName=\"/word/document.xml\" ContentType=\"application/vnd."
            "openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>");
        zip.add("_rels/.rels",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas."
                "openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
                "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                "officeDocument\" Target=\"word/document.xml\"/></Relationships>");
        zip.add("word/_rels/document.xml.rels",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas."
                "openxmlformats.org/package/2006/relationships\">" +
                    rels + "</Relationships>");
        zip.add("word/document.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"http://schemas."
                "openxmlformats.org/wordprocessingml/2006/main\" xmlns:r=\"http://schemas."
                "openxmlformats.org/officeDocument/2006/relationships\" xmlns:wp=\"http://schemas."
                "openxmlformats.org/drawingml/2006/wordprocessingDrawing\" xmlns:a=\"http://"
                "schemas.openxmlformats.org/drawingml/2006/main\" xmlns:pic=\"http://schemas."
                "openxmlformats.org/drawingml/2006/picture\"><w:body>" +
                    body + "<w:sectPr/></w:body></w:document>");
        QFile f(QStringLiteral("%1/doc%2.docx").arg(outDir).arg(d, 3, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(zip.finish()) < 0) {
            std::fprintf(stderr, "gen_docs_bench: cannot write %s\n", qPrintable(f.fileName()));
            return 1;
        }
    }
    return 0;
}
