#pragma once
// An in-memory file system that records what was done to it and fails on demand, the way a
// test harness makes the N-th system call fail.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "splitter/FileService.h"

namespace folioknife::testing {

// Thrown at the change chosen by killAtChange: the process ends there, nothing after it runs.
struct Killed {};

class FakeFileService : public splitter::FileService {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> directories;
    std::set<std::string> unreadable;          // opens, but every read fails
    std::set<std::string> unopenable;          // cannot be created or opened
    std::set<std::string> irreplaceable;       // a rename that gives or takes this name fails
    std::set<std::string> unflushable;         // flushing this file or folder fails
    std::set<std::string> undeletable;         // deleting this file fails
    std::string undeletableWith;               // deleting a file whose path holds this fails
    std::set<std::string> busyFolders;         // another split holds these folders' locks
    std::set<std::string> uncreatable;         // these folders cannot be made ("no drive")
    std::map<std::string, std::string> links;  // a name that reaches another file's bytes
    int failWriteNumber = 0;                   // the N-th write call (1-based) fails; 0 never
    int shortWriteNumber = 0;  // the N-th write stores only half its bytes and fails
    int failCloseNumber = 0;   // the N-th close of an output file fails
    int failRenamesFrom = 0;   // the N-th rename and every one after it fail; 0 never
    int killAtChange = 0;      // the N-th change (create, write, rename, delete) throws Killed
    int changes = 0;
    std::vector<std::string> log;  // "create path", "write path n", "rename a b", ...
    int writes = 0;
    int closes = 0;
    int temporaries = 0;
    int renames = 0;
    std::string sep = "/";  // between a folder and its names, as the tests write paths

    splitter::Expected<std::unique_ptr<splitter::InputFile>> openForReading(
        const std::string& path) override;
    splitter::Expected<std::unique_ptr<splitter::OutputFile>> createTemporary(
        const std::string& prefix, std::string& path) override;
    splitter::FileStatus replaceFile(const std::string& from, const std::string& to) override {
        change();
        log.push_back("rename " + from + " " + to);
        if (++renames >= failRenamesFrom && failRenamesFrom > 0)
            return fail(Op::Rename, to, "cannot rename");
        if (irreplaceable.count(from) || irreplaceable.count(to) || !files.count(from) ||
            directories.count(to)) {
            return fail(Op::Rename, to, "cannot rename");
        }
        files[to] = files[from];
        ids[to] = ids[from];
        files.erase(from);
        ids.erase(from);
        links.erase(to);
        if (links.count(from)) {  // the link itself takes the new name
            links[to] = links[from];
            links.erase(from);
        }
        return {};
    }
    splitter::FileStatus createDirectory(const std::string& path) override {
        log.push_back("mkdir " + path);
        if (uncreatable.count(path)) return fail(Op::CreateFolder, path, "no drive");
        if (!directories.insert(path).second) return fail(Op::CreateFolder, path, "exists");
        return {};
    }
    splitter::FileStatus removeDirectory(const std::string& path) override {
        log.push_back("rmdir " + path);
        if (!directories.erase(path)) return fail(Op::Delete, path, "no such folder");
        return {};
    }
    splitter::FileStatus deleteFile(const std::string& path) override {
        change();
        log.push_back("delete " + path);
        if (undeletable.count(path) ||
            (!undeletableWith.empty() && path.find(undeletableWith) != std::string::npos))
            return fail(Op::Delete, path, "cannot delete");
        ids.erase(path);
        if (files.erase(path) == 0) return fail(Op::Delete, path, "no such file");
        return {};
    }
    splitter::FileKind kindOf(const std::string& path) override {
        if (directories.count(path)) return splitter::FileKind::Directory;
        return files.count(resolve(path)) ? splitter::FileKind::Regular
                                          : splitter::FileKind::Missing;
    }
    splitter::FileKind entryKind(const std::string& path) override {
        if (directories.count(path)) return splitter::FileKind::Directory;
        if (links.count(path)) return splitter::FileKind::Other;
        return files.count(path) ? splitter::FileKind::Regular : splitter::FileKind::Missing;
    }
    std::vector<std::string> listFolder(const std::string& path) override {
        std::vector<std::string> names;
        const std::string prefix = path + sep;
        for (const auto& f : files) {
            if (f.first.rfind(prefix, 0) == 0 &&
                f.first.find(sep, prefix.size()) == std::string::npos)
                names.push_back(f.first.substr(prefix.size()));
        }
        return names;
    }
    splitter::Expected<splitter::FileIdentity> identify(const std::string& path) override {
        const std::string real = resolve(path);
        if (!files.count(real)) return fail(Op::Identify, path, "no such file");
        if (!ids.count(real)) ids[real] = ++lastId;
        return splitter::FileIdentity{1, ids[real]};
    }
    splitter::FileStatus flushFiles(const std::vector<std::string>& paths) override {
        for (const auto& path : paths) {
            if (splitter::FileStatus flushed = flushFolder(path); !flushed) return flushed;
        }
        return {};
    }
    splitter::FileStatus flushFolder(const std::string& path) override {
        log.push_back("flush " + path);
        if (unflushable.count(path)) return fail(Op::Flush, path, "cannot flush");
        return {};
    }
    splitter::Expected<std::unique_ptr<splitter::FolderLock>> lockFolder(const std::string& path,
                                                                         int) override {
        log.push_back("lock " + path);
        if (busyFolders.count(path) > 0) {
            splitter::FileError busy = fail(Op::Lock, path, "busy");
            busy.kind = splitter::FileErrorKind::Busy;
            return busy;
        }
        struct Held : splitter::FolderLock {
            Held(FakeFileService& fs, std::string p) : fs_(fs), p_(std::move(p)) {}
            ~Held() override { fs_.log.push_back("unlock " + p_); }
            FakeFileService& fs_;
            std::string p_;
        };
        return std::make_unique<Held>(*this, path);
    }

