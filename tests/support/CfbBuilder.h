#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <vector>

namespace pictrove::test {

// Writes an OLE2 compound file (version 3, 512-byte sectors) byte by byte: streams
// under 4096 bytes go to the mini stream, larger ones to sectors of their own.
// Tests use the layout it reports to damage the file in a precise way.
class CfbBuilder {
  public:
    static constexpr quint32 kEndOfChain = 0xFFFFFFFEu;
    static constexpr quint32 kFreeSector = 0xFFFFFFFFu;

    void addStream(const QString& name, const QByteArray& data);
    // Deals the sectors of the large streams out in turn instead of one run each.
    void interleave(bool on);

    // Where the chains of a built file lie (sector numbers).
    struct Layout {
        quint32 directoryFirst = 0;
        QMap<QString, quint32> firstSector;  // streams stored in sectors of their own
        QMap<QString, quint32> lastSector;
    };
    QByteArray build(Layout* layout = nullptr) const;

    // Rewrites the FAT entry of a sector in a built file (the FAT sectors come first).
    static void setFatEntry(QByteArray& file, quint32 sector, quint32 next);

  private:
    struct Stream {
        QString name;
        QByteArray data;
    };
    std::vector<Stream> streams_;
    bool interleave_ = false;
};

}  // namespace pictrove::test
