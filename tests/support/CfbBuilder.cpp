#include "CfbBuilder.h"

#include <QtEndian>

#include <algorithm>

namespace pictrove::test {

namespace {

constexpr int kSector = 512;
constexpr int kMiniSector = 64;
constexpr int kCutoff = 4096;
constexpr quint32 kFatSect = 0xFFFFFFFDu;
constexpr quint32 kNoStream = 0xFFFFFFFFu;

void storeU16(QByteArray& b, qsizetype at, quint16 v) {
    qToLittleEndian(v, b.data() + at);
}
void storeU32(QByteArray& b, qsizetype at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
}
quint32 sectorsFor(qint64 bytes, int unit) {
    return quint32((bytes + unit - 1) / unit);
}

// Compound-file name order: shorter names first, then by upper-case code units.
bool nameLess(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return a.size() < b.size();
    return a.toUpper() < b.toUpper();
}

}  // namespace

void CfbBuilder::interleave(bool on) {
    interleave_ = on;
}

void CfbBuilder::addStream(const QString& name, const QByteArray& data) {
    streams_.push_back({name, data});
}

void CfbBuilder::setFatEntry(QByteArray& file, quint32 sector, quint32 next) {
    storeU32(file, kSector + qsizetype(sector) * 4, next);
}

QByteArray CfbBuilder::build(Layout* layout) const {
    std::vector<Stream> streams = streams_;
    std::sort(streams.begin(), streams.end(),
              [](const Stream& a, const Stream& b) { return nameLess(a.name, b.name); });

    // Mini stream: small streams, each padded to whole mini sectors.
    QByteArray miniStream;
    std::vector<quint32> miniFat;
    std::vector<quint32> start(streams.size(), kEndOfChain);
    for (size_t i = 0; i < streams.size(); ++i) {
        const QByteArray& d = streams[i].data;
        if (d.isEmpty() || d.size() >= kCutoff)
            continue;
        const quint32 first = quint32(miniStream.size() / kMiniSector);
        const quint32 count = sectorsFor(d.size(), kMiniSector);
        for (quint32 k = 0; k < count; ++k)
            miniFat.push_back(k + 1 < count ? first + k + 1 : kEndOfChain);
        start[i] = first;
        miniStream += d;
        miniStream.append(QByteArray(qsizetype(count) * kMiniSector - d.size(), '\0'));
    }

    const quint32 dirSectors = sectorsFor(qint64(streams.size() + 1) * 128, kSector);
    const quint32 miniFatSectors = sectorsFor(qint64(miniFat.size()) * 4, kSector);
    const quint32 miniStreamSectors = sectorsFor(miniStream.size(), kSector);
    quint32 bigSectors = 0;
    for (const Stream& s : streams) {
        if (s.data.size() >= kCutoff)
            bigSectors += sectorsFor(s.data.size(), kSector);
    }
    const quint32 rest = dirSectors + miniFatSectors + miniStreamSectors + bigSectors;
    quint32 fatSectors = 1;
    while (fatSectors * (kSector / 4) < fatSectors + rest)
        ++fatSectors;
    Q_ASSERT(fatSectors <= 109);
    const quint32 total = fatSectors + rest;

    std::vector<quint32> fat(size_t(fatSectors) * (kSector / 4), kFreeSector);
    quint32 next = 0;
    auto chain = [&](quint32 count) {
        const quint32 first = next;
        for (quint32 k = 0; k < count; ++k)
            fat[first + k] = k + 1 < count ? first + k + 1 : kEndOfChain;
        next += count;
        return count ? first : kEndOfChain;
    };
    for (quint32 k = 0; k < fatSectors; ++k)
        fat[next++] = kFatSect;
    const quint32 dirFirst = chain(dirSectors);
    const quint32 miniFatFirst = chain(miniFatSectors);
    const quint32 miniStreamFirst = chain(miniStreamSectors);
    QByteArray body(qsizetype(total) * kSector, '\0');
    auto writeAt = [&](quint32 sector, const QByteArray& d) {
        std::copy(d.begin(), d.end(), body.begin() + qsizetype(sector) * kSector);
    };
    // Sectors of the large streams: one run each, or dealt out in turn when
    // interleaved, so that no stream's sectors follow each other.
    std::vector<std::vector<quint32>> owned(streams.size());
    for (quint32 round = 0;; ++round) {
        bool any = false;
        for (size_t i = 0; i < streams.size(); ++i) {
            const QByteArray& d = streams[i].data;
            const quint32 count = d.size() >= kCutoff ? sectorsFor(d.size(), kSector) : 0;
            if (interleave_ ? round < count : (round == 0 && count > 0)) {
                const quint32 take = interleave_ ? 1 : count;
                for (quint32 k = 0; k < take; ++k)
                    owned[i].push_back(next++);
                any = true;
            }
        }
        if (!any)
            break;
    }
    for (size_t i = 0; i < streams.size(); ++i) {
        const std::vector<quint32>& sectors = owned[i];
        if (sectors.empty())
            continue;
        start[i] = sectors.front();
        for (size_t k = 0; k < sectors.size(); ++k) {
            fat[sectors[k]] = k + 1 < sectors.size() ? sectors[k + 1] : kEndOfChain;
            writeAt(sectors[k], streams[i].data.mid(qsizetype(k) * kSector, kSector));
        }
        if (layout) {
            layout->firstSector[streams[i].name] = sectors.front();
            layout->lastSector[streams[i].name] = sectors.back();
        }
    }
    if (layout)
        layout->directoryFirst = dirFirst;

    QByteArray fatBytes(qsizetype(fat.size()) * 4, '\0');
    for (size_t k = 0; k < fat.size(); ++k)
        storeU32(fatBytes, qsizetype(k) * 4, fat[k]);
    writeAt(0, fatBytes);

    QByteArray miniFatBytes(qsizetype(miniFatSectors) * kSector, '\xFF');
    for (size_t k = 0; k < miniFat.size(); ++k)
        storeU32(miniFatBytes, qsizetype(k) * 4, miniFat[k]);
    if (miniFatSectors)
        writeAt(miniFatFirst, miniFatBytes);
    if (miniStreamSectors)
        writeAt(miniStreamFirst, miniStream);

    QByteArray dir(qsizetype(dirSectors) * kSector, '\0');
    auto entry = [&](int index, const QString& name, quint8 type, quint32 child, quint32 right,
                     quint32 first, quint32 size) {
        const qsizetype at = qsizetype(index) * 128;
        for (qsizetype c = 0; c < name.size(); ++c)
            storeU16(dir, at + c * 2, name.at(c).unicode());
        storeU16(dir, at + 64, quint16((name.size() + 1) * 2));
        dir[at + 66] = char(type);
        dir[at + 67] = 1;  // black
        storeU32(dir, at + 68, kNoStream);
        storeU32(dir, at + 72, right);
        storeU32(dir, at + 76, child);
        storeU32(dir, at + 116, first);
        storeU32(dir, at + 120, size);
    };
    for (int index = int(streams.size()) + 1; index < int(dirSectors) * 4; ++index) {
        storeU32(dir, qsizetype(index) * 128 + 68, kNoStream);
        storeU32(dir, qsizetype(index) * 128 + 72, kNoStream);
        storeU32(dir, qsizetype(index) * 128 + 76, kNoStream);
    }
    entry(0, QStringLiteral("Root Entry"), 5, streams.empty() ? kNoStream : 1, kNoStream,
          miniStream.isEmpty() ? kEndOfChain : miniStreamFirst, quint32(miniStream.size()));
    for (size_t i = 0; i < streams.size(); ++i) {
        entry(int(i) + 1, streams[i].name, 2, kNoStream,
              i + 1 < streams.size() ? quint32(i + 2) : kNoStream, start[i],
              quint32(streams[i].data.size()));
    }
    writeAt(dirFirst, dir);

    QByteArray header(kSector, '\0');
    const unsigned char sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(sig, sig + 8, header.begin());
    storeU16(header, 24, 0x003E);
    storeU16(header, 26, 0x0003);
    storeU16(header, 28, 0xFFFE);
    storeU16(header, 30, 9);
    storeU16(header, 32, 6);
    storeU32(header, 44, fatSectors);
    storeU32(header, 48, dirFirst);
    storeU32(header, 56, kCutoff);
    storeU32(header, 60, miniFatSectors ? miniFatFirst : kEndOfChain);
    storeU32(header, 64, miniFatSectors);
    storeU32(header, 68, kEndOfChain);
    storeU32(header, 72, 0);
    for (int k = 0; k < 109; ++k)
        storeU32(header, 76 + k * 4, quint32(k) < fatSectors ? quint32(k) : kFreeSector);
    return header + body;
}

}  // namespace pictrove::test
