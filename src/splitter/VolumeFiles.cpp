#include "splitter/VolumeFiles.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <memory>
#include <string>

#include "splitter/VolumeNames.h"

namespace folioknife::splitter {

namespace {

// Temporary files carry the volume's name, so that one left by a split that was killed shows
// what it is, and the split's token, so that the next split removes only what this one left.
constexpr const char* kNewSuffix = ".folioknife-new-";
constexpr const char* kOldSuffix = ".folioknife-old-";
// The record of a split in progress; a fixed name, so that it is found in a folder that cannot
// be listed.
constexpr const char* kRecordName = ".folioknife-record";
constexpr const char* kRecordHeader = "folioknife record 1\n";
constexpr std::size_t kTokenLength = 8;

bool writeSpans(OutputFile& file, const Volume& volume) {
    for (std::string_view span : volume.spans) {
        if (!file.write(span)) return false;
    }
    return true;
}

std::string newToken() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937 random{std::random_device{}()};
    std::string token;
    for (std::size_t i = 0; i < kTokenLength; ++i)
        token += kLetters[random() % (sizeof kLetters - 1)];
    return token;
}

// One name's way into place: the new bytes at 'temporary' until they take the name, what stood
// at the name at 'setAside' until it is no longer wanted. Names without the folder in the
// record, with it here.
struct Placement {
    Text name;
    Text temporary;  // empty: the name is only cleared
    Text setAside;   // empty: nothing stood there
};

struct Record {
    std::string token;
    std::vector<Placement> steps;
};

std::string recordText(const Record& record, const std::string& sep) {
    std::string text = kRecordHeader;
    text += "token " + record.token + "\n";
    // The names are ASCII, so the last separator is the folder's end in any code page.
    const auto bare = [&](const Text& path) {
        return path.empty() ? Text("-") : path.substr(path.rfind(sep) + sep.size());
    };
    for (const Placement& step : record.steps)
        text += "step\t" + bare(step.name) + "\t" + bare(step.temporary) + "\t" +
                bare(step.setAside) + "\n";
    return text;
}

// The record as the folder holds it; only names of our own making are taken from it, so a
// record that someone wrote by hand can touch no other file.
std::optional<Record> readRecord(FileService& files, const Text& folder, const std::string& sep) {
    std::unique_ptr<InputFile> file = files.openForReading(folder + sep + kRecordName);
    if (!file) return std::nullopt;
    std::string text;
    char buffer[65536];
    for (;;) {
        const std::int64_t n = file->read(buffer, sizeof buffer);
        if (n <= 0 || text.size() > (std::size_t{64} << 20)) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (text.rfind(kRecordHeader, 0) != 0) return std::nullopt;
    Record record;
    std::size_t at = std::strlen(kRecordHeader);
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // a line cut short by a power cut
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        std::vector<std::string> fields;
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find_first_of("\t ", from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        if (fields.size() == 2 && fields[0] == "token" && fields[1].size() == kTokenLength) {
            record.token = fields[1];
        } else if (fields.size() == 4 && fields[0] == "step" && !record.token.empty() &&
                   volumeNumberOf(fields[1], PathStyle::Posix) != 0) {
            const auto ours = [&](const std::string& f, const char* suffix) {
                return f == "-" || f.rfind(fields[1] + suffix + record.token, 0) == 0;
            };
            if (!ours(fields[2], kNewSuffix) || !ours(fields[3], kOldSuffix) ||
                fields[2].find_first_of("/\\") != std::string::npos ||
                fields[3].find_first_of("/\\") != std::string::npos)
                continue;
            const auto full = [&](const std::string& f) {
                return f == "-" ? Text() : folder + sep + f;
            };
            record.steps.push_back({folder + sep + fields[1], full(fields[2]), full(fields[3])});
        }
    }
    if (record.token.empty()) return std::nullopt;
    return record;
}

// Writes the record in one step: a temporary file that takes the record's name.
bool writeRecord(FileService& files, const Text& folder, const Record& record, bool durable) {
    const std::string sep = files.separator();
    std::string temporary;
    std::unique_ptr<OutputFile> file =
        files.createTemporary(folder + sep + kRecordName + kNewSuffix + record.token, temporary);
    if (!file) return false;
    bool ok = file->write(recordText(record, sep));
    ok = file->close() && ok;
    if (ok && durable) ok = files.flushFiles({temporary});
    if (ok) ok = files.replaceFile(temporary, folder + sep + kRecordName);
    if (!ok) {
        files.deleteFile(temporary);
        return false;
    }
    return !durable || files.flushFolder(folder);
}

class Undo {
public:
    Undo(FileService& files, std::optional<FileIdentity> keep) : files_(files), keep_(keep) {}
    bool there(const Text& path) {
        return !path.empty() && files_.entryKind(path) != FileKind::Missing;
    }
    bool isKept(const Text& path) {
        if (!keep_) return false;
        const std::optional<FileIdentity> id = files_.identify(path);
        return id && *id == *keep_;
    }
    void remove(const Text& path) {
        if (there(path) && !isKept(path)) files_.deleteFile(path);
    }
    // Back as it was, the latest change first. A rename is all or nothing, so each name's state
    // shows how far it got: the new bytes still at their temporary name were not placed; a
    // name missing while its old bytes are set aside was cleared but not yet given the new.
    void run(const std::vector<Placement>& steps) {
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            const bool waiting = there(it->temporary);
            const bool placed = !it->temporary.empty() && !waiting;
            if (placed && it->setAside.empty()) {
                remove(it->name);
            } else if (there(it->setAside)) {
                if (placed || !there(it->name)) {
                    if (!isKept(it->name)) files_.replaceFile(it->setAside, it->name);
                } else {
                    remove(it->setAside);  // still the empty placeholder
                }
            }
            if (waiting) remove(it->temporary);
        }
    }

private:
    FileService& files_;
    std::optional<FileIdentity> keep_;
};

}  // namespace

