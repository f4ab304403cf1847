#include "DocBuilder.h"

#include "CfbBuilder.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

namespace pictrove::test {

namespace {

void add16(QByteArray& b, quint16 v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void add32(QByteArray& b, quint32 v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
void put32(QByteArray& b, qsizetype at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
}
void padTo(QByteArray& b, qsizetype multiple) {
    while (b.size() % multiple)
        b.append('\0');
}

constexpr quint16 kSprmCFObjectChar = 0x0855;
constexpr quint16 kSprmCFData = 0x0806;
constexpr quint16 kSprmCFOle2 = 0x080A;
constexpr quint16 kSprmCPicLocation = 0x6A03;

}  // namespace

QByteArray artRecord(quint16 version, quint16 instance, quint16 type, const QByteArray& body) {
    QByteArray r;
    add16(r, quint16((instance << 4) | (version & 0xF)));
    add16(r, type);
    add32(r, quint32(body.size()));
    return r + body;
}

QByteArray bitmapBlip(quint16 type, const QByteArray& data, bool twoUids) {
    quint16 instance = 0;
    switch (type) {
        case 0xF01D:
            instance = 0x46A;
            break;
        case 0xF01E:
            instance = 0x6E0;
            break;
        case 0xF01F:
            instance = 0x7A8;
            break;
        default:
            instance = 0x6E4;
            break;
    }
    QByteArray body(twoUids ? 32 : 16, '\x11');
    body.append('\xFF');  // tag
    return artRecord(0, instance | (twoUids ? 1 : 0), type, body + data);
}

QByteArray metafileBlip(quint16 type, const QByteArray& metafile, bool compress, QSize frameEmu,
                        QRect bounds) {
    QByteArray stored = compress ? qCompress(metafile).mid(4) : metafile;
    QByteArray body(16, '\x22');
    add32(body, quint32(metafile.size()));
    add32(body, quint32(bounds.left()));
    add32(body, quint32(bounds.top()));
    add32(body, quint32(bounds.left() + bounds.width()));
    add32(body, quint32(bounds.top() + bounds.height()));
    add32(body, quint32(frameEmu.width()));
    add32(body, quint32(frameEmu.height()));
    add32(body, quint32(stored.size()));
    body.append(char(compress ? 0x00 : 0xFE));
    body.append('\xFE');
    return artRecord(0, type == 0xF01A ? 0x3D4 : 0x216, type, body + stored);
}

QByteArray fbse(const QByteArray& blip, quint32 delayOffset, quint32 delaySize) {
    QByteArray body;
    body.append(char(6));  // btWin32: PNG (not checked by readers)
    body.append(char(6));
    body.append(QByteArray(16, '\x33'));
    add16(body, 0xFF);
    add32(body, blip.isEmpty() ? delaySize : quint32(blip.size()));
    add32(body, 1);  // cRef
    add32(body, blip.isEmpty() ? delayOffset : 0);
    body.append(QByteArray(4, '\0'));
    return artRecord(2, 6, 0xF007, body + blip);
}

QByteArray spContainer(const ArtShapeParams& s) {
    QByteArray body;
    QByteArray fsp;
    add32(fsp, s.spid);
    add32(fsp, s.flags);
    body += artRecord(2, s.shapeType, 0xF00A, fsp);
    if (!s.properties.isEmpty()) {
        QByteArray opt;
        for (const auto& [pid, value] : s.properties) {
            add16(opt, pid);
            add32(opt, quint32(value));
        }
        body += artRecord(3, quint16(s.properties.size()), 0xF00B, opt);
    }
    if (s.childAnchor) {
        QByteArray a;
        add32(a, quint32(s.childAnchor->left()));
        add32(a, quint32(s.childAnchor->top()));
        add32(a, quint32(s.childAnchor->left() + s.childAnchor->width()));
        add32(a, quint32(s.childAnchor->top() + s.childAnchor->height()));
        body += artRecord(0, 0, 0xF00F, a);
    }
    if (s.clientTextbox) {
        QByteArray t;
        add32(t, 0x10000);
        body += artRecord(0, 0, 0xF00D, t);
    }
    return artRecord(0xF, 0, 0xF004, body);
}

QByteArray spgrContainer(const ArtShapeParams& groupShape, QRect bounds,
                         const QList<QByteArray>& members) {
    QByteArray fspgr;
    add32(fspgr, quint32(bounds.left()));
    add32(fspgr, quint32(bounds.top()));
    add32(fspgr, quint32(bounds.left() + bounds.width()));
    add32(fspgr, quint32(bounds.top() + bounds.height()));
    ArtShapeParams g = groupShape;
    g.flags |= 0x1;  // fGroup
    QByteArray own = spContainer(g);
    // The FSPGR goes first inside the group's own shape container.
    own = artRecord(0xF, 0, 0xF004, artRecord(1, 0, 0xF009, fspgr) + own.mid(8));
    QByteArray body = own;
    for (const QByteArray& m : members)
        body += m;
    return artRecord(0xF, 0, 0xF003, body);
}

static QByteArray picfHeader(qint16 mm, qint32 lcb, QSize goal, QRect cropTwips) {
    QByteArray h(0x44, '\0');
    put32(h, 0, quint32(lcb));
    qToLittleEndian<quint16>(0x44, h.data() + 4);
    qToLittleEndian<qint16>(mm, h.data() + 6);
    qToLittleEndian<qint16>(qint16(goal.width()), h.data() + 28);
    qToLittleEndian<qint16>(qint16(goal.height()), h.data() + 30);
    qToLittleEndian<quint16>(1000, h.data() + 32);
    qToLittleEndian<quint16>(1000, h.data() + 34);
    qToLittleEndian<qint16>(qint16(cropTwips.left()), h.data() + 36);
    qToLittleEndian<qint16>(qint16(cropTwips.top()), h.data() + 38);
    qToLittleEndian<qint16>(qint16(cropTwips.width()), h.data() + 40);   // right
    qToLittleEndian<qint16>(qint16(cropTwips.height()), h.data() + 42);  // bottom
    return h;
}

QByteArray picfWithShape(const QByteArray& sp, const QList<QByteArray>& blipEntries, QSize goal) {
    QByteArray payload = sp;
    for (const QByteArray& e : blipEntries)
        payload += e;
    return picfHeader(0x64, qint32(0x44 + payload.size()), goal, QRect()) + payload;
}

QByteArray picfWithData(qint16 mm, const QByteArray& data, QSize goal, QRect cropTwips) {
    return picfHeader(mm, qint32(0x44 + data.size()), goal, cropTwips) + data;
}

QByteArray pngBytes(QSize size, quint32 rgb) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(rgb);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray minimalEmf(QSize frame) {
    QByteArray h;
    add32(h, 1);                    // EMR_HEADER
    add32(h, 88);                   // size
    for (int v : {0, 0, 100, 100})  // bounds (device units)
        add32(h, quint32(v));
    for (int v : {0, 0, frame.width(), frame.height()})  // frame, 0.01 mm
        add32(h, quint32(v));
    add32(h, 0x464D4520);  // " EMF"
    add32(h, 0x10000);     // version
    add32(h, 88 + 20);     // bytes
    add32(h, 2);           // records
    add16(h, 1);           // handles
    add16(h, 0);
    add32(h, 0);  // description
    add32(h, 0);
    add32(h, 0);  // palette entries
    add32(h, 1024);
    add32(h, 768);  // device pixels
    add32(h, 320);
    add32(h, 240);  // device mm
    QByteArray eof;
    add32(eof, 14);
    add32(eof, 20);
    add32(eof, 0);
    add32(eof, 16);
    add32(eof, 20);
    return h + eof;
}

QByteArray minimalBareWmf(QSize ext) {
    QByteArray r;
    auto record = [&](quint16 function, const QList<qint16>& params) {
        add32(r, quint32(3 + params.size()));
        add16(r, function);
        for (qint16 p : params)
            add16(r, quint16(p));
    };
    record(0x020B, {0, 0});                                       // SETWINDOWORG y, x
    record(0x020C, {qint16(ext.height()), qint16(ext.width())});  // SETWINDOWEXT y, x
    record(0x0000, {});                                           // EOF
    QByteArray h;
    add16(h, 1);
    add16(h, 9);
    add16(h, 0x300);
    add32(h, quint32((18 + r.size()) / 2));
    add16(h, 0);
    add32(h, 5);
    add16(h, 0);
    return h + r;
}

QByteArray dibBytes(QSize size) {
    QByteArray d;
    add32(d, 40);
    add32(d, quint32(size.width()));
    add32(d, quint32(size.height()));
    add16(d, 1);
    add16(d, 24);
    add32(d, 0);
    const int stride = (size.width() * 3 + 3) & ~3;
    add32(d, quint32(stride * size.height()));
    add32(d, 2835);
    add32(d, 2835);
    add32(d, 0);
    add32(d, 0);
    d.append(QByteArray(stride * size.height(), '\x7F'));
    return d;
}

DocBuilder& DocBuilder::text(const QString& t) {
    text_ += t;
    return *this;
}

DocBuilder& DocBuilder::inlinePicture(const QByteArray& picf, InlineFlags flags) {
    objectChars_.push_back({int(text_.size()), picf, flags, 0, 0});
    text_ += QChar(0x01);
    return *this;
}

DocBuilder& DocBuilder::oleObject(const QByteArray& picf, quint32 storageId) {
    text_ += QChar(0x13);
    text_ += QStringLiteral(" EMBED Package ");
    InlineFlags reference;
    reference.ole2 = true;
    objectChars_.push_back({int(text_.size()), {}, reference, 0, storageId});
    text_ += QChar(0x01);
    text_ += QChar(0x14);
    inlinePicture(picf);
    text_ += QChar(0x15);
    return *this;
}

DocBuilder& DocBuilder::floating(quint32 spid) {
    objectChars_.push_back({int(text_.size()), {}, {}, spid, 0});
    text_ += QChar(0x08);
    return *this;
}

DocBuilder& DocBuilder::drawingShape(const QByteArray& record) {
    drawing_.append(record);
    return *this;
}

quint32 DocBuilder::storeBlip(const QByteArray& blip, bool delayed) {
    store_.push_back({blip, delayed});
    return quint32(store_.size());
}

DocBuilder& DocBuilder::unicode(bool on) {
    unicode_ = on;
    return *this;
}
DocBuilder& DocBuilder::useTable0(bool on) {
    table0_ = on;
    return *this;
}
DocBuilder& DocBuilder::encrypted(bool on) {
    encrypted_ = on;
    return *this;
}
DocBuilder& DocBuilder::nFib(quint16 value) {
    nFib_ = value;
    return *this;
}

DocBuilder::Streams DocBuilder::streams() const {
    Streams out;
    out.tableName = table0_ ? QStringLiteral("0Table") : QStringLiteral("1Table");
    const QString fullText = text_ + QChar(0x0D);
    const quint32 ccpText = quint32(fullText.size());
    const int width = unicode_ ? 2 : 1;

    // WordDocument: FIB, text, character property pages, delayed BLIPs.
    QByteArray wd(1024, '\0');
    out.textOffset = wd.size();
    for (QChar c : fullText) {
        if (unicode_)
            add16(wd, c.unicode());
        else
            wd.append(char(c.unicode() & 0xFF));
    }
    padTo(wd, 512);

    // Data stream: picture descriptors.
    QByteArray data;
    std::vector<quint32> locations;
    for (const MarkedChar& s : objectChars_) {
        locations.push_back(quint32(data.size()));
        if (!s.picf.isEmpty()) {
            out.picfOffsets.push_back(data.size());
            data += s.picf;
        }
    }

    // Runs: one per inline picture character, plain runs between them.
    struct Run {
        quint32 fcStart, fcEnd;
        QByteArray grpprl;
    };
    std::vector<Run> runs;
    const quint32 textStart = quint32(out.textOffset);
    const quint32 textEnd = textStart + ccpText * width;
    quint32 at = textStart;
    for (size_t i = 0; i < objectChars_.size(); ++i) {
        const MarkedChar& s = objectChars_[i];
        if (s.spid != 0)
            continue;
        const quint32 fc = textStart + quint32(s.index) * width;
        if (fc > at)
            runs.push_back({at, fc, {}});
        QByteArray g;
        if (s.flags.objectChar) {
            add16(g, kSprmCFObjectChar);
            g.append('\x01');
        }
        if (s.flags.data) {
            add16(g, kSprmCFData);
            g.append('\x01');
        }
        if (s.flags.ole2) {
            add16(g, kSprmCFOle2);
            g.append('\x01');
        }
        add16(g, kSprmCPicLocation);
        add32(g, s.picf.isEmpty() ? s.storageId : locations[i]);
        runs.push_back({fc, fc + width, g});
        at = fc + width;
    }
    if (at < textEnd)
        runs.push_back({at, textEnd, {}});

    // Pack the runs into 512-byte pages.
    QByteArray bte;
    std::vector<quint32> pageFirstFc, pageNumbers;
    size_t r = 0;
    while (r < runs.size()) {
        size_t count = 0;
        qsizetype chpxBytes = 0;
        while (r + count < runs.size() && count < 0x65) {
            const qsizetype need = runs[r + count].grpprl.isEmpty()
                                       ? 0
                                       : ((1 + runs[r + count].grpprl.size() + 1) & ~1);
            if (qsizetype(count + 2) * 4 + qsizetype(count + 1) + chpxBytes + need > 510)
                break;
            chpxBytes += need;
            ++count;
        }
        QByteArray page(512, '\0');
        qsizetype top = 510;
        for (size_t k = 0; k < count; ++k) {
            const Run& run = runs[r + k];
            put32(page, qsizetype(k) * 4, run.fcStart);
            if (!run.grpprl.isEmpty()) {
                const qsizetype len = (1 + run.grpprl.size() + 1) & ~1;
                top -= len;
                page[top] = char(run.grpprl.size());
                std::copy(run.grpprl.begin(), run.grpprl.end(), page.begin() + top + 1);
                page[qsizetype(count + 1) * 4 + qsizetype(k)] = char(top / 2);
            }
        }
        put32(page, qsizetype(count) * 4, runs[r + count - 1].fcEnd);
        page[511] = char(count);
        out.fkpOffsets.push_back(wd.size());
        pageFirstFc.push_back(runs[r].fcStart);
        pageNumbers.push_back(quint32(wd.size() / 512));
        wd += page;
        r += count;
    }
    for (quint32 fc : pageFirstFc)
        add32(bte, fc);
    if (!runs.empty())
        add32(bte, runs.back().fcEnd);
    for (quint32 pn : pageNumbers)
        add32(bte, pn);

    // Blip store: delayed BLIPs go into the WordDocument stream.
    QByteArray store;
    for (const Stored& s : store_) {
        if (s.delayed) {
            const quint32 offset = quint32(wd.size());
            wd += s.blip;
            store += fbse({}, offset, quint32(s.blip.size()));
        } else {
            store += fbse(s.blip);
        }
    }

    // Table stream: piece table, bin table, shape anchors, OfficeArt content.
    QByteArray table(16, '\0');
    out.clxOffset = table.size();
    QByteArray plcPcd;
    add32(plcPcd, 0);
    add32(plcPcd, ccpText);
    add16(plcPcd, 0);
    add32(plcPcd, unicode_ ? textStart : ((textStart * 2) | 0x40000000u));
    add16(plcPcd, 0);
    QByteArray clx;
    clx.append('\x02');
    add32(clx, quint32(plcPcd.size()));
    clx += plcPcd;
    table += clx;
    const quint32 bteOffset = quint32(table.size());
    table += bte;

    QByteArray spa;
    std::vector<quint32> anchorCps, spids;
    for (const MarkedChar& s : objectChars_) {
        if (s.spid != 0) {
            anchorCps.push_back(quint32(s.index));
            spids.push_back(s.spid);
        }
    }
    if (!anchorCps.empty()) {
        for (quint32 cp : anchorCps)
            add32(spa, cp);
        add32(spa, ccpText);
        for (quint32 spid : spids) {
            add32(spa, spid);
            for (int k = 0; k < 4; ++k)
                add32(spa, quint32(k * 100));
            add16(spa, 0);
            add32(spa, 0);
        }
    }
    const quint32 spaOffset = quint32(table.size());
    table += spa;

    QByteArray dgg;
    if (!drawing_.isEmpty() || !store_.empty() || !anchorCps.empty()) {
        QByteArray fdgg;
        add32(fdgg, 0x2000);
        add32(fdgg, 2);
        add32(fdgg, 2);
        add32(fdgg, 1);
        QByteArray dggBody = artRecord(0, 0, 0xF006, fdgg);
        if (!store_.empty())
            dggBody += artRecord(0xF, quint16(store_.size()), 0xF001, store);
        dgg += artRecord(0xF, 0, 0xF000, dggBody);
        ArtShapeParams patriarch;
        patriarch.spid = 0x400;
        patriarch.shapeType = 0;
        patriarch.flags = 0x5;  // group, patriarch
        QByteArray fdg;
        add32(fdg, quint32(drawing_.size() + 1));
        add32(fdg, 0x1000);
        QByteArray dgBody =
            artRecord(0, 1, 0xF008, fdg) + spgrContainer(patriarch, QRect(0, 0, 0, 0), drawing_);
        dgg.append('\0');  // main document
        dgg += artRecord(0xF, 0, 0xF002, dgBody);
    }
    out.dggOffset = table.size();
    table += dgg;

    // FIB.
    qToLittleEndian<quint16>(0xA5EC, wd.data());
    qToLittleEndian<quint16>(nFib_, wd.data() + 2);
    qToLittleEndian<quint16>(0x0409, wd.data() + 6);
    quint16 flags = 0x1000;  // fExtChar
    if (!table0_)
        flags |= 0x0200;
    if (encrypted_)
        flags |= 0x0100;
    qToLittleEndian<quint16>(flags, wd.data() + 0x0A);
    qToLittleEndian<quint16>(0xBF, wd.data() + 0x0C);
    qsizetype p = 32;
    qToLittleEndian<quint16>(14, wd.data() + p);
    p += 2 + 28;
    qToLittleEndian<quint16>(22, wd.data() + p);
    p += 2;
    const qsizetype lw = p;
    p += 88;
    qToLittleEndian<quint16>(0x5D, wd.data() + p);
    p += 2;
    const qsizetype fcLcb = p;
    put32(wd, lw, quint32(wd.size()));  // cbMac
    put32(wd, lw + 12, ccpText);
    auto pair = [&](int index, quint32 fc, quint32 lcb) {
        put32(wd, fcLcb + index * 8, fc);
        put32(wd, fcLcb + index * 8 + 4, lcb);
    };
    pair(12, bteOffset, quint32(bte.size()));
    pair(33, quint32(out.clxOffset), quint32(clx.size()));
    pair(40, spaOffset, quint32(spa.size()));
    pair(50, quint32(out.dggOffset), quint32(dgg.size()));

    out.wordDocument = wd;
    out.table = table;
    out.data = data;
    return out;
}

QByteArray DocBuilder::pack(const Streams& s) {
    CfbBuilder cfb;
    cfb.addStream(QStringLiteral("WordDocument"), s.wordDocument);
    cfb.addStream(s.tableName, s.table);
    if (!s.data.isEmpty())
        cfb.addStream(QStringLiteral("Data"), s.data);
    return cfb.build();
}

}  // namespace pictrove::test
