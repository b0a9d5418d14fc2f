#include "splitter/VolumeFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <memory>
#include <string>

#include "splitter/VolumeNames.h"

namespace folioknife::splitter {

namespace {

// Temporary files carry the volume's name, so that one left by a split that was killed shows
// what it is, and the split's token, so that the next split removes only what this one left:
// name, kNewFileMark or kOldFileMark, token, then the characters createTemporary adds.
constexpr const char* kRecordHeader = "folioknife record 2\n";
// The first form of the record named only novel_K.txt, which reads the same way.
constexpr const char* kFirstRecordHeader = "folioknife record 1\n";
constexpr std::size_t kTokenLength = 8;
constexpr std::size_t kUniqueLength = 8;  // what createTemporary adds to a prefix

FileStatus writeSpans(OutputFile& file, const Volume& volume) {
    for (std::string_view span : volume.spans) {
        if (FileStatus written = file.write(span); !written) return written;
    }
    return {};
}

// The name that a failed step was for, and the system's reason; nothing when it succeeded.
std::optional<FileFailure> failedAt(const Text& name, const FileStatus& status) {
    if (status) return std::nullopt;
    return FileFailure{name, status.error()};
}

std::string newToken() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937 random{std::random_device{}()};
    std::string token;
    for (std::size_t i = 0; i < kTokenLength; ++i)
        token += kLetters[random() % (sizeof kLetters - 1)];
    return token;
}

bool isLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// True when 'fileName' is 'base', 'mark', 'token' and the characters that made it unique.
bool isOurName(const std::string& fileName, const std::string& base, const char* mark,
               const std::string& token) {
    const std::string head = base + mark + token;
    return !base.empty() && fileName.size() == head.size() + kUniqueLength &&
           fileName.compare(0, head.size(), head) == 0 &&
           std::all_of(fileName.end() - kUniqueLength, fileName.end(), isLetterOrDigit);
}

// True when 'fileName' is a temporary or set-aside name of the split with 'token', for any
// name.
bool isTokenName(const std::string& fileName, const std::string& token) {
    for (const char* mark : {kNewFileMark, kOldFileMark}) {
        const std::size_t tail = std::strlen(mark) + kTokenLength + kUniqueLength;
        if (fileName.size() > tail &&
            isOurName(fileName, fileName.substr(0, fileName.size() - tail), mark, token))
            return true;
    }
    return false;
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

// A name as the record holds it: the bytes that would end or cut a line, '%', and a '-' that
// begins it ("-" alone is no file) as %XX; every other byte as it is, in any code page.
std::string escapedName(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c <= 0x20 || c == '%' || c == 0x7F || (i == 0 && c == '-')) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::optional<std::string> unescapedName(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size() || !std::isxdigit(static_cast<unsigned char>(field[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(field[i + 2])))
            return std::nullopt;
        out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

// A name a record may hold: one name in the folder, none of the program's own.
bool isPlainName(const std::string& name, PathStyle style) {
    if (name.empty() || name == "." || name == ".." || isProgramFileName(name)) return false;
    const char* separators = style == PathStyle::Windows ? "/\\:" : "/";
    return name.find_first_of(separators) == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string recordText(const Record& record, PathStyle style) {
    std::string text = kRecordHeader;
    text += "token " + record.token + "\n";
    const auto bare = [&](const Text& path) {
        // A separator's byte may end a double-byte character of a name.
        return path.empty() ? Text("-") : escapedName(fileName(path, style));
    };
    for (const Placement& step : record.steps)
        text += "step\t" + bare(step.name) + "\t" + bare(step.temporary) + "\t" +
                bare(step.setAside) + "\n";
    return text;
}

// True when the file begins as a record of the split with 'token' does, or is what a split
// killed while it wrote that record left of its beginning (at the temporary name that carries
// the token, given by the caller): an empty file there holds nothing to lose.
bool provesRecord(FileService& files, const Text& path, const std::string& token) {
    Expected<std::unique_ptr<InputFile>> file = files.openForReading(path);
    if (!file) return false;
    std::string text;
    const std::string head = kRecordHeader + ("token " + token + "\n");
    // A read that fails part-way proves nothing beyond what it read.
    static_cast<void>(readToEnd(**file, text, head.size()));
    return head.compare(0, std::min(text.size(), head.size()), text, 0, head.size()) == 0;
}

// True when the file at the record's name is what a power cut or a kill leaves of a record of
// ours that names nothing yet: empty, or its header (or the start of it) without a token line.
// It holds nothing to lose or to put back.
bool isRecordRemnant(FileService& files, const Text& path) {
    Expected<std::unique_ptr<InputFile>> file = files.openForReading(path);
    if (!file) return false;
    std::string text;
    const std::size_t size = std::strlen(kRecordHeader);
    // A read that fails part-way is judged by what it read.
    static_cast<void>(readToEnd(**file, text, size + 1));
    for (const char* header : {kRecordHeader, kFirstRecordHeader}) {
        const std::size_t n = std::min(text.size(), size);
        if (text.compare(0, n, header, n) == 0) return true;
    }
    return false;
}

// The record as the folder holds it, when it is one of ours; only names of our own making are
// taken from it, so a record that someone wrote by hand can touch no other file.
std::optional<Record> readRecord(FileService& files, const Text& folder, PathStyle style) {
    Expected<std::unique_ptr<InputFile>> file =
        files.openForReading(joinPath(folder, kRecordFileName, style));
    if (!file) return std::nullopt;
    // What was read before a read failed still counts: a line cut short is passed over.
    std::string text;
    static_cast<void>(readToEnd(**file, text, std::size_t{64} << 20));
    if (text.rfind(kRecordHeader, 0) != 0 && text.rfind(kFirstRecordHeader, 0) != 0)
        return std::nullopt;
    Record record;
    std::size_t at = std::strlen(kRecordHeader);
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // a line cut short by a power cut
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.rfind("token ", 0) == 0 && line.size() == 6 + kTokenLength) {
            if (record.token.empty()) record.token = line.substr(6);
            continue;
        }
        std::vector<std::string> fields;
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        if (fields.size() != 4 || fields[0] != "step" || record.token.empty()) continue;
        std::optional<std::string> names[3];
        for (int i = 0; i < 3; ++i)
            names[i] = fields[i + 1] == "-" ? std::string() : unescapedName(fields[i + 1]);
        if (!names[0] || !names[1] || !names[2] || !isPlainName(*names[0], style)) continue;
        const auto ours = [&](const std::string& f, const char* mark) {
            return f.empty() || isOurName(f, *names[0], mark, record.token);
        };
        if (!ours(*names[1], kNewFileMark) || !ours(*names[2], kOldFileMark)) continue;
        const auto full = [&](const std::string& f) {
            return f.empty() ? Text() : joinPath(folder, f, style);
        };
        record.steps.push_back({full(*names[0]), full(*names[1]), full(*names[2])});
    }
    if (record.token.empty()) return std::nullopt;
    return record;
}

// Writes the record in one step. A temporary file that will not go carries the record's token:
// the next split's recovery removes it.
FileStatus writeRecord(FileService& files, PathStyle style, const Text& folder,
                       const Record& record, bool durable) {
    const FileStatus status = writeInOneStep(
        files, joinPath(folder, kRecordFileName, style), recordText(record, style),
        joinPath(folder, std::string(kRecordFileName) + kNewFileMark + record.token, style),
        durable);
    if (!status) return status;
    return durable ? files.flushFolder(folder) : FileStatus();
}

// Puts names back as a record tells, and removes files of ours; every step's result is looked
// at, and the first that failed is kept (one that leaves old bytes elsewhere before any
// other).
class Undo {
public:
    Undo(FileService& files, std::optional<FileIdentity> keep) : files_(files), keep_(keep) {}
    bool there(const Text& path) {
        return !path.empty() && files_.entryKind(path) != FileKind::Missing;
    }
    bool isKept(const Text& path) {
        if (!keep_) return false;
        const Expected<FileIdentity> id = files_.identify(path);
        return id && *id == *keep_;
    }
    // Removes a file of ours; never the novel.
    void remove(const Text& path) {
        if (!there(path) || isKept(path)) return;
        if (FileStatus removed = files_.deleteFile(path); !removed)
            note({path, Text(), removed.error().reason});
    }
    // Back as it was, the latest change first. A rename is all or nothing, so each name's state
    // shows how far it got: the new bytes still at their temporary name were not placed; a
    // name missing while its old bytes are set aside was cleared but not yet given the new.
    // First every name gets back what it held; only then are the placeholders removed, and
    // then the temporary files: should a step fail, the names and the files of ours still
    // tell the next split (which reads the same record) how far this one got.
    void run(const std::vector<Placement>& steps) {
        std::vector<Text> placeholders;
        std::vector<Text> temporaries;
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            const bool waiting = there(it->temporary);
            const bool placed = !it->temporary.empty() && !waiting;
            if (placed && it->setAside.empty()) {
                remove(it->name);
            } else if (there(it->setAside)) {
                if (placed || !there(it->name)) {
                    restore(*it);
                } else {
                    placeholders.push_back(it->setAside);  // still the empty placeholder
                }
            }
            if (waiting) temporaries.push_back(it->temporary);
        }
        for (const std::vector<Text>* files : {&placeholders, &temporaries}) {
            if (failure_) return;
            for (const Text& file : *files) remove(file);
        }
    }
    void note(RestoreFailure failure) {
        if (!failure_ || (failure_->oldBytes.empty() && !failure.oldBytes.empty()))
            failure_ = std::move(failure);
    }
    const std::optional<RestoreFailure>& failure() const { return failure_; }

private:
    // What the name holds now is what the split placed there (its temporary is gone), or
    // nothing: the old bytes go back over it. The novel is never moved away from its name.
    void restore(const Placement& step) {
        if (isKept(step.setAside)) return note({step.name, step.setAside, Text()});
        if (FileStatus back = files_.replaceFile(step.setAside, step.name); !back)
            note({step.name, step.setAside, back.error().reason});
    }

    FileService& files_;
    std::optional<FileIdentity> keep_;
    std::optional<RestoreFailure> failure_;
};

}  // namespace

std::vector<FoundVolume> findVolumes(FileService& files, PathStyle style, const Text& folder,
                                     const std::vector<std::string>& listed) {
    std::vector<FoundVolume> found;
    for (const std::string& name : listed) {
        if (const std::uint64_t k = volumeNumberOf(name, style))
            found.push_back({k, joinPath(folder, name, style)});
    }
    if (found.empty()) {
        // Nothing listed: an empty folder, or one that cannot be read.
        for (std::uint64_t k = 1;; ++k) {
            const Text path = volumeFileName(folder, k, style);
            if (files.entryKind(path) == FileKind::Missing) break;
            found.push_back({k, path});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const FoundVolume& a, const FoundVolume& b) { return a.number < b.number; });
    return found;
}

bool holdsFolderMark(FileService& files, PathStyle style, const Text& folder) {
    Expected<std::unique_ptr<InputFile>> file =
        files.openForReading(joinPath(folder, kFolderMarkName, style));
    if (!file) return false;
    std::string text;
    // A read that fails part-way is judged by what it read.
    static_cast<void>(readToEnd(**file, text, std::strlen(kFolderMarkHeader)));
    return text.rfind(kFolderMarkHeader, 0) == 0;
}

namespace {

// True when the name is a file of its own (no link, no folder) that holds exactly the volume's
// bytes already, as a re-split of an unchanged novel finds it: setting it aside and writing it
// again would change nothing but cost a file's creation, two renames and an unlink.
bool holdsAlready(FileService& files, const Text& name, const Volume& volume) {
    if (files.entryKind(name) != FileKind::Regular) return false;
    Expected<std::unique_ptr<InputFile>> file = files.openForReading(name);
    if (!file) return false;
    const std::optional<std::uint64_t> size = (*file)->size();
    if (!size || *size != volume.size()) return false;
    std::string block;
    for (std::string_view span : volume.spans) {
        while (!span.empty()) {
            block.resize(std::min<std::size_t>(span.size(), std::size_t{1} << 20));
            std::size_t got = 0;
            while (got < block.size()) {
                const Expected<std::size_t> n = (*file)->read(&block[got], block.size() - got);
                if (!n || *n == 0) return false;
                got += *n;
            }
            if (span.compare(0, got, block) != 0) return false;
            span.remove_prefix(got);
        }
    }
    char extra;
    const Expected<std::size_t> n = (*file)->read(&extra, 1);
    return n && *n == 0;
}

// Volume k as its file holds it: its spans, or the bytes 'encode' makes of it ('bytes' holds
// them then). Nothing when they cannot be made.
const Volume* volumeAsWritten(const std::vector<Volume>& volumes, std::size_t k,
                              const VolumeEncoder& encode, std::string& bytes, Volume& encoded) {
    if (!encode) return &volumes[k];
    std::optional<std::string> made = encode(k);
    if (!made) return nullptr;
    bytes = std::move(*made);
    encoded.spans.assign(1, bytes);
    return &encoded;
}

FileFailure unconvertibleAt(const Text& name, std::size_t k) {
    FileFailure failure{name, FileError{FileOperation::Write, name, 0, {}}};
    failure.unconvertible = k;
    return failure;
}

// Each volume into a temporary file beside its name, which its step records; a name that
// holds its volume's bytes already ('kept') is left as it is.
std::optional<FileFailure> writeTemporaries(FileService& files, const std::vector<Text>& names,
                                            const std::vector<Volume>& volumes,
                                            const std::vector<bool>& kept, Record& record,
                                            const VolumeEncoder& encode, bool durable) {
    std::string bytes;
    Volume encoded;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (kept[k]) continue;
        const Volume* volume = volumeAsWritten(volumes, k, encode, bytes, encoded);
        if (!volume) return unconvertibleAt(names[k], k);
        record.steps.push_back({names[k], Text(), Text()});
        Expected<std::unique_ptr<OutputFile>> file = files.createTemporary(
            names[k] + kNewFileMark + record.token, record.steps.back().temporary);
        if (!file) return failedAt(names[k], file.error());
        const FileStatus written = writeSpans(**file, *volume);
        // The disk writes each volume while the next ones are made: the flush at the end
        // then waits for the last ones only.
        if (durable && written) (*file)->startFlush();
        // A failed close may mean the data never reached the disk.
        const FileStatus closed = (*file)->close();
        if (auto failure = failedAt(names[k], written ? closed : written)) return failure;
    }
    return std::nullopt;
}

// A placeholder for what stands at each name, which the rename out of the way replaces. A
// folder cannot be set aside: the rename into its name fails and says why. A link is set aside
// like a file, so that a failed split gives it back. A step with a placeholder has its
// 'setAside' name.
std::optional<FileFailure> makePlaceholders(FileService& files, Record& record) {
    for (Placement& step : record.steps) {
        const FileKind kind = files.entryKind(step.name);
        if (kind == FileKind::Missing || kind == FileKind::Directory) continue;
        Expected<std::unique_ptr<OutputFile>> placeholder =
            files.createTemporary(step.name + kOldFileMark + record.token, step.setAside);
        if (!placeholder) return failedAt(step.name, placeholder.error());
        // The placeholder only holds the name: it has no bytes to lose.
        static_cast<void>((*placeholder)->close());
    }
    return std::nullopt;
}

// Each name's old file set aside, then its new one given the name.
std::optional<FileFailure> placeVolumes(FileService& files, const std::vector<Placement>& steps) {
    for (const Placement& step : steps) {
        if (!step.setAside.empty()) {
            if (auto failure = failedAt(step.name, files.replaceFile(step.name, step.setAside)))
                return failure;
        }
        if (!step.temporary.empty()) {
            if (auto failure = failedAt(step.name, files.replaceFile(step.temporary, step.name)))
                return failure;
        }
    }
    return std::nullopt;
}

std::vector<Text> temporariesOf(const std::vector<Placement>& steps) {
    std::vector<Text> temporaries;
    for (const Placement& step : steps)
        if (!step.temporary.empty()) temporaries.push_back(step.temporary);
    return temporaries;
}

// A failed flush as the user is told it: the volume whose bytes did not reach the disk, or the
// folder whose names did not; 'other' for a failure of any other step.
std::optional<FileFailure> failedFlush(const FileStatus& status, const Text& folder,
                                       const std::vector<Placement>& steps, const Text& other,
                                       const std::vector<Text>& kept = {}) {
    if (status) return std::nullopt;
    const FileError& error = status.error();
    if (error.operation == FileOperation::Flush) {
        if (error.path == folder) return FileFailure{folder, error, true};
        for (const Placement& step : steps) {
            if (step.temporary == error.path) return FileFailure{step.name, error};
        }
        // A volume left as it was, flushed by its own name.
        for (const Text& name : kept) {
            if (name == error.path) return FileFailure{name, error};
        }
    }
    return FileFailure{other, error};
}

// With every volume already in place: the volumes that stand in for a deleted source still
// reach the disk ('durable'), with the folder's names.
std::optional<FileFailure> flushKept(FileService& files, const Text& folder,
                                     const std::vector<Text>& names, bool durable) {
    if (!durable) return std::nullopt;
    if (auto failure = failedFlush(files.flushFiles(names), folder, {}, names.front(), names))
        return failure;
    return failedFlush(files.flushFolder(folder), folder, {}, folder);
}

// After a failed step: the names get back what they had; what could not be put back stays in
// the record, for the next split to try again.
FileFailure undoInstall(FileService& files, const Record& record, const Text& recordPath,
                        FileFailure failure) {
    Undo undo(files, std::nullopt);
    undo.run(record.steps);
    failure.notRestored = undo.failure();
    // A record that will not go names only changes that were undone; the next split's
    // recovery finds nothing to do but remove it.
    if (!failure.notRestored) static_cast<void>(files.deleteFile(recordPath));
    return failure;
}

// What stood at the names is no longer wanted. One that cannot be unlinked keeps the record,
// so that the next split into the folder removes it.
void removeSetAside(FileService& files, const Record& record, const Text& recordPath) {
    std::vector<Text> setAside;
    for (const Placement& step : record.steps) {
        if (!step.setAside.empty()) setAside.push_back(step.setAside);
    }
    const std::vector<FileStatus> results = files.deleteFiles(setAside);
    const bool left = std::any_of(results.begin(), results.end(),
                                  [](const FileStatus& deleted) { return !deleted; });
    // A record that will not go names only placed volumes: the next split's recovery
    // finishes it, which is removing it.
    if (!left) static_cast<void>(files.deleteFile(recordPath));
}

// A record a split was killed while writing, before it took its name: its own header and the
// token its name carries prove it ours. True when one was removed.
bool removeUnnamedRecords(FileService& files, PathStyle style, const Text& folder,
                          const std::vector<std::string>& names, Undo& undo) {
    bool changed = false;
    const std::string recordTemporary = std::string(kRecordFileName) + kNewFileMark;
    for (const std::string& name : names) {
        if (name.size() != recordTemporary.size() + kTokenLength + kUniqueLength ||
            name.rfind(recordTemporary, 0) != 0)
            continue;
        const std::string token = name.substr(recordTemporary.size(), kTokenLength);
        const Text path = joinPath(folder, name, style);
        if (isOurName(name, kRecordFileName, kNewFileMark, token) &&
            provesRecord(files, path, token)) {
            undo.remove(path);
            changed = true;
        }
    }
    return changed;
}

// Every new volume placed: the split got past its last rename, only the unlinking was left;
// finish it. Otherwise put back what it changed.
void finishOrUndo(const Record& record, Undo& undo) {
    bool allPlaced = false;
    for (const Placement& step : record.steps) {
        if (step.temporary.empty()) continue;
        allPlaced = true;
        if (undo.there(step.temporary)) {
            allPlaced = false;
            break;
        }
    }
    if (!allPlaced) {
        undo.run(record.steps);
        return;
    }
    for (const Placement& step : record.steps) {
        // A name that was only to be cleared may not have been set aside yet.
        if (step.temporary.empty() && undo.there(step.setAside)) undo.remove(step.name);
        undo.remove(step.setAside);
    }
}

}  // namespace

