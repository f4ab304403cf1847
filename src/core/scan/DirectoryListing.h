#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>

#include <optional>

namespace pictrove::platform {

// The identity of a folder on this machine: two paths name the same folder exactly
// when their identities are equal (links and bind mounts included).
struct FolderId {
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

inline size_t qHash(const FolderId& id, size_t seed = 0) {
    return qHashMulti(seed, id.device, id.inode);
}

// What a listed entry is, links followed. A link whose target is gone, an entry that
// vanished since it was listed, and anything that is neither a regular file nor a
// folder (pipes, sockets, devices) are Other: a scan passes over them.
enum class EntryKind {
    File,    // a regular file
    Folder,  // a folder
    Other,   // none of the two, or no longer there
};

// One listing of one folder, with its own cursor: listings never share state, so a
// walk that yields to the event loop cannot disturb, or be disturbed by, another one.
// The file system has no hidden or system attribute here: every entry is listed,
// names beginning with a dot included; "." and ".." are never listed.
class DirectoryListing {
  public:
    explicit DirectoryListing(const QString& folder);
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    // False when the folder could not be opened (gone, not a folder, not readable).
    bool isOpen() const { return handle_ != nullptr; }

    // Moves to the next entry. False at the end, and when the folder cannot be read
    // any further (the entries seen so far stay valid).
    bool next();

    // The current entry's name as text, or nullopt when its bytes do not survive the
    // trip to text and back (a path built from such a name would not open the file).
    std::optional<QString> name() const;

    // The current entry's kind. For a folder, `id` receives its identity.
    EntryKind kind(FolderId* id = nullptr) const;

  private:
    void* handle_ = nullptr;  // the platform's directory stream
    const char* name_ = nullptr;
    unsigned char type_ = 0;
};

// The identity of the folder at `path`, links followed; nullopt when the path names
// no folder (or nothing).
std::optional<FolderId> folderIdOf(const QString& path);

// True when `path` names an existing folder, links followed.
bool isExistingFolder(const QString& path);

}  // namespace pictrove::platform
