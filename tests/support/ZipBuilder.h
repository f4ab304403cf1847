#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace pictrove::test {

// Builds a zip archive in memory, entry by entry, in the order added.
class ZipBuilder {
  public:
    enum class Method { Deflate, Store };

    ZipBuilder& add(const QString& name, const QByteArray& data, Method method = Method::Deflate) {
        entries_.push_back({name, data, method});
        return *this;
    }
    // The archive's bytes ("" if libzip failed, which tests treat as a failure).
    QByteArray build() const;

  private:
    struct Entry {
        QString name;
        QByteArray data;
        Method method;
    };
    std::vector<Entry> entries_;
};

}  // namespace pictrove::test