std::optional<FileFailure> installVolumes(FileService& files, PathStyle style, const Text& folder,
                                          const std::vector<Text>& names,
                                          const std::vector<Volume>& volumes,
                                          const std::vector<Text>& removed, bool durable,
                                          const VolumeEncoder& encode) {
    const Text recordPath = joinPath(folder, kRecordFileName, style);
    std::vector<bool> kept(names.size(), false);
    std::vector<Text> keptNames;
    std::string bytes;
    Volume encoded;
    for (std::size_t k = 0; k < names.size(); ++k) {
        // A converted volume is made only to be compared with a file there.
        if (encode && files.entryKind(names[k]) != FileKind::Regular) continue;
        const Volume* volume = volumeAsWritten(volumes, k, encode, bytes, encoded);
        if (!volume) return unconvertibleAt(names[k], k);
        kept[k] = holdsAlready(files, names[k], *volume);
        if (kept[k]) keptNames.push_back(names[k]);
    }
    if (keptNames.size() == names.size() && removed.empty())
        return flushKept(files, folder, keptNames, durable);
    Record record;
    record.token = newToken();
    // Before the first temporary file: the next split must know which are ours. Nothing took
    // the record's name when this fails.
    if (auto failure = failedAt(recordPath, writeRecord(files, style, folder, record, false)))
        return failure;
    std::optional<FileFailure> failure =
        writeTemporaries(files, names, volumes, kept, record, encode, durable);
    for (const Text& name : removed) record.steps.push_back({name, Text(), Text()});
    if (!failure) failure = makePlaceholders(files, record);
    const bool replacing =
        std::any_of(record.steps.begin(), record.steps.end(),
                    [](const Placement& step) { return !step.setAside.empty(); });
    // What is set aside is unlinked later, so the new bytes reach the disk before any name
    // changes, and the record before the first rename; the volumes left as they were are
    // flushed with them, for a source to be deleted.
    durable = durable || replacing;
    if (!failure && durable) {
        std::vector<Text> flushed = temporariesOf(record.steps);
        flushed.insert(flushed.end(), keptNames.begin(), keptNames.end());
        failure =
            failedFlush(files.flushFiles(flushed), folder, record.steps, names.front(), keptNames);
    }
    if (!failure)
        failure = failedFlush(writeRecord(files, style, folder, record, durable), folder,
                              record.steps, recordPath);
    if (!failure) failure = placeVolumes(files, record.steps);
    if (!failure && durable)
        failure = failedFlush(files.flushFolder(folder), folder, record.steps, folder);

    if (failure) return undoInstall(files, record, recordPath, std::move(*failure));
    removeSetAside(files, record, recordPath);
    return std::nullopt;
}