std::vector<FoundVolume> findVolumes(FileService& files, const Text& folder) {
    const std::string sep = files.separator();
    std::vector<FoundVolume> found;
    for (const std::string& name : files.listFolder(folder)) {
        if (const std::uint64_t k =
                volumeNumberOf(name, sep == "\\" ? PathStyle::Windows : PathStyle::Posix))
            found.push_back({k, folder + sep + name});
    }
    if (found.empty()) {
        // Nothing listed: an empty folder, or one that cannot be read.
        for (std::uint64_t k = 1;; ++k) {
            const Text path = volumeFileName(folder, k, sep);
            if (files.entryKind(path) == FileKind::Missing) break;
            found.push_back({k, path});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const FoundVolume& a, const FoundVolume& b) { return a.number < b.number; });
    return found;
}

std::optional<FileFailure> installVolumes(FileService& files, const Text& folder,
                                          const std::vector<Text>& names,
                                          const std::vector<Volume>& volumes,
                                          const std::vector<Text>& removed) {
    const std::string sep = files.separator();
    const Text recordPath = folder + sep + kRecordName;
    Record record;
    record.token = newToken();
    std::vector<Placement>& steps = record.steps;
    std::optional<FileFailure> failure;
    const auto failAt = [&](const Text& name) { failure = FileFailure{name, files.lastFailure()}; };

    // Before the first temporary file: the next split must know which are ours.
    if (!writeRecord(files, folder, record, false)) {
        failAt(recordPath);
        files.deleteFile(recordPath);
        return failure;
    }
    std::vector<Text> temporaries;
    for (std::size_t k = 0; k < names.size() && !failure; ++k) {
        steps.push_back({names[k], Text(), Text()});
        std::unique_ptr<OutputFile> file =
            files.createTemporary(names[k] + kNewSuffix + record.token, steps[k].temporary);
        if (!file) {
            failAt(names[k]);
            break;
        }
        temporaries.push_back(steps[k].temporary);
        const bool written = writeSpans(*file, volumes[k]);
        if (!written) failAt(names[k]);
        // A failed close may mean the data never reached the disk.
        if (!file->close() && written) failAt(names[k]);
    }
    for (const Text& name : removed) steps.push_back({name, Text(), Text()});

    // A placeholder for what stands at each name, which the rename below replaces. A folder
    // cannot be set aside: the rename into its name fails and says why. A link is set aside
    // like a file, so that a failed split gives it back.
    bool replacing = false;
    for (std::size_t k = 0; k < steps.size() && !failure; ++k) {
        Placement& step = steps[k];
        const FileKind kind = files.entryKind(step.name);
        if (kind == FileKind::Missing || kind == FileKind::Directory) continue;
        std::unique_ptr<OutputFile> placeholder =
            files.createTemporary(step.name + kOldSuffix + record.token, step.setAside);
        if (!placeholder) {
            failAt(step.name);
            break;
        }
        placeholder->close();
        replacing = true;
    }
    // What is set aside is unlinked later, so the new bytes reach the disk before any name
    // changes, and the record before the first rename.
    if (!failure && replacing && !files.flushFiles(temporaries)) failAt(names.front());
    if (!failure && !writeRecord(files, folder, record, replacing)) failAt(recordPath);

    for (std::size_t k = 0; k < steps.size() && !failure; ++k) {
        const Placement& step = steps[k];
        if (!step.setAside.empty() && !files.replaceFile(step.name, step.setAside)) {
            failAt(step.name);
            break;
        }
        if (!step.temporary.empty() && !files.replaceFile(step.temporary, step.name)) {
            failAt(step.name);
            break;
        }
    }
    if (!failure && replacing && !files.flushFolder(folder)) failAt(folder);

    if (failure) {
        Undo(files, std::nullopt).run(steps);
        files.deleteFile(recordPath);
        return failure;
    }
    // What stood at the names is no longer wanted.
    for (const Placement& step : steps) {
        if (!step.setAside.empty()) files.deleteFile(step.setAside);
    }
    files.deleteFile(recordPath);
    return std::nullopt;
}

