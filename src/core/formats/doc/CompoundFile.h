#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace pictrove::doc {

// Read-only access to the streams of an OLE2 compound file held in memory. The
// bytes passed to open() must outlive the object.
class CompoundFile {
  public:
    enum class Status {
        Ok,
        NotCompoundFile,  // the bytes do not start with the compound-file signature
        Damaged,          // the signature is there but the structure is broken
    };

    ~CompoundFile();
    CompoundFile(CompoundFile&&) noexcept;
    CompoundFile& operator=(CompoundFile&&) noexcept;

    // Opens the compound file; on failure *status and *reason say why and nullopt
    // comes back. The sector chains are checked by the library (loops, chains that
    // leave the file) as the directory is read.
    static std::optional<CompoundFile> open(const QByteArray& bytes, Status* status,
                                            QString* reason);

    // Whether a stream of that name sits in the root storage.
    bool hasStream(const char* name) const;

    // The bytes of a stream: a view into the file's own bytes when the stream's sectors
    // follow each other in the file (the common case: nothing is copied), otherwise a
    // copy held in `owned`.
    struct Stream {
        QByteArray owned;
        QByteArrayView external;
        QByteArrayView bytes() const { return owned.isEmpty() ? external : QByteArrayView(owned); }
    };

    // The whole stream; nullopt with *reason when it is missing or cannot be read in
    // full (a chain that ends early, a size larger than the file).
    std::optional<Stream> readStream(const char* name, QString* reason) const;

  private:
    struct Handles;
    explicit CompoundFile(std::unique_ptr<Handles> handles);
    std::unique_ptr<Handles> handles_;
    QByteArrayView file_;
};

}  // namespace pictrove::doc
