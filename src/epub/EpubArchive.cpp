// The zip container. The files are made and deflated a few ahead of the writer, on every
// core, and each is handed on with its header as soon as it is ready: the archive is never
// in memory as a whole. It is read back through libzip.
#include "epub/EpubArchive.h"

#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "splitter/FileService.h"

namespace folioknife::epub {

namespace {

// libdeflate's level 1: on the text of a novel about twice as fast as zlib's level 1, whose
// files it makes about 5 % smaller; several times faster than the default level 6, whose
// files are only about a tenth smaller.
constexpr int kDeflateLevel = 1;

// What the writer gathers before it hands bytes on.
constexpr std::size_t kWriteBuffer = 1 << 20;

// A file made and compressed, with its size and CRC.
struct Packed {
    std::string data;        // raw deflate, or the bytes themselves when stored
    std::uint64_t size = 0;  // uncompressed
    std::uint32_t crc = 0;
    bool failed = false;
};

Packed pack(const ArchiveEntry& entry) {
    Packed packed;
    try {
        std::string bytes = entry.bytes();
        packed.size = bytes.size();
        packed.crc = libdeflate_crc32(0, bytes.data(), bytes.size());
        if (!entry.compressed) {
            packed.data = std::move(bytes);
            return packed;
        }
        // One compressor a file: a thread_local one would be destroyed as its thread ends,
        // which hangs MinGW's threads under Wine.
        const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
            libdeflate_alloc_compressor(kDeflateLevel), libdeflate_free_compressor);
        if (!compressor) {
            packed.failed = true;
            return packed;
        }
        packed.data.resize(libdeflate_deflate_compress_bound(compressor.get(), bytes.size()));
        const std::size_t made = libdeflate_deflate_compress(
            compressor.get(), bytes.data(), bytes.size(), &packed.data[0], packed.data.size());
        packed.data.resize(made);
        packed.failed = made == 0;
    } catch (const std::bad_alloc&) {
        packed.failed = true;
    }
    return packed;
}

// Makes and compresses the files a few ahead of libzip, on every core: the documents of a
// big novel are converted and compressed in parallel while the archive takes them in order.
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

// Little-endian fields of the zip headers.
void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put64(std::string& out, std::uint64_t v) {
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}

// A time as the zip headers hold it, in local time as other zip tools write it; before 1980,
// 1980.
void dosTime(std::int64_t seconds, unsigned& time, unsigned& date) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    const bool known = localtime_s(&local, &t) == 0;
#else
    const bool known = localtime_r(&t, &local) != nullptr;
#endif
    if (!known) local = std::tm{};
    if (local.tm_year < 80) local.tm_year = 80;
    date = static_cast<unsigned>(((local.tm_year - 80) << 9) + ((local.tm_mon + 1) << 5) +
                                 local.tm_mday);
    time = static_cast<unsigned>((local.tm_hour << 11) + (local.tm_min << 5) + (local.tm_sec >> 1));
}

constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;

// What the central directory says of one file.
struct Written {
    std::string name;
    bool compressed = true;
    unsigned time = 0, date = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0, size = 0, offset = 0;
};

// What a file's header and its central record both say, from the flags to the name's length.
void commonFields(std::string& out, const Written& w) {
    put16(out, 0);  // no flags
    put16(out, w.compressed ? 8 : 0);
    put16(out, w.time);
    put16(out, w.date);
    put32(out, w.crc);
    put32(out, static_cast<std::uint32_t>(w.compressedSize));
    put32(out, static_cast<std::uint32_t>(w.size));
    put16(out, static_cast<unsigned>(w.name.size()));
}

// The header before a file's data. Sizes and CRC are known beforehand, so the header is
// final and the archive is written once from start to end.
void localHeader(std::string& out, const Written& w) {
    put32(out, 0x04034b50);
    put16(out, w.compressed ? 20 : 10);  // the version a reader needs: deflate, or stored
    commonFields(out, w);
    put16(out, 0);
    out += w.name;
}

// The central directory's record of a file. A file that begins past 4 GB names its place in
// a Zip64 field.
void centralHeader(std::string& out, const Written& w) {
    const bool far = w.offset >= kMax32;
    put32(out, 0x02014b50);
    put16(out, (3 << 8) | 63);  // made on Unix, zip 6.3
    put16(out, far ? 45 : w.compressed ? 20 : 10);
    commonFields(out, w);
    put16(out, far ? 12 : 0);    // extra field
    put16(out, 0);               // comment
    put16(out, 0);               // disk
    put16(out, 0);               // internal attributes
    put32(out, 0100666u << 16);  // a regular file, rw-rw-rw-
    put32(out, far ? kMax32 : static_cast<std::uint32_t>(w.offset));
    out += w.name;
    if (far) {
        put16(out, 0x0001);
        put16(out, 8);
        put64(out, w.offset);
    }
}

// The end of the archive: where its central directory lies, with the Zip64 records before
// it when the directory lies past 4 GB or the files are more than 65535.
void endRecords(std::string& out, std::uint64_t count, std::uint64_t directory,
                std::uint64_t directorySize) {
    const bool zip64 = count >= 0xFFFF || directory >= kMax32 || directorySize >= kMax32;
    if (zip64) {
        const std::uint64_t at = directory + directorySize;
        put32(out, 0x06064b50);
        put64(out, 44);
        put16(out, (3 << 8) | 63);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, count);
        put64(out, count);
        put64(out, directorySize);
        put64(out, directory);
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, at);
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, zip64 ? 0xFFFF : static_cast<unsigned>(count));
    put16(out, zip64 ? 0xFFFF : static_cast<unsigned>(count));
    put32(out, zip64 ? kMax32 : static_cast<std::uint32_t>(directorySize));
    put32(out, zip64 ? kMax32 : static_cast<std::uint32_t>(directory));
    put16(out, 0);
}

