#include "core/scan/DirectoryListing.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

namespace pictrove::platform {

namespace {

DIR* stream(void* handle) {
    return static_cast<DIR*>(handle);
}

EntryKind kindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) {
        return EntryKind::File;
    }
    if (S_ISDIR(st.st_mode)) {
        return EntryKind::Folder;
    }
    return EntryKind::Other;
}

FolderId idOf(const struct stat& st) {
    return FolderId{quint64(st.st_dev), quint64(st.st_ino)};
}

bool isAscii(const char* s) {
    for (; *s; ++s) {
        if (static_cast<unsigned char>(*s) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

DirectoryListing::DirectoryListing(const QString& folder) {
    handle_ = ::opendir(QFile::encodeName(folder).constData());
}

DirectoryListing::~DirectoryListing() {
    if (handle_) {
        ::closedir(stream(handle_));
    }
}

bool DirectoryListing::next() {
    if (!handle_) {
        return false;
    }
    for (;;) {
        // An error and the end look alike here: either way the listing is over.
        const dirent* entry = ::readdir(stream(handle_));
        if (!entry) {
            name_ = nullptr;
            return false;
        }
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) {
            continue;
        }
        name_ = n;
        type_ = entry->d_type;
        return true;
    }
}

std::optional<QString> DirectoryListing::name() const {
    if (!name_) {
        return std::nullopt;
    }
    QString text = QFile::decodeName(name_);
    if (!isAscii(name_) && QFile::encodeName(text) != QByteArrayView(name_)) {
        return std::nullopt;
    }
    return text;
}

EntryKind DirectoryListing::kind(FolderId* id) const {
    if (!name_) {
        return EntryKind::Other;
    }
    // The listing's own type spares a query for plain files; folders need one for
    // their identity, links and unknown types for what they point at.
    if (type_ == DT_REG) {
        return EntryKind::File;
    }
    if (type_ != DT_DIR && type_ != DT_LNK && type_ != DT_UNKNOWN) {
        return EntryKind::Other;
    }
    struct stat st;
    if (::fstatat(::dirfd(stream(handle_)), name_, &st, 0) != 0) {
        return EntryKind::Other;  // vanished, or a link to nothing
    }
    const EntryKind kind = kindOf(st);
    if (kind == EntryKind::Folder && id) {
        *id = idOf(st);
    }
    return kind;
}

std::optional<FolderId> folderIdOf(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return idOf(st);
}

bool isExistingFolder(const QString& path) {
    return !path.isEmpty() && folderIdOf(path).has_value();
}

}  // namespace pictrove::platform
