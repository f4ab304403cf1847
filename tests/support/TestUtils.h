#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace pictrove::test {

// The shared corpus of real documents, or "" when this checkout has none beside it.
QString corpusDir();

// A copy of bytes in an allocation of exactly their size, with nothing behind them (no
// terminator, no spare capacity, unlike a QByteArray's own buffer): a reader that reads
// one byte too far leaves the allocation, and the address sanitizer stops the test.
// The truncation tests read every prefix of a sample through one of these.
class ExactBytes {
  public:
    explicit ExactBytes(QByteArrayView bytes);
    // The bytes, not copied: valid while this object lives.
    QByteArray bytes() const { return QByteArray::fromRawData(data_.get(), size_); }

  private:
    std::unique_ptr<char[]> data_;
    qsizetype size_ = 0;
};

}  // namespace pictrove::test
