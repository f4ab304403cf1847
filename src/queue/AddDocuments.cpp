#include "queue/AddDocuments.h"

#include "shell/Form1.h"

#include <QMimeData>

namespace pictrove::queue {

void AddWordFiles(shell::Form1&) {}
void AddAllWordFilesInFolder(shell::Form1&) {}
bool CanDropFiles(const QMimeData* data) {
    return data && data->hasUrls();
}
void DropFiles(shell::Form1&, const QMimeData*) {}

}  // namespace pictrove::queue
