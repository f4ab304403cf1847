#include "TestUtils.h"

#include <QDir>

namespace pictrove::test {

QString corpusDir() {
    const QString env = qEnvironmentVariable("PICTROVE_CORPUS");
    const QString dir = env.isEmpty() ? QStringLiteral(PICTROVE_CORPUS_DIR) : env;
    return QDir(dir).exists(QStringLiteral("MANIFEST.tsv")) ? dir : QString();
}

}  // namespace pictrove::test
