#pragma once

// EMF+ records, which EMF comments carry: the drawing of files written through the
// newer graphics interface, whose plain EMF records are only a fallback (or absent).

#include <QByteArrayView>

#include <memory>

namespace pictrove::metafile {

namespace gdi {
class Player;
}

class EmfPlusPlayer {
  public:
    explicit EmfPlusPlayer(gdi::Player& player);
    ~EmfPlusPlayer();

    // The identifier at the start of an EMF comment's data that holds EMF+ records.
    static constexpr quint32 kCommentId = 0x2B464D45u;  // "EMF+"

    // Whether the EMF+ records of a whole EMF (records from `firstRecord` on) are the
    // picture: an EMF+-only file's always, a dual file's where they are complete (a
    // header first, an end-of-file record, every record of a kind this player draws,
    // none damaged). The EMF records then only count where a GetDC record hands the
    // drawing back to them.
    static bool complete(QByteArrayView emf, qint64 firstRecord);

    // Plays the EMF+ records of one comment's data (after the identifier). Returns
    // false when the records are damaged.
    bool play(QByteArrayView records);

    // Whether the EMF records met now are drawn: after a GetDC record, until the next
    // EMF+ record.
    bool emfRecordsDraw() const { return emfDraws_; }

  private:
    struct State;
    gdi::Player& gdi_;
    std::unique_ptr<State> s_;
    bool emfDraws_ = false;
};

}  // namespace pictrove::metafile