Recovery recoverFolder(FileService& files, PathStyle style, const Text& folder,
                       std::optional<FileIdentity> keep) {
    const Text recordPath = joinPath(folder, kRecordFileName, style);
    Undo undo(files, keep);
    Recovery result;
    result.names = files.listFolder(folder);
    const bool changed = removeUnnamedRecords(files, style, folder, result.names, undo);
    const auto done = [&](bool relist) {
        result.failure = undo.failure();
        if (relist) result.names = files.listFolder(folder);
        return result;
    };
    if (files.entryKind(recordPath) == FileKind::Missing) return done(changed);
    const std::optional<Record> record =
        undo.isKept(recordPath) ? std::nullopt : readRecord(files, folder, style);
    if (!record) {
        if (undo.isKept(recordPath) || !isRecordRemnant(files, recordPath)) {
            result.recordNameTaken = true;
            return done(changed);
        }
        undo.remove(recordPath);
        return done(true);
    }
    finishOrUndo(*record, undo);
    // Temporary files written before the record named them.
    for (const std::string& name : result.names) {
        if (!undo.failure() && isTokenName(name, record->token))
            undo.remove(joinPath(folder, name, style));
    }
    if (!undo.failure()) {
        if (FileStatus removed = files.deleteFile(recordPath); !removed)
            undo.note({recordPath, Text(), removed.error().reason});
    }
    return done(true);
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
                Expected<std::unique_ptr<InputFile>> file = files_.openForReading(names_[next_++]);
                if (!file) return unreadable(file.error());
                current_ = std::move(*file);
                if (next_ > 1 && !skipMark()) return -1;
            }
            const Expected<std::size_t> n = current_->read(buffer, capacity);
            if (!n) return unreadable(n.error());
            if (*n != 0) return static_cast<std::int64_t>(*n);
            current_.reset();
        }
    }

    // The volume that could not be opened or read, and why; empty when none.
    Text failedName;
    Text failedReason;