void recoverFolder(FileService& files, const Text& folder, std::optional<FileIdentity> keep) {
    const std::string sep = files.separator();
    const Text recordPath = folder + sep + kRecordName;
    Undo undo(files, keep);
    // A record a split was killed while writing, before it took its name.
    const std::string recordTemporary = std::string(kRecordName) + kNewSuffix;
    const std::vector<std::string> names = files.listFolder(folder);
    for (const std::string& name : names) {
        if (name.rfind(recordTemporary, 0) == 0 &&
            name.size() > recordTemporary.size() + kTokenLength)
            undo.remove(folder + sep + name);
    }
    if (files.entryKind(recordPath) == FileKind::Missing) return;
    const std::optional<Record> record = readRecord(files, folder, sep);
    if (record) {
        // Every new volume placed: the split got past its last rename, only the unlinking was
        // left; finish it. Otherwise put back what it changed.
        bool allPlaced = false;
        for (const Placement& step : record->steps) {
            if (step.temporary.empty()) continue;
            allPlaced = true;
            if (undo.there(step.temporary)) {
                allPlaced = false;
                break;
            }
        }
        if (allPlaced) {
            for (const Placement& step : record->steps) {
                // A name that was only to be cleared may not have been set aside yet.
                if (step.temporary.empty() && undo.there(step.setAside)) undo.remove(step.name);
                undo.remove(step.setAside);
            }
        } else {
            undo.run(record->steps);
        }
        // Temporary files written before the record named them.
        const std::string newMark = kNewSuffix + record->token;
        const std::string oldMark = kOldSuffix + record->token;
        for (const std::string& name : names) {
            if (name.find(newMark) != std::string::npos || name.find(oldMark) != std::string::npos)
                undo.remove(folder + sep + name);
        }
    }
    files.deleteFile(recordPath);
}

namespace {

// Reads the volumes one after another, as one stream.
class JoinedVolumes {
public:
    // 'addedMark': the byte-order mark that begins every volume after the first but is no
    // part of the source; it is checked and passed over.
    // With 'form', the volumes are in another encoding and are turned back.
    JoinedVolumes(FileService& files, const std::vector<Text>& names, std::string_view addedMark,
                  const VolumeForm* form)
        : files_(files), names_(names), addedMark_(addedMark), form_(form) {}
    // Like InputFile::read; -1 when a volume cannot be opened or read, or lacks its mark.
    std::int64_t read(char* buffer, std::size_t capacity) {
        if (form_) return readConverted(buffer, capacity);
        for (;;) {
            if (!current_) {
                if (next_ == names_.size()) return 0;
                current_ = files_.openForReading(names_[next_++]);
                if (!current_) return unreadable();
                if (next_ > 1 && !skipMark()) return -1;
            }
            const std::int64_t n = current_->read(buffer, capacity);
            if (n < 0) return unreadable();
            if (n != 0) return n;
            current_.reset();
        }
    }

    // The volume that could not be opened or read, and why; empty when none.
    Text failedName;
    Text failedReason;

private:
    std::int64_t unreadable() {
        failedName = names_[next_ - 1];
        failedReason = files_.lastFailure();
        return -1;
    }
    // A volume in another encoding is read whole and converted back at once (a character
    // may span the blocks the file is read in).
    std::int64_t readConverted(char* buffer, std::size_t capacity) {
        while (at_ == back_.size()) {
            if (next_ == names_.size()) return 0;
            std::unique_ptr<InputFile> file = files_.openForReading(names_[next_++]);
            if (!file) return unreadable();
            std::string written;
            char block[1 << 16];
            for (;;) {
                const std::int64_t n = file->read(block, sizeof block);
                if (n < 0) return unreadable();
                if (n == 0) break;
                written.append(block, static_cast<std::size_t>(n));
            }
            std::optional<std::string> back = readBackVolume(*form_, next_, written);
            if (!back) return -1;
            back_ = std::move(*back);
            at_ = 0;
        }
        const std::size_t n = std::min(capacity, back_.size() - at_);
        std::memcpy(buffer, back_.data() + at_, n);
        at_ += n;
        return static_cast<std::int64_t>(n);
    }
    bool skipMark() {
        std::string head(addedMark_.size(), '\0');
        std::size_t got = 0;
        while (got < head.size()) {
            const std::int64_t n = current_->read(&head[got], head.size() - got);
            if (n < 0) return unreadable(), false;
            if (n == 0) return false;
            got += static_cast<std::size_t>(n);
        }
        return head == addedMark_;
    }

