// The zip container through libzip. The archive is built in memory (libzip goes back to write
// each file's sizes into its header, which a file written once from start to end cannot
// take) and then handed over in pieces. The files are made and deflated here, a few ahead of
// libzip, which copies them.
#include "epub/EpubArchive.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace folioknife::epub {

namespace {

// Deflate level 1: on the text of a novel it is several times faster than the default level
// and its files are only about a tenth larger.
constexpr int kDeflateLevel = 1;

// A file made and compressed, for libzip to copy as it is.
struct Packed {
    std::string data;       // raw deflate, or the bytes themselves when stored
    zip_uint64_t size = 0;  // uncompressed
    zip_uint32_t crc = 0;
    bool failed = false;
};

Packed pack(const ArchiveEntry& entry) {
    Packed packed;
    try {
        std::string bytes = entry.bytes();
        packed.size = bytes.size();
        packed.crc = static_cast<zip_uint32_t>(crc32_z(
            crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
        if (!entry.compressed) {
            packed.data = std::move(bytes);
            return packed;
        }
        z_stream stream{};
        if (deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            packed.failed = true;
            return packed;
        }
        packed.data.resize(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 64);
        stream.next_in = reinterpret_cast<Bytef*>(bytes.data());
        stream.next_out = reinterpret_cast<Bytef*>(&packed.data[0]);
        // avail_in and avail_out are 32 bits wide: a larger file goes in slices.
        std::size_t inLeft = bytes.size(), outLeft = packed.data.size();
        int status = Z_OK;
        while (status == Z_OK) {
            const uInt in = static_cast<uInt>(std::min<std::size_t>(inLeft, 1u << 30));
            const uInt out = static_cast<uInt>(std::min<std::size_t>(outLeft, 1u << 30));
            stream.avail_in = in;
            stream.avail_out = out;
            status = deflate(&stream, inLeft == in ? Z_FINISH : Z_NO_FLUSH);
            inLeft -= in - stream.avail_in;
            outLeft -= out - stream.avail_out;
            if (status == Z_BUF_ERROR && out != stream.avail_out) status = Z_OK;
        }
        packed.data.resize(packed.data.size() - outLeft);
        packed.failed = deflateEnd(&stream) != Z_OK || status != Z_STREAM_END;
    } catch (const std::bad_alloc&) {
        packed.failed = true;
    }
    return packed;
}

// Makes and compresses the files a few ahead of libzip, on every core: the documents of a
// big novel are converted and compressed in parallel while libzip copies them in order.
class Packer {
public:
    explicit Packer(const std::vector<ArchiveEntry>& entries)
        : entries_(entries), ready_(entries.size()) {
        const unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
        window_ = 2 * cores + 2;
        for (unsigned i = 0; i < cores; ++i) threads_.emplace_back([this] { work(); });
    }
    ~Packer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    Packed take(std::size_t k) {
        std::unique_lock<std::mutex> lock(mutex_);
        // Asked for a file further on than the window reaches: the window reaches it.
        wanted_ = std::max(wanted_, k + 1);
        changed_.notify_all();
        changed_.wait(lock, [&] { return ready_[k].has_value(); });
        Packed packed = std::move(*ready_[k]);
        ready_[k].reset();
        taken_ = std::max(taken_, k + 1);
        changed_.notify_all();
        return packed;
    }

private:
    void work() {
        for (;;) {
            std::size_t k;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] {
                    return stopping_ || claimed_ == entries_.size() ||
                           claimed_ < std::max(taken_ + window_, wanted_);
                });
                if (stopping_ || claimed_ == entries_.size()) return;
                k = claimed_++;
            }
            Packed packed = pack(entries_[k]);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ready_[k] = std::move(packed);
            }
            changed_.notify_all();
        }
    }

    const std::vector<ArchiveEntry>& entries_;
    std::vector<std::optional<Packed>> ready_;
    std::size_t claimed_ = 0;
    std::size_t taken_ = 0;
    std::size_t wanted_ = 0;
    std::size_t window_ = 4;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> threads_;
};

struct PackedSource {
    Packer* packer = nullptr;
    std::size_t index = 0;
    bool compressed = true;
    std::int64_t modified = 0;
    std::optional<Packed> packed;  // once taken; its data is let go after reading
    std::size_t at = 0;
    zip_error_t error;

    bool take() {
        if (!packed) packed = packer->take(index);
        if (packed->failed) zip_error_set(&error, ZIP_ER_MEMORY, 0);
        return !packed->failed;
    }
};

zip_int64_t readPacked(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* source = static_cast<PackedSource*>(state);
    switch (command) {
        case ZIP_SOURCE_OPEN:
            if (!source->take()) return -1;
            source->at = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::string& bytes = source->packed->data;
            const std::size_t n = std::min<std::size_t>(length, bytes.size() - source->at);
            std::memcpy(data, bytes.data() + source->at, n);
            source->at += n;
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_CLOSE:
            std::string().swap(source->packed->data);
            return 0;
        case ZIP_SOURCE_STAT: {
            // Sizes and CRC known beforehand: libzip then reserves no Zip64 field in the
            // file's header (which the mimetype must not carry and old readers do not
            // expect), and copies deflated data without compressing it again.
            if (!source->take()) return -1;
            auto* stat = static_cast<zip_stat_t*>(data);
            zip_stat_init(stat);
            stat->size = source->packed->size;
            // Not the time of writing: the same book written again is the same bytes.
            stat->mtime = static_cast<time_t>(source->modified);
            stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            if (source->compressed) {
                stat->comp_size = source->packed->data.size();
                stat->comp_method = ZIP_CM_DEFLATE;
                stat->crc = source->packed->crc;
                stat->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
            }
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

// Why the archive failed; it is given up.
std::string discarded(zip_t* archive) {
    std::string why = describe(zip_get_error(archive));
    zip_discard(archive);
    return why;
}

// Every entry added to the archive, read from the packer when the archive is closed; the
// reason when one cannot be (the archive given up then).
std::optional<std::string> addEntries(zip_t* archive, const std::vector<ArchiveEntry>& entries,
                                      Packer& packer) {
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const ArchiveEntry& entry = entries[k];
        auto* state = new PackedSource;
        state->packer = &packer;
        state->index = k;
        state->compressed = entry.compressed;
        state->modified = entry.modified;
        zip_error_init(&state->error);
        zip_source_t* source = zip_source_function(archive, readPacked, state);
        if (!source) {
            zip_error_fini(&state->error);
            delete state;
            return discarded(archive);
        }
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, 0);
        if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                                  entry.compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                                  entry.compressed ? kDeflateLevel : 0) != 0) {
            if (index < 0) zip_source_free(source);
            return discarded(archive);
        }
    }
    return std::nullopt;
}

// The bytes of the finished archive handed to 'sink' a piece at a time.
std::optional<std::string> drain(zip_source_t* buffer,
                                 const std::function<bool(std::string_view)>& sink) {
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

}  // namespace

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

    Packer packer(entries);
    if (std::optional<std::string> failure = addEntries(archive, entries, packer)) return failure;
    if (zip_close(archive) != 0) return discarded(archive);
    return drain(buffer, sink);
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
