#include "gui/dialogs/CommonDialogPlatform.h"

#include <QDir>

namespace pictrove::dialogs {

namespace {

// Writes text and its terminator at the start of a buffer of the given capacity,
// keeping what lies behind the terminator, as a C function writing into it would.
void writeInto(QString& buffer, std::uint32_t capacity, const QString& text) {
    if (buffer.size() < qsizetype(capacity)) {
        buffer.resize(capacity, QLatin1Char(' '));
    }
    buffer.replace(0, text.size() + 1, text + QChar(u'\0'));
}

}  // namespace

QList<FilterPair> filterPairs(const QString& apiFilter) {
    QList<FilterPair> pairs;
    const QStringList parts = apiFilter.split(QChar(u'\0'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() || parts[i + 1].isEmpty()) {
            break;  // an empty string ends the list
        }
        pairs.append({parts[i], parts[i + 1]});
    }
    return pairs;
}

std::int32_t storeChosenFile(OpenFileNameRecord& record, const QString& fileText,
                             const QString& title) {
    if (fileText.size() + 1 > qsizetype(record.nMaxFile) ||
        (!record.lpstrFileTitle.isNull() && title.size() + 1 > qsizetype(record.nMaxFileTitle))) {
        return FNERR_BUFFERTOOSMALL;
    }
    writeInto(record.lpstrFile, record.nMaxFile, fileText);
    if (!record.lpstrFileTitle.isNull()) {
        writeInto(record.lpstrFileTitle, record.nMaxFileTitle, title);
    }
    // A multiple selection starts with the folder: the first name follows its NUL, and
    // no single extension is reported.
    const qsizetype nul = fileText.indexOf(QChar(u'\0'));
    if (nul >= 0) {
        record.nFileOffset = std::uint16_t(qMin<qsizetype>(nul + 1, 0xFFFF));
        record.nFileExtension = 0;
    } else {
        const qsizetype nameStart = fileText.lastIndexOf(QDir::separator()) + 1;
        const qsizetype dot = fileText.lastIndexOf(QLatin1Char('.'));
        record.nFileOffset = std::uint16_t(qMin<qsizetype>(nameStart, 0xFFFF));
        record.nFileExtension =
            dot >= nameStart ? std::uint16_t(qMin<qsizetype>(dot + 1, 0xFFFF)) : 0;
    }
    return 0;
}

bool pathFromShellItem(const ShellItem& item, QString& buffer) {
    if (item.path.isEmpty() || item.path.size() + 1 > buffer.size()) {
        return false;
    }
    buffer.replace(0, item.path.size() + 1, item.path + QChar(u'\0'));
    return true;
}

}  // namespace pictrove::dialogs