private:
    std::int64_t unreadable(const FileError& error) {
        failedName = names_[next_ - 1];
        failedReason = error.reason;
        return -1;
    }
    // A volume in another encoding is read whole and converted back at once (a character
    // may span the blocks the file is read in).
    std::int64_t readConverted(char* buffer, std::size_t capacity) {
        while (at_ == back_.size()) {
            if (next_ == names_.size()) return 0;
            Expected<std::unique_ptr<InputFile>> file = files_.openForReading(names_[next_++]);
            if (!file) return unreadable(file.error());
            std::string written;
            if (const FileStatus read = readToEnd(**file, written); !read)
                return unreadable(read.error());
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
            const Expected<std::size_t> n = current_->read(&head[got], head.size() - got);
            if (!n) return unreadable(n.error()), false;
            if (*n == 0) return false;
            got += *n;
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
    Expected<std::unique_ptr<InputFile>> original = files.openForReading(source);
    if (!original) return {false, source, original.error().reason};
    JoinedVolumes joined(files, names, addedMark, form);
    Comparison result;
    result.equal = sameBytes(
        [&](char* p, std::size_t c) -> std::int64_t {
            const Expected<std::size_t> n = (*original)->read(p, c);
            if (n) return static_cast<std::int64_t>(*n);
            result = {false, source, n.error().reason};
            return -1;
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
                                   std::string_view addedMark, const VolumeForm* form,
                                   bool flushed) {
    const auto failed = [](const FileError& error) {
        return SourceDeletion{SourceVerdict::Failed, error.reason, Text()};
    };
    // On stable storage before anything else: what a power cut could still take must not be
    // what the source is deleted for, nor what stands in for older bytes that are gone.
    if (!flushed) {
        if (FileStatus status = files.flushFiles(names); !status) return failed(status.error());
        if (FileStatus status = files.flushFolder(folder); !status) return failed(status.error());
    }
    const Expected<FileIdentity> original = files.identify(source);
    if (!original) return failed(original.error());
    for (const Text& name : names) {
        const Expected<FileIdentity> volume = files.identify(name);
        if (!volume) return {SourceVerdict::NotWhole, Text(), Text()};
        if (*volume == *original) return {SourceVerdict::IsOutput, Text(), Text()};
    }
    const Comparison comparison = volumesEqualSource(files, source, names, addedMark, form);
    if (!comparison.unreadable.empty())
        return {SourceVerdict::Unreadable, comparison.reason, comparison.unreadable};
    if (!comparison.equal) return {SourceVerdict::NotWhole, Text(), Text()};
    if (FileStatus deleted = files.deleteFile(source); !deleted) return failed(deleted.error());
    return {SourceVerdict::Deleted, Text(), Text()};
}

}  // namespace folioknife::splitter
