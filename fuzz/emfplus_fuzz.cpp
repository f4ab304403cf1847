// Plays arbitrary bytes as the EMF+ records of a small EMF: an EMF+ header first, the
// bytes, an end-of-file record, all in one comment, so that the fuzzer explores the EMF+
// record and object readers rather than the EMF header.

#include "FuzzCommon.h"

#include <QByteArray>

namespace {

void put32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

QByteArray wrap(const uint8_t* data, size_t size) {
    QByteArray plus;
    put32(plus, 0x00014001u);  // header record, dual
    put32(plus, 28);
    put32(plus, 16);
    put32(plus, 0xDBC01002u);
    put32(plus, 0);
    put32(plus, 96);
    put32(plus, 96);
    plus.append(reinterpret_cast<const char*>(data), qsizetype(size));
    put32(plus, 0x00004002u);  // end of file
    put32(plus, 12);
    put32(plus, 0);
    while (plus.size() % 4)
        plus.append('\0');

    QByteArray emf;
    put32(emf, 1);  // header record: 64 x 48 pixels at 96 dpi
    put32(emf, 108);
    for (quint32 v : {0u, 0u, 63u, 47u, 0u, 0u, 1693u, 1270u})
        put32(emf, v);
    put32(emf, 0x464D4520u);
    put32(emf, 0x10000);
    put32(emf, quint32(108 + 16 + plus.size() + 20));
    put32(emf, 3);
    put32(emf, 1);
    for (quint32 v : {0u, 0u, 0u, 1920u, 1080u, 508u, 286u, 0u, 0u, 0u, 508000u, 285750u})
        put32(emf, v);
    put32(emf, 70);  // EMR_COMMENT
    put32(emf, quint32(16 + plus.size()));
    put32(emf, quint32(4 + plus.size()));
    put32(emf, 0x2B464D45u);
    emf.append(plus);
    for (quint32 v : {14u, 20u, 0u, 16u, 20u})
        put32(emf, v);
    return emf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray emf = wrap(data, size);
    pictrove::fuzz::playMetafile(reinterpret_cast<const uint8_t*>(emf.constData()),
                                 size_t(emf.size()));
    return 0;
}