std::string describe(zip_error_t* error) { return zip_error_strerror(error); }

}  // namespace

std::optional<std::string> writeArchive(const std::vector<ArchiveEntry>& entries,
                                        const std::function<bool(std::string_view)>& sink) {
    Packer packer(entries);
    std::vector<Written> written;
    written.reserve(entries.size());
    std::uint64_t at = 0;
    std::string header;
    // The bytes go to the sink in pieces of about a megabyte: few writes, and the first one
    // already holds the book's beginning (the mimetype), which is how the next run knows a
    // file of ours cut short by a kill for one and removes it.
    std::string pending;
    pending.reserve(kWriteBuffer + (64 << 10));
    const auto put = [&](std::string_view bytes) {
        at += bytes.size();
        pending += bytes;
        if (pending.size() < kWriteBuffer) return true;
        const bool taken = sink(pending);
        pending.clear();
        return taken;
    };
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const ArchiveEntry& entry = entries[k];
        Packed packed = packer.take(k);
        // The words zlib had for it, which the messages carry.
        if (packed.failed) return std::string("insufficient memory");
        // A file of 4 GB or more would need Zip64 sizes in its header; no document comes near.
        if (packed.size >= kMax32 || packed.data.size() >= kMax32 || entry.name.size() > 0xFFFF)
            return std::string("file too large for the archive: ") + entry.name;
        Written w;
        w.name = entry.name;
        w.compressed = entry.compressed;
        dosTime(entry.modified, w.time, w.date);
        w.crc = packed.crc;
        w.compressedSize = packed.data.size();
        w.size = packed.size;
        w.offset = at;
        header.clear();
        localHeader(header, w);
        if (!put(header) || !put(packed.data)) return std::string();
        written.push_back(std::move(w));
    }
    const std::uint64_t directory = at;
    std::string central;
    for (const Written& w : written) centralHeader(central, w);
    endRecords(central, written.size(), directory, central.size());
    if (!put(central) || (!pending.empty() && !sink(pending))) return std::string();
    return std::nullopt;
}

namespace {

// A file on disk as libzip's source: read where libzip asks, a piece at a time.
struct FileSource {
    splitter::InputFile& file;
    std::uint64_t size = 0;
    std::uint64_t at = 0;
    zip_error_t error{};

    zip_int64_t failed(int code) {
        zip_error_set(&error, code, 0);
        return -1;
    }

    static zip_int64_t call(void* state, void* data, zip_uint64_t length,
                            zip_source_cmd_t command) {
        auto* self = static_cast<FileSource*>(state);
        switch (command) {
            case ZIP_SOURCE_OPEN:
                if (!self->file.seek(0)) return self->failed(ZIP_ER_SEEK);
                self->at = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                std::size_t got = 0;
                auto* into = static_cast<char*>(data);
                while (got < length) {
                    const splitter::Expected<std::size_t> n =
                        self->file.read(into + got, static_cast<std::size_t>(length - got));
                    if (!n) return self->failed(ZIP_ER_READ);
                    if (*n == 0) break;
                    got += *n;
                }
                self->at += got;
                return static_cast<zip_int64_t>(got);
            }
            case ZIP_SOURCE_CLOSE:
                return 0;
            case ZIP_SOURCE_STAT: {
                zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &self->error);
                if (!stat) return -1;
                zip_stat_init(stat);
                stat->size = self->size;
                stat->valid |= ZIP_STAT_SIZE;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_SEEK: {
                const zip_int64_t to = zip_source_seek_compute_offset(self->at, self->size, data,
                                                                      length, &self->error);
                if (to < 0) return -1;
                if (!self->file.seek(static_cast<std::uint64_t>(to)))
                    return self->failed(ZIP_ER_SEEK);
                self->at = static_cast<std::uint64_t>(to);
                return 0;
            }
            case ZIP_SOURCE_TELL:
                return static_cast<zip_int64_t>(self->at);
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&self->error, data, length);
            case ZIP_SOURCE_FREE:
                zip_error_fini(&self->error);
                delete self;
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(
                    ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                    ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                    ZIP_SOURCE_SUPPORTS, -1);
            default:
                return self->failed(ZIP_ER_OPNOTSUPP);
        }
    }
};

}  // namespace

void ArchiveReader::open(void* source, void* error) {
    auto* zipError = static_cast<zip_error_t*>(error);
    auto* zipSource = static_cast<zip_source_t*>(source);
    zip_t* opened =
        zipSource ? zip_open_from_source(zipSource, ZIP_RDONLY | ZIP_CHECKCONS, zipError) : nullptr;
    if (!opened) {
        failure_ = describe(zipError);
        if (zipSource) zip_source_free(zipSource);
    }
    zip_error_fini(zipError);
    handle_ = opened;
}

ArchiveReader::ArchiveReader(std::string_view archive) {
    zip_error_t error;
    zip_error_init(&error);
    open(zip_source_buffer_create(archive.data(), archive.size(), 0, &error), &error);
}

ArchiveReader::ArchiveReader(splitter::InputFile& file) {
    zip_error_t error;
    zip_error_init(&error);
    const std::optional<std::uint64_t> size = file.size();
    if (!size || !file.seek(0)) {
        failure_ = "the file cannot be read where the archive asks";
        zip_error_fini(&error);
        return;
    }
    auto* state = new FileSource{file, *size, 0, {}};
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function_create(&FileSource::call, state, &error);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    open(source, &error);
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
