#pragma once

#include <QByteArrayView>
#include <QString>

#include <initializer_list>

namespace pictrove::platform {

// Writes `pieces`, one after the other, as the whole content of `path`, replacing a
// file of that name: the bytes go to a new hidden part file beside it (partFileName(),
// short whatever `path` is, and removed if a signal ends the program meanwhile), which
// is renamed over `path` once complete. `path` may hold bytes that are no UTF-8 (see
// pathFromNative()). On any failure the temporary file is removed and `path` is left
// as it was; *error (when given) receives the reason. New files get the permissions the
// user's umask allows, as any file the program creates.
//
// No fsync: the save writes many files in a row, and the extraction run writes each
// picture only to read it back at once; what matters is that a failed or interrupted
// write never leaves a half-written file under the final name.
bool replaceFile(const QString& path, std::initializer_list<QByteArrayView> pieces,
                 QString* error = nullptr);

}  // namespace pictrove::platform
