// Renders every EMF/WMF it is given and reports the time per metafile.
//
//   metafile_bench [--out DIR] [--repeat N] [--size WxH] PATH...
//   metafile_bench --write-gradients FILE COUNT
//
// A PATH is a metafile, a zip-based document (.docx .docm .dotx .dotm .odt .xlsx ...)
// whose *.emf / *.wmf members are read with `unzip`, or a folder searched for both.
// Each metafile is rendered at its frame size (96 dpi) N times (default 5); the
// fastest run counts; --size renders every metafile at that size instead. With --out, the
// renderings are written there as PNG files. --write-gradients writes an EMF of COUNT
// gradient rectangles that each cover its whole 1000 x 750 frame (for
// metafile_budget_bench.sh) and exits.

#include "core/metafile/Metafile.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Item {
    QString name;
    QByteArray bytes;
};

QByteArray runUnzip(const QStringList& args) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), args);
    if (!unzip.waitForFinished(60000))
        return {};
    return unzip.readAllStandardOutput();
}

void collectArchive(const QString& path, std::vector<Item>& out) {
    const QByteArray listing = runUnzip({QStringLiteral("-Z1"), path});
    for (const QByteArray& line : listing.split('\n')) {
        const QString member = QString::fromUtf8(line.trimmed());
        const QString lower = member.toLower();
        if (!lower.endsWith(u".emf") && !lower.endsWith(u".wmf"))
            continue;
        QByteArray bytes = runUnzip({QStringLiteral("-p"), path, member});
        if (pictrove::metafile::sniff(bytes) != pictrove::metafile::Format::None)
            out.push_back({QFileInfo(path).fileName() + u':' + member, std::move(bytes)});
    }
}

void collect(const QString& path, std::vector<Item>& out) {
    const QFileInfo info(path);
    if (info.isDir()) {
        QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString& f : files)
            collect(f, out);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray head = file.peek(4);
    if (head.startsWith("PK\x03\x04")) {
        file.close();
        collectArchive(path, out);
        return;
    }
    QByteArray bytes = file.readAll();
    if (pictrove::metafile::sniff(bytes) != pictrove::metafile::Format::None)
        out.push_back({info.fileName(), std::move(bytes)});
}

// An EMF on a 96-dpi reference device whose every record is a horizontal gradient
// rectangle over the whole frame: a few dozen bytes a record, deflating to almost nothing.
QByteArray gradientEmf(int count) {
    QByteArray out;
    auto u32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xff));
    };
    auto u16 = [&out](quint16 v) {
        out.append(char(v & 0xff));
        out.append(char(v >> 8));
    };
    const int w = 1000, h = 750;
    const quint32 record = 36 + 2 * 16 + 8;
    u32(1), u32(108), u32(0), u32(0), u32(w - 1), u32(h - 1);  // header, bounds
    u32(0), u32(0), u32(w * 2540 / 96), u32(h * 2540 / 96);    // frame, 0.01 mm
    u32(0x464D4520u), u32(0x10000), u32(108 + record * count + 20);
    u32(quint32(count + 2)), u32(1), u32(0), u32(0), u32(0);  // records, handles, text
    u32(1920), u32(1080), u32(508), u32(286), u32(0), u32(0), u32(0);
    u32(508000), u32(285750);
    for (int i = 0; i < count; ++i) {
        u32(118), u32(record), u32(0), u32(0), u32(w - 1), u32(h - 1), u32(2), u32(1), u32(0);
        u32(0), u32(0), u16(0xff00), u16(0), u16(0), u16(0);
        u32(w), u32(h), u16(0), u16(0), u16(0xff00), u16(0);
        u32(0), u32(1);
    }
    u32(14), u32(20), u32(0), u32(16), u32(20);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString outDir;
    int repeat = 5;
    QSize forcedSize;
    std::vector<Item> items;
    if (args.size() == 3 && args[0] == u"--write-gradients") {
        QFile file(args[1]);
        if (!file.open(QIODevice::WriteOnly) || file.write(gradientEmf(args[2].toInt())) < 0)
            return 1;
        return 0;
    }
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--out" && i + 1 < args.size())
            outDir = args[++i];
        else if (args[i] == u"--size" && i + 1 < args.size()) {
            const QStringList wh = args[++i].split(u'x');
            if (wh.size() == 2)
                forcedSize = QSize(wh[0].toInt(), wh[1].toInt());
        } else if (args[i] == u"--repeat" && i + 1 < args.size())
            repeat = std::max(1, args[++i].toInt());
        else
            collect(args[i], items);
    }
    if (items.empty()) {
        std::fprintf(stderr, "usage: metafile_bench [--out DIR] [--repeat N] PATH...\n");
        return 2;
    }
    if (!outDir.isEmpty())
        QDir().mkpath(outDir);
    std::vector<double> times;
    for (const Item& item : items) {
        const QSize size =
            forcedSize.isValid()
                ? forcedSize
                : pictrove::metafile::pictureSizePx(item.bytes, 1 << 27).value_or(QSize(800, 600));
        double best = 1e300;
        QImage image;
        for (int r = 0; r < repeat; ++r) {
            QElapsedTimer timer;
            timer.start();
            image = pictrove::metafile::render(item.bytes, size);
            best = std::min(best, timer.nsecsElapsed() / 1e6);
        }
        times.push_back(best);
        std::printf("%8.2f ms  %5dx%-5d %8lld B  %s\n", best, size.width(), size.height(),
                    static_cast<long long>(item.bytes.size()), qPrintable(item.name));
        if (!outDir.isEmpty() && !image.isNull()) {
            QString file = item.name;
            file.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")),
                         QStringLiteral("_"));
            image.save(outDir + u'/' + file + QStringLiteral(".png"));
        }
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    std::printf("\n%zu metafiles  median %.2f ms  max %.2f ms\n", n, median, sorted.back());
    return 0;
}
