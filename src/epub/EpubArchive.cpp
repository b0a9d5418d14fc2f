// The zip container through libzip. The archive is built in memory (libzip goes back to write
// each file's sizes into its header, which a file written once from start to end cannot
// take) and then handed over in pieces; each file's bytes are made when libzip reads them.
#include "epub/EpubArchive.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace folioknife::epub {

namespace {

// Deflate level 1: on the text of a novel it is several times faster than the default level
// and its files are only about a tenth larger.
constexpr zip_uint32_t kDeflateLevel = 1;

struct LazySource {
    const ArchiveEntry* entry = nullptr;
    std::string bytes;
    bool made = false;
    std::optional<zip_uint64_t> size;  // once made, also after the bytes are gone
    std::size_t at = 0;
    zip_error_t error;

    bool make() {
        if (made) return true;
        try {
            bytes = entry->bytes();
        } catch (const std::bad_alloc&) {
            zip_error_set(&error, ZIP_ER_MEMORY, 0);
            return false;
        }
        made = true;
        size = bytes.size();
        return true;
    }
};

zip_int64_t readLazily(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* source = static_cast<LazySource*>(state);
    switch (command) {
        case ZIP_SOURCE_OPEN:
            if (!source->make()) return -1;
            source->at = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::size_t n = std::min<std::size_t>(length, source->bytes.size() - source->at);
            std::memcpy(data, source->bytes.data() + source->at, n);
            source->at += n;
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_CLOSE:
            std::string().swap(source->bytes);
            source->made = false;
            return 0;
        case ZIP_SOURCE_STAT: {
            // libzip asks for the size just before it reads the file. Unknown, it would
            // reserve a Zip64 field in the file's header, which the mimetype must not carry
            // and old readers do not expect; so the bytes are made here and kept for reading.
            // It asks again after reading; the size is remembered rather than made anew.
            if (!source->size && !source->make()) return -1;
            auto* stat = static_cast<zip_stat_t*>(data);
            zip_stat_init(stat);
            stat->size = *source->size;
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&source->error, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&source->error);
            delete source;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

std::string describe(zip_error_t* error) { return zip_error_strerror(error); }

}  // namespace

bool archivesAvailable() { return true; }

std::optional<std::string> writeArchive(const std::vector<ArchiveEntry>& entries,
                                        const std::function<bool(std::string_view)>& sink) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer) return describe(&error);
    const std::unique_ptr<zip_source_t, void (*)(zip_source_t*)> owned(buffer, zip_source_free);
    zip_t* archive = zip_open_from_source(buffer, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return describe(&error);
    // The archive frees its source when it is closed; the bytes are still to be read from it.
    zip_source_keep(buffer);

    for (const ArchiveEntry& entry : entries) {
        auto* state = new LazySource;
        state->entry = &entry;
        zip_error_init(&state->error);
        zip_source_t* source = zip_source_function(archive, readLazily, state);
        if (!source) {
            zip_error_fini(&state->error);
            delete state;
            std::string why = describe(zip_get_error(archive));
            zip_discard(archive);
            return why;
        }
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, 0);
        if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                                  entry.compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                                  entry.compressed ? kDeflateLevel : 0) != 0) {
            if (index < 0) zip_source_free(source);
            std::string why = describe(zip_get_error(archive));
            zip_discard(archive);
            return why;
        }
    }
    if (zip_close(archive) != 0) {
        std::string why = describe(zip_get_error(archive));
        zip_discard(archive);
        return why;
    }

    if (zip_source_open(buffer) != 0) return describe(zip_source_error(buffer));
    std::optional<std::string> failure;
    std::unique_ptr<char[]> piece(new char[1 << 20]);
    for (;;) {
        const zip_int64_t n = zip_source_read(buffer, piece.get(), 1 << 20);
        if (n < 0) {
            failure = describe(zip_source_error(buffer));
            break;
        }
        if (n == 0) break;
        if (!sink(std::string_view(piece.get(), static_cast<std::size_t>(n)))) {
            failure = std::string();
            break;
        }
    }
    zip_source_close(buffer);
    return failure;
}

ArchiveReader::ArchiveReader(std::string_view archive) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* opened =
        source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!opened) {
        failure_ = describe(&error);
        if (source) zip_source_free(source);
    }
    zip_error_fini(&error);
    handle_ = opened;
}

ArchiveReader::~ArchiveReader() {
    if (handle_) zip_discard(static_cast<zip_t*>(handle_));
}

std::vector<std::string> ArchiveReader::names() const {
    std::vector<std::string> names;
    auto* archive = static_cast<zip_t*>(handle_);
    if (!archive) return names;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        names.emplace_back(name ? name : "");
    }
    return names;
}

bool ArchiveReader::isStored(const std::string& name) const {
    zip_stat_t stat;
    return handle_ && zip_stat(static_cast<zip_t*>(handle_), name.c_str(), 0, &stat) == 0 &&
           (stat.valid & ZIP_STAT_COMP_METHOD) && stat.comp_method == ZIP_CM_STORE;
}

std::optional<std::string> ArchiveReader::read(const std::string& name) const {
    auto* archive = static_cast<zip_t*>(handle_);
    zip_stat_t stat;
    if (!archive || zip_stat(archive, name.c_str(), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE)) {
        return std::nullopt;
    }
    zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
    if (!file) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(stat.size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const zip_int64_t n = zip_fread(file, &bytes[got], bytes.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    // Closing checks the CRC of what was read.
    const bool whole = zip_fclose(file) == 0 && got == bytes.size();
    if (!whole) return std::nullopt;
    return bytes;
}

}  // namespace folioknife::epub
