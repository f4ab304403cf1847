#include "support/ZipBuilder.h"

#include <zip.h>

namespace pictrove::test {

QByteArray ZipBuilder::build() const {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        return {};
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(buffer);
        return {};
    }
    for (const Entry& e : entries_) {
        // libzip copies nothing until zip_close(), and the entries outlive that call.
        zip_source_t* s =
            zip_source_buffer(archive, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const zip_int64_t index =
            s ? zip_file_add(archive, e.name.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(s);
            zip_discard(archive);
            zip_source_free(buffer);
            return {};
        }
        zip_set_file_compression(archive, zip_uint64_t(index),
                                 e.method == Method::Store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(buffer);
        return {};
    }
    QByteArray out;
    zip_stat_t st;
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
        out.resize(qsizetype(st.size));
        const zip_int64_t n = zip_source_read(buffer, out.data(), st.size);
        zip_source_close(buffer);
        if (n != zip_int64_t(st.size))
            out.clear();
    }
    zip_source_free(buffer);
    return out;
}

}  // namespace pictrove::test
