#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "splitter/FileService.h"

namespace folioknife::splitter {
namespace {

// A file that hands out at most 'chunk' bytes a read, may report a size that is not its own
// (it grew, or was cut short, after the size was taken), and may fail once 'failAt' bytes
// are read.
class ChunkedFile : public InputFile {
public:
    ChunkedFile(std::string bytes, std::optional<std::uint64_t> reported, std::size_t chunk,
                std::size_t failAt)
        : bytes_(std::move(bytes)), reported_(reported), chunk_(chunk), failAt_(failAt) {}
    std::optional<std::uint64_t> size() override { return reported_; }
    Expected<std::size_t> read(char* buffer, std::size_t capacity) override {
        if (at_ >= failAt_) return FileError{FileOperation::Read, "f", 5, "I/O error"};
        const std::size_t n = std::min({capacity, chunk_, bytes_.size() - at_, failAt_ - at_});
        bytes_.copy(buffer, n, at_);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::optional<std::uint64_t> reported_;
    std::size_t chunk_, failAt_, at_ = 0;
};

TEST(ReadToEnd, ReadsEveryByteWhateverTheSizeSaidAndKeepsWhatCameBeforeAFailure) {
    constexpr std::size_t kAll = std::string::npos;
    std::string file;
    for (int i = 0; file.size() < (std::size_t{20} << 20); ++i) file += std::to_string(i) + ",";
    const std::size_t size = file.size();
    const struct {
        const char* name;
        std::optional<std::uint64_t> reported;
        std::size_t chunk, failAt, limit;
        bool ok;
        std::size_t got;  // bytes read, the start of the file; with a limit, at least
    } cases[] = {
        {"size known, past several blocks", size, kAll, kAll, kAll, true, size},
        {"short reads, no size", std::nullopt, 4093, kAll, kAll, true, size},
        {"the file grew", size / 3, kAll, kAll, kAll, true, size},
        {"the file was cut short", 2 * size, kAll, kAll, kAll, true, size},
        {"a read fails", size, 1000, 5500, kAll, false, 5500},
        {"the first read fails", size, kAll, 0, kAll, false, 0},
        {"a limit: past it, by a read at most", size, 300, kAll, 1000, true, 1001},
    };
    for (const auto& c : cases) {
        ChunkedFile input(file, c.reported, c.chunk, c.failAt);
        std::string text;
        const FileStatus status = readToEnd(input, text, c.limit);
        EXPECT_EQ(static_cast<bool>(status), c.ok) << c.name;
        if (!c.ok) {
            EXPECT_EQ(status.error().reason, "I/O error") << c.name;
        }
        if (c.limit == kAll) {
            EXPECT_EQ(text.size(), c.got) << c.name;
        } else {
            EXPECT_GE(text.size(), c.got) << c.name;
            EXPECT_LE(text.size(), c.limit + c.chunk) << c.name;
        }
        EXPECT_TRUE(file.compare(0, text.size(), text) == 0) << c.name;
    }
}

}  // namespace
}  // namespace folioknife::splitter
