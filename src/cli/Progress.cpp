#include "cli/Progress.h"

#include <chrono>

#include "cli/Catalogue.h"
#include "splitter/CodePage.h"

namespace folioknife::cli {

namespace {

class CountingInput : public splitter::InputFile {
public:
    CountingInput(std::unique_ptr<splitter::InputFile> inner, std::atomic<std::uint64_t>& count)
        : inner_(std::move(inner)), count_(count) {}
    std::optional<std::uint64_t> size() override { return inner_->size(); }
    splitter::Expected<std::size_t> read(char* buffer, std::size_t capacity) override {
        splitter::Expected<std::size_t> n = inner_->read(buffer, capacity);
        if (n) count_ += *n;
        return n;
    }
    std::optional<splitter::SharedBytes> mapWhole() override { return inner_->mapWhole(); }

private:
    std::unique_ptr<splitter::InputFile> inner_;
    std::atomic<std::uint64_t>& count_;
};

class CountingOutput : public splitter::OutputFile {
public:
    CountingOutput(std::unique_ptr<splitter::OutputFile> inner, std::atomic<std::uint64_t>& count)
        : inner_(std::move(inner)), count_(count) {}
    splitter::FileStatus write(std::string_view bytes) override {
        splitter::FileStatus written = inner_->write(bytes);
        if (written) count_ += bytes.size();
        return written;
    }
    void startFlush() override { inner_->startFlush(); }
    splitter::FileStatus close() override { return inner_->close(); }

private:
    std::unique_ptr<splitter::OutputFile> inner_;
    std::atomic<std::uint64_t>& count_;
};

}  // namespace

splitter::Expected<std::unique_ptr<splitter::InputFile>> CountingFileService::openForReading(
    const std::string& path) {
    auto file = inner_.openForReading(path);
    if (!file) return file;
    return std::make_unique<CountingInput>(std::move(*file), read);
}

splitter::Expected<std::unique_ptr<splitter::OutputFile>> CountingFileService::createTemporary(
    const std::string& prefix, std::string& path) {
    auto file = inner_.createTemporary(prefix, path);
    if (!file) return file;
    return std::make_unique<CountingOutput>(std::move(*file), written);
}

ProgressLine::ProgressLine(std::ostream& err, bool enabled, std::string name, std::uint64_t size,
                           const CountingFileService& counts)
    : err_(err), name_(std::move(name)), size_(size), counts_(counts) {
    if (enabled) thread_ = std::thread([this] { run(); });
}

ProgressLine::~ProgressLine() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    stop_.notify_one();
    thread_.join();
    if (shown_) err_ << "\r\x1b[K" << std::flush;
}

void ProgressLine::run() {
    using namespace std::chrono;
    const auto started = steady_clock::now();
    std::unique_lock<std::mutex> hold(mutex_);
    // Nothing for the first second; then four times a second.
    if (stop_.wait_for(hold, seconds(1), [this] { return stopping_; })) return;
    const std::string terminal = splitter::systemCodePage();
    do {
        const auto seconds = duration_cast<std::chrono::seconds>(steady_clock::now() - started);
        const std::uint64_t written = counts_.written;
        const std::uint64_t read = counts_.read;
        const auto percent = [](std::uint64_t part, std::uint64_t whole) {
            return std::to_string(whole == 0 ? 100
                                             : std::min<std::uint64_t>(100, part * 100 / whole));
        };
        std::string text;
        // The volumes are written, then read back together with the source before it may be
        // deleted: twice the novel's bytes.
        if (written == 0 && read == 0)
            text =
                trf("{1}: finding the headings ({2} s)", {name_, std::to_string(seconds.count())});
        else if (read == 0)
            text = trf("{1}: writing the files {2}%", {name_, percent(written, size_)});
        else
            text = trf("{1}: checking the files against the novel {2}%",
                       {name_, percent(read, 2 * size_)});
        err_ << '\r' << splitter::convertForDisplay(text, "UTF-8", terminal) << "\x1b[K"
             << std::flush;
        shown_ = true;
    } while (!stop_.wait_for(hold, milliseconds(250), [this] { return stopping_; }));
}

}  // namespace folioknife::cli