    FileService& files_;
    const std::vector<Text>& names_;
    std::string_view addedMark_;
    const VolumeForm* form_;
    std::string back_;  // a converted volume's bytes turned back, and how far they were read
    std::size_t at_ = 0;
    std::size_t next_ = 0;
    std::unique_ptr<InputFile> current_;
};

// Fills the buffer unless the end comes first; the count read, or -1.
std::int64_t readFull(const std::function<std::int64_t(char*, std::size_t)>& read, char* buffer,
                      std::size_t capacity) {
    std::size_t got = 0;
    while (got < capacity) {
        const std::int64_t n = read(buffer + got, capacity - got);
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got);
}

// Fills the buffer from the text at 'at'; the count copied.
std::int64_t readText(std::string_view text, std::size_t& at, char* buffer, std::size_t capacity) {
    const std::size_t n = std::min(capacity, text.size() - at);
    std::memcpy(buffer, text.data() + at, n);
    at += n;
    return static_cast<std::int64_t>(n);
}

// True when the two streams give the same bytes to their ends.
bool sameBytes(const std::function<std::int64_t(char*, std::size_t)>& first,
               const std::function<std::int64_t(char*, std::size_t)>& second) {
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::unique_ptr<char[]> a(new char[kBlock]), b(new char[kBlock]);
    for (;;) {
        const std::int64_t n = readFull(first, a.get(), kBlock);
        const std::int64_t m = readFull(second, b.get(), kBlock);
        if (n < 0 || m < 0 || n != m) return false;
        if (n == 0) return true;
        if (std::memcmp(a.get(), b.get(), static_cast<std::size_t>(n)) != 0) return false;
    }
}

// Whether the volumes joined hold exactly the bytes of the source file, as both are on disk;
// a file that could not be read back is named with the reason.
struct Comparison {
    bool equal = false;
    Text unreadable;
    Text reason;
};
Comparison volumesEqualSource(FileService& files, const Text& source,
                              const std::vector<Text>& names, std::string_view addedMark,
                              const VolumeForm* form) {
    std::unique_ptr<InputFile> original = files.openForReading(source);
    if (!original) return {false, source, files.lastFailure()};
    JoinedVolumes joined(files, names, addedMark, form);
    Comparison result;
    result.equal = sameBytes(
        [&](char* p, std::size_t c) {
            const std::int64_t n = original->read(p, c);
            if (n < 0) result = {false, source, files.lastFailure()};
            return n;
        },
        [&](char* p, std::size_t c) { return joined.read(p, c); });
    if (result.unreadable.empty() && !joined.failedName.empty())
        return {false, joined.failedName, joined.failedReason};
    return result;
}

}  // namespace

bool isEarlierSplitOf(FileService& files, const std::vector<FoundVolume>& found,
                      std::string_view text, std::string_view addedMark, const VolumeForm* form) {
    std::vector<Text> names;
    for (std::size_t k = 0; k < found.size(); ++k) {
        if (found[k].number != k + 1) return false;
        names.push_back(found[k].path);
    }
    JoinedVolumes joined(files, names, addedMark, form);
    std::size_t at = 0;
    return sameBytes([&](char* p, std::size_t c) { return readText(text, at, p, c); },
                     [&](char* p, std::size_t c) { return joined.read(p, c); });
}

SourceDeletion deleteSourceIfWhole(FileService& files, const Text& source,
                                   const std::vector<Text>& names, const Text& folder,
                                   std::string_view addedMark, const VolumeForm* form) {
    const auto failed = [&] {
        return SourceDeletion{SourceVerdict::Failed, files.lastFailure(), Text()};
    };
    // On stable storage before anything else: what a power cut could still take must not be
    // what the source is deleted for, nor what stands in for older bytes that are gone.
    if (!files.flushFiles(names) || !files.flushFolder(folder)) return failed();
    const std::optional<FileIdentity> original = files.identify(source);
    if (!original) return failed();
    for (const Text& name : names) {
        const std::optional<FileIdentity> volume = files.identify(name);
        if (!volume) return {SourceVerdict::NotWhole, Text(), Text()};
        if (*volume == *original) return {SourceVerdict::IsOutput, Text(), Text()};
    }
    const Comparison comparison = volumesEqualSource(files, source, names, addedMark, form);
    if (!comparison.unreadable.empty())
        return {SourceVerdict::Unreadable, comparison.reason, comparison.unreadable};
    if (!comparison.equal) return {SourceVerdict::NotWhole, Text(), Text()};
    if (!files.deleteFile(source)) return failed();
    return {SourceVerdict::Deleted, Text(), Text()};
}

}  // namespace folioknife::splitter
