#include "TestUtils.h"

#include <QDir>

#include <algorithm>

namespace pictrove::test {

QString corpusDir() {
    const QString env = qEnvironmentVariable("PICTROVE_CORPUS");
    const QString dir = env.isEmpty() ? QStringLiteral(PICTROVE_CORPUS_DIR) : env;
    return QDir(dir).exists(QStringLiteral("MANIFEST.tsv")) ? dir : QString();
}

ExactBytes::ExactBytes(QByteArrayView bytes)
    : data_(new char[size_t(bytes.size())]), size_(bytes.size()) {
    std::copy(bytes.begin(), bytes.end(), data_.get());
}

}  // namespace pictrove::test
