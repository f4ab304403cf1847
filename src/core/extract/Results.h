#pragma once

#include "core/picture/Picture.h"

#include <QString>

#include <optional>
#include <vector>

namespace pictrove::extract {

// Where an extraction puts what it finds: rows (document path and the picture's number
// in its document) and picture holders. Row r (1-based) belongs to holder r - 1.
// Holder 0 always exists; holders 1 and up are created on demand.
class ResultSink {
  public:
    virtual ~ResultSink() = default;
    // Appends a row with the given text; returns its 1-based index.
    virtual int appendRow(const QString& text) = 0;
    // Sets the row's picture number; false when the row does not exist.
    virtual bool setRowNumber(int row, const QString& number) = 0;
    // Creates holder `index`; false when it already exists (or cannot be made).
    virtual bool createHolder(int index) = 0;
    // Puts a picture into an existing holder (a null picture empties it); false when the
    // holder does not exist.
    virtual bool setHolder(int index, const picture::Picture& picture) = 0;
};

// What saving reads back: the rows in order and the holders.
class ResultSource {
  public:
    virtual ~ResultSource() = default;
    virtual int rowCount() const = 0;
    virtual QString rowText(int row) const = 0;    // 1-based
    virtual QString rowNumber(int row) const = 0;  // 1-based
    // The picture of holder `index`; a null picture when the holder is empty or missing.
    virtual picture::Picture holder(int index) const = 0;
};

// The numbered picture holders of a run, as every place that keeps a run's pictures
// has them: holder 0 always exists, holders 1 and up are created on demand.
class PictureHolders {
  public:
    // Creates holder `index` (and any missing one below it); false when it exists already
    // or `index` is negative.
    bool create(int index);
    // Puts a picture into an existing holder (a null picture empties it); false when the
    // holder does not exist.
    bool set(int index, const picture::Picture& picture);
    // The picture of holder `index`; a null picture when the holder is empty or missing.
    picture::Picture get(int index) const;
    int count() const { return int(holders_.size()); }
    // Lets go of every holder but holder 0, which keeps its picture.
    void keepFirstOnly() { holders_.resize(1); }

  private:
    std::vector<picture::Picture> holders_{picture::Picture()};
};

// Rows and holders in memory, for the command-line tool and for tests.
class ResultStore final : public ResultSink, public ResultSource {
  public:
    struct Row {
        QString text;
        QString number;
    };

    int appendRow(const QString& text) override;
    bool setRowNumber(int row, const QString& number) override;
    bool createHolder(int index) override { return holders.create(index); }
    bool setHolder(int index, const picture::Picture& picture) override {
        return holders.set(index, picture);
    }

    int rowCount() const override { return int(rows.size()); }
    QString rowText(int row) const override;
    QString rowNumber(int row) const override;
    picture::Picture holder(int index) const override { return holders.get(index); }

    void clearRows() { rows.clear(); }

    std::vector<Row> rows;
    PictureHolders holders;
};

}  // namespace pictrove::extract
