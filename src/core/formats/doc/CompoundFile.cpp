#include "core/formats/doc/CompoundFile.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <cstring>
#include <mutex>

namespace pictrove::doc {

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};

// libgsf registers its GObject types on first use, behind a plain static of each type
// function: two threads opening their first compound files at once both register
// GsfInputMemory, one of them gets no type, and its casts fail (SIGSEGV). gsf_init()
// registers every type the library has; std::call_once makes the first caller do it
// while any other waits, so no thread reaches a type function unregistered.
//
// libgsf also reports damage it works around on stderr; we report damage through our
// own results, so its complaints about a document are dropped (other messages pass).
void prepareLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const auto levels =
            GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_MESSAGE);
        g_log_set_handler(
            "libgsf:msole", levels, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
            nullptr);
        g_log_set_handler(
            nullptr, levels,
            [](const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data) {
                if (message && g_str_has_prefix(message, "Unable to get child"))
                    return;
                g_log_default_handler(domain, level, message, data);
            },
            nullptr);
    });
}

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

}  // namespace

struct CompoundFile::Handles {
    GPtr<GsfInput> input;  // the memory view the compound file reads from
    GPtr<GsfInfile> root;
};

CompoundFile::CompoundFile(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
CompoundFile::~CompoundFile() {
    // The storage holds a reference to the input: release it before the input.
    if (handles_)
        handles_->root.reset();
}
CompoundFile::CompoundFile(CompoundFile&&) noexcept = default;
CompoundFile& CompoundFile::operator=(CompoundFile&&) noexcept = default;

std::optional<CompoundFile> CompoundFile::open(const QByteArray& bytes, Status* status,
                                               QString* reason) {
    if (bytes.size() < qsizetype(sizeof kSignature) ||
        std::memcmp(bytes.constData(), kSignature, sizeof kSignature) != 0) {
        *status = Status::NotCompoundFile;
        *reason = QStringLiteral("not an OLE2 compound file");
        return std::nullopt;
    }
    prepareLibrary();
    auto handles = std::make_unique<Handles>();
    handles->input.reset(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                              bytes.size(), FALSE));
    if (!handles->input) {
        *status = Status::Damaged;
        *reason = QStringLiteral("compound file cannot be read");
        return std::nullopt;
    }
    GError* rawError = nullptr;
    handles->root.reset(gsf_infile_msole_new(handles->input.get(), &rawError));
    std::unique_ptr<GError, ErrorFree> error(rawError);
    if (!handles->root) {
        *status = Status::Damaged;
        *reason = QStringLiteral("compound file is damaged");
        if (error && error->message)
            *reason += QStringLiteral(" (%1)").arg(QString::fromUtf8(error->message));
        return std::nullopt;
    }
    *status = Status::Ok;
    CompoundFile file(std::move(handles));
    file.file_ = bytes;
    return file;
}

bool CompoundFile::hasStream(const char* name) const {
    GPtr<GsfInput> child(gsf_infile_child_by_name(handles_->root.get(), name));
    return child != nullptr;
}

std::optional<CompoundFile::Stream> CompoundFile::readStream(const char* name,
                                                             QString* reason) const {
    GPtr<GsfInput> child(gsf_infile_child_by_name(handles_->root.get(), name));
    if (!child) {
        *reason = QStringLiteral("stream %1 is missing").arg(QLatin1String(name));
        return std::nullopt;
    }
    if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
        *reason = QStringLiteral("%1 is a storage, not a stream").arg(QLatin1String(name));
        return std::nullopt;
    }
    const gsf_off_t size = gsf_input_size(child.get());
    // A stream's sectors all lie inside the file, so no stream is larger than it.
    if (size < 0 || size > file_.size()) {
        *reason = QStringLiteral("stream %1 claims %2 bytes in a file of %3")
                      .arg(QLatin1String(name))
                      .arg(qint64(size))
                      .arg(file_.size());
        return std::nullopt;
    }
    Stream stream;
    if (size == 0)
        return stream;
    // Without a buffer the library hands out its own pointer: into the file when the
    // sectors are contiguous, else into a buffer of its own that the next read reuses.
    const auto* p =
        reinterpret_cast<const char*>(gsf_input_read(child.get(), size_t(size), nullptr));
    if (!p) {
        *reason = QStringLiteral("stream %1 ends before its %2 bytes (broken sector chain)")
                      .arg(QLatin1String(name))
                      .arg(qint64(size));
        return std::nullopt;
    }
    const QByteArrayView view(p, qsizetype(size));
    if (p >= file_.data() && p + size <= file_.data() + file_.size())
        stream.external = view;
    else
        stream.owned = view.toByteArray();
    return stream;
}

}  // namespace pictrove::doc
