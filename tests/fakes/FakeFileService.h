#pragma once
// An in-memory file system that records what was done to it and fails on demand, the way a
// test harness makes the N-th system call fail.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "splitter/FileService.h"

namespace folioknife::testing {

class FakeFileService : public splitter::FileService {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> directories;
    std::set<std::string> unreadable;     // opens, but every read fails
    std::set<std::string> unopenable;     // cannot be created or opened
    int failWriteNumber = 0;              // the N-th write call (1-based) fails; 0 never
    int shortWriteNumber = 0;             // the N-th write stores only half its bytes and fails
    int failCloseNumber = 0;              // the N-th close of an output file fails
    std::vector<std::string> log;         // "create path", "write path n", "close path", ...
    int writes = 0;
    int closes = 0;
    std::string sep = "/";

    std::unique_ptr<splitter::InputFile> openForReading(const std::string& path) override;
    std::unique_ptr<splitter::OutputFile> createReplacing(const std::string& path) override;
    bool createDirectory(const std::string& path) override {
        log.push_back("mkdir " + path);
        return directories.insert(path).second;
    }
    bool deleteFile(const std::string& path) override {
        log.push_back("delete " + path);
        return files.erase(path) > 0;
    }
    std::string separator() const override { return sep; }
    bool logged(const std::string& prefix) const {
        for (const auto& l : log)
            if (l.rfind(prefix, 0) == 0) return true;
        return false;
    }
};

namespace detail {
class FakeInput : public splitter::InputFile {
public:
    FakeInput(std::string bytes, bool failing) : bytes_(std::move(bytes)), failing_(failing) {}
    std::optional<std::uint64_t> size() override { return bytes_.size(); }
    std::int64_t read(char* buffer, std::size_t capacity) override {
        if (failing_) return -1;
        std::size_t n = std::min(capacity, bytes_.size() - pos_);
        bytes_.copy(buffer, n, pos_);
        pos_ += n;
        return static_cast<std::int64_t>(n);
    }

private:
    std::string bytes_;
    bool failing_;
    std::size_t pos_ = 0;
};

class FakeOutput : public splitter::OutputFile {
public:
    FakeOutput(FakeFileService& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    bool write(std::string_view bytes) override {
        int n = ++fs_.writes;
        fs_.log.push_back("write " + path_ + " " + std::to_string(bytes.size()));
        if (n == fs_.failWriteNumber) return false;
        if (n == fs_.shortWriteNumber) {
            fs_.files[path_].append(bytes.substr(0, bytes.size() / 2));
            return false;
        }
        fs_.files[path_].append(bytes);
        return true;
    }
    bool close() override {
        int n = ++fs_.closes;
        fs_.log.push_back("close " + path_);
        return n != fs_.failCloseNumber;
    }

private:
    FakeFileService& fs_;
    std::string path_;
};
}  // namespace detail

inline std::unique_ptr<splitter::InputFile> FakeFileService::openForReading(const std::string& path) {
    log.push_back("open " + path);
    auto it = files.find(path);
    if (it == files.end() || unopenable.count(path)) return nullptr;
    return std::make_unique<detail::FakeInput>(it->second, unreadable.count(path) > 0);
}

inline std::unique_ptr<splitter::OutputFile> FakeFileService::createReplacing(
    const std::string& path) {
    log.push_back("create " + path);
    if (unopenable.count(path)) return nullptr;
    files[path].clear();
    return std::make_unique<detail::FakeOutput>(*this, path);
}

}  // namespace folioknife::testing
