#include "splitter/VolumeFiles.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace folioknife::splitter {

namespace {

// Temporary files carry the volume's name, so that one left by a split that was killed shows
// what it is.
constexpr const char* kNewSuffix = ".folioknife-new-";
constexpr const char* kOldSuffix = ".folioknife-old-";

bool writeSpans(OutputFile& file, const Volume& volume) {
    for (std::string_view span : volume.spans) {
        if (!file.write(span)) return false;
    }
    return true;
}

// One volume's way into place.
struct Placement {
    Text name;
    Text temporary;  // the new bytes, until they are given the name
    Text setAside;   // what stood at the name, when there was something
    bool placed = false;
};

}  // namespace

std::optional<FileFailure> installVolumes(FileService& files, const std::vector<Text>& names,
                                          const std::vector<Volume>& volumes) {
    std::vector<Placement> steps(names.size());
    std::optional<FileFailure> failure;
    const auto failAt = [&](const Text& name) { failure = FileFailure{name, files.lastFailure()}; };

    for (std::size_t k = 0; k < names.size() && !failure; ++k) {
        steps[k].name = names[k];
        std::unique_ptr<OutputFile> file =
            files.createTemporary(names[k] + kNewSuffix, steps[k].temporary);
        if (!file) {
            failAt(names[k]);
            break;
        }
        const bool written = writeSpans(*file, volumes[k]);
        if (!written) failAt(names[k]);
        // A failed close may mean the data never reached the disk.
        if (!file->close() && written) failAt(names[k]);
    }

    for (std::size_t k = 0; k < steps.size() && !failure; ++k) {
        Placement& step = steps[k];
        const FileKind kind = files.kindOf(step.name);
        if (kind != FileKind::Missing && kind != FileKind::Directory) {
            // Set aside under a name of our own (a placeholder that the rename replaces), so
            // that it can be put back. A folder cannot be set aside: the rename below fails on
            // it and says why.
            std::unique_ptr<OutputFile> placeholder =
                files.createTemporary(step.name + kOldSuffix, step.setAside);
            if (!placeholder) {
                failAt(step.name);
                break;
            }
            placeholder->close();
            if (!files.replaceFile(step.name, step.setAside)) {
                failAt(step.name);
                files.deleteFile(step.setAside);
                step.setAside.clear();
                break;
            }
        }
        if (!files.replaceFile(step.temporary, step.name)) {
            failAt(step.name);
            break;
        }
        step.placed = true;
    }

    if (failure) {
        // Back as it was, the latest first.
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            if (it->placed) {
                if (!it->setAside.empty()) {
                    if (files.replaceFile(it->setAside, it->name)) it->setAside.clear();
                } else {
                    files.deleteFile(it->name);
                }
            } else if (!it->setAside.empty() && files.replaceFile(it->setAside, it->name)) {
                it->setAside.clear();
            }
            if (!it->placed && !it->temporary.empty()) files.deleteFile(it->temporary);
        }
        return failure;
    }
    // What stood at the names is no longer wanted.
    for (const Placement& step : steps) {
        if (!step.setAside.empty()) files.deleteFile(step.setAside);
    }
    return std::nullopt;
}

void removeAbandonedVolumes(FileService& files, const Text& folder, const std::string& separator) {
    for (const std::string& name : files.listFolder(folder)) {
        // novel_K.txt.folioknife-new-XXXXXXXX, nothing else.
        const std::size_t at = name.find(kNewSuffix);
        if (name.rfind("novel_", 0) == 0 && at != std::string::npos &&
            name.compare(at - 4, 4, ".txt") == 0 &&
            name.size() == at + std::strlen(kNewSuffix) + 8) {
            files.deleteFile(folder + separator + name);
        }
    }
}

namespace {

// Reads the volumes one after another, as one stream.
class JoinedVolumes {
public:
    // 'addedMark': the byte-order mark that begins every volume after the first but is no
    // part of the source; it is checked and passed over.
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
                if (!current_) return -1;
                if (next_ > 1 && !skipMark()) return -1;
            }
            const std::int64_t n = current_->read(buffer, capacity);
            if (n != 0) return n;
            current_.reset();
        }
    }

private:
    // A volume in another encoding is read whole and converted back at once (a character
    // may span the blocks the file is read in).
    std::int64_t readConverted(char* buffer, std::size_t capacity) {
        while (at_ == back_.size()) {
            if (next_ == names_.size()) return 0;
            std::unique_ptr<InputFile> file = files_.openForReading(names_[next_++]);
            if (!file) return -1;
            std::string written;
            char block[1 << 16];
            for (;;) {
                const std::int64_t n = file->read(block, sizeof block);
                if (n < 0) return -1;
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
            if (n <= 0) return false;
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

// True when the volumes joined hold exactly the bytes of the source file, as both are on disk.
bool volumesEqualSource(FileService& files, const Text& source, const std::vector<Text>& names,
                        std::string_view addedMark, const VolumeForm* form) {
    std::unique_ptr<InputFile> original = files.openForReading(source);
    if (!original) return false;
    JoinedVolumes joined(files, names, addedMark, form);
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::unique_ptr<char[]> a(new char[kBlock]), b(new char[kBlock]);
    for (;;) {
        const std::int64_t n =
            readFull([&](char* p, std::size_t c) { return original->read(p, c); }, a.get(), kBlock);
        const std::int64_t m =
            readFull([&](char* p, std::size_t c) { return joined.read(p, c); }, b.get(), kBlock);
        if (n < 0 || m < 0 || n != m) return false;
        if (n == 0) return true;
        if (std::memcmp(a.get(), b.get(), static_cast<std::size_t>(n)) != 0) return false;
    }
}

}  // namespace

SourceDeletion deleteSourceIfWhole(FileService& files, const Text& source,
                                   const std::vector<Text>& names, const Text& folder,
                                   std::string_view addedMark, const VolumeForm* form) {
    const auto failed = [&] { return SourceDeletion{SourceVerdict::Failed, files.lastFailure()}; };
    const std::optional<FileIdentity> original = files.identify(source);
    if (!original) return failed();
    for (const Text& name : names) {
        const std::optional<FileIdentity> volume = files.identify(name);
        if (!volume) return {SourceVerdict::NotWhole, Text()};
        if (*volume == *original) return {SourceVerdict::IsOutput, Text()};
    }
    // On stable storage before they are read back: what a power cut could still take must not
    // be what the source is deleted for.
    if (!files.flushFiles(names) || !files.flushFolder(folder)) return failed();
    if (!volumesEqualSource(files, source, names, addedMark, form))
        return {SourceVerdict::NotWhole, Text()};
    if (!files.deleteFile(source)) return failed();
    return {SourceVerdict::Deleted, Text()};
}

}  // namespace folioknife::splitter
