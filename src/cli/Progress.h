#pragma once
// How far a long split is, on one line of standard error that is rewritten in place. Shown
// only on a terminal and only when the work takes longer than a second: short splits print
// nothing but their result.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "splitter/FileService.h"

namespace folioknife::cli {

// Passes every call on, counting the bytes written into files and read back from them.
class CountingFileService : public splitter::FileService {
public:
    explicit CountingFileService(splitter::FileService& inner) : inner_(inner) {}
    splitter::Expected<std::unique_ptr<splitter::InputFile>> openForReading(
        const std::string& path) override;
    splitter::Expected<std::unique_ptr<splitter::OutputFile>> createTemporary(
        const std::string& prefix, std::string& path) override;
    splitter::FileStatus replaceFile(const std::string& from, const std::string& to) override {
        return inner_.replaceFile(from, to);
    }
    splitter::FileStatus createDirectory(const std::string& path) override {
        return inner_.createDirectory(path);
    }
    splitter::FileStatus deleteFile(const std::string& path) override {
        return inner_.deleteFile(path);
    }
    splitter::FileStatus removeDirectory(const std::string& path) override {
        return inner_.removeDirectory(path);
    }
    std::vector<splitter::FileStatus> deleteFiles(const std::vector<std::string>& paths) override {
        return inner_.deleteFiles(paths);
    }
    splitter::FileKind kindOf(const std::string& path) override { return inner_.kindOf(path); }
    splitter::FileKind entryKind(const std::string& path) override {
        return inner_.entryKind(path);
    }
    std::vector<std::string> listFolder(const std::string& path) override {
        return inner_.listFolder(path);
    }
    splitter::Expected<splitter::FileIdentity> identify(const std::string& path) override {
        return inner_.identify(path);
    }
    splitter::FileStatus flushFiles(const std::vector<std::string>& paths) override {
        return inner_.flushFiles(paths);
    }
    splitter::FileStatus flushFolder(const std::string& path) override {
        return inner_.flushFolder(path);
    }
    splitter::Expected<std::unique_ptr<splitter::FolderLock>> lockFolder(
        const std::string& path, int waitMilliseconds) override {
        return inner_.lockFolder(path, waitMilliseconds);
    }

    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> read{0};

private:
    splitter::FileService& inner_;
};

// The progress line of one novel: from construction to destruction, while the split runs.
class ProgressLine {
public:
    // 'name': the novel as the terminal shows it; 'size': its bytes.
    ProgressLine(std::ostream& err, bool enabled, std::string name, std::uint64_t size,
                 const CountingFileService& counts);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

private:
    void run();
    std::ostream& err_;
    std::string name_;
    std::uint64_t size_;
    const CountingFileService& counts_;
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    bool shown_ = false;
    std::thread thread_;
};

}  // namespace folioknife::cli