    bool logged(const std::string& prefix) const {
        for (const auto& l : log)
            if (l.rfind(prefix, 0) == 0) return true;
        return false;
    }
    // The files whose names hold 'part' (temporary files left behind, for one).
    std::vector<std::string> namesWith(const std::string& part) const {
        std::vector<std::string> found;
        for (const auto& f : files)
            if (f.first.find(part) != std::string::npos) found.push_back(f.first);
        return found;
    }
    std::string resolve(const std::string& path) const {
        auto it = links.find(path);
        return it == links.end() ? path : it->second;
    }
    void change() {
        if (++changes == killAtChange) throw Killed{};
    }
    using Op = splitter::FileOperation;
    // An injected failure: no system code, 'why' for the system's reason.
    static splitter::FileError fail(Op operation, const std::string& path, const std::string& why) {
        return splitter::FileError{operation, path, 0, why};
    }

private:
    std::map<std::string, std::uint64_t> ids;
    std::uint64_t lastId = 0;
};

namespace detail {
class FakeInput : public splitter::InputFile {
public:
    FakeInput(std::string bytes, std::string path, bool failing)
        : bytes_(std::move(bytes)), path_(std::move(path)), failing_(failing) {}
    std::optional<std::uint64_t> size() override { return bytes_.size(); }
    splitter::Expected<std::size_t> read(char* buffer, std::size_t capacity) override {
        if (failing_) return FakeFileService::fail(FakeFileService::Op::Read, path_, "cannot read");
        std::size_t n = std::min(capacity, bytes_.size() - pos_);
        bytes_.copy(buffer, n, pos_);
        pos_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::string path_;
    bool failing_;  // every read fails
    std::size_t pos_ = 0;
};

class FakeOutput : public splitter::OutputFile {
public:
    FakeOutput(FakeFileService& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    splitter::FileStatus write(std::string_view bytes) override {
        using Op = FakeFileService::Op;
        fs_.change();
        int n = ++fs_.writes;
        fs_.log.push_back("write " + path_ + " " + std::to_string(bytes.size()));
        if (n == fs_.failWriteNumber) return fs_.fail(Op::Write, path_, "write failed");
        if (n == fs_.shortWriteNumber) {
            fs_.files[path_].append(bytes.substr(0, bytes.size() / 2));
            return fs_.fail(Op::Write, path_, "no space left");
        }
        fs_.files[path_].append(bytes);
        return {};
    }
    splitter::FileStatus close() override {
        int n = ++fs_.closes;
        fs_.log.push_back("close " + path_);
        if (n == fs_.failCloseNumber)
            return fs_.fail(FakeFileService::Op::Close, path_, "close failed");
        return {};
    }

private:
    FakeFileService& fs_;
    std::string path_;
};
}  // namespace detail

inline splitter::Expected<std::unique_ptr<splitter::InputFile>> FakeFileService::openForReading(
    const std::string& path) {
    log.push_back("open " + path);
    const std::string real = resolve(path);
    auto it = files.find(real);
    if (it == files.end() || unopenable.count(path)) return fail(Op::Open, path, "cannot open");
    return std::make_unique<detail::FakeInput>(it->second, path, unreadable.count(path) > 0);
}

// Temporary names are the prefix and a counter of eight digits (as many characters as the
// system's add), so tests can tell them apart.
inline splitter::Expected<std::unique_ptr<splitter::OutputFile>> FakeFileService::createTemporary(
    const std::string& prefix, std::string& path) {
    // Creation fails where the final name may not be created (the prefix begins with it).
    for (const auto& name : unopenable) {
        if (prefix.rfind(name, 0) == 0) {
            log.push_back("create " + name);
            return fail(Op::Create, prefix, "cannot create");
        }
    }
    change();
    const std::string count = std::to_string(++temporaries);
    path = prefix + std::string(8 - std::min<std::size_t>(count.size(), 8), '0') + count;
    log.push_back("create " + path);
    files[path].clear();
    ids[path] = ++lastId;
    return std::make_unique<detail::FakeOutput>(*this, path);
}

}  // namespace folioknife::testing
