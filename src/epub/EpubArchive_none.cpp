// A build without a zip library (the Windows build) writes no EPUB.
#include "epub/EpubArchive.h"

namespace folioknife::epub {

bool archivesAvailable() { return false; }

std::optional<std::string> writeArchive(const std::vector<ArchiveEntry>&,
                                        const std::function<bool(std::string_view)>&) {
    return std::string("this build writes no EPUB");
}

ArchiveReader::ArchiveReader(std::string_view) : failure_("this build reads no EPUB") {}
ArchiveReader::~ArchiveReader() = default;
std::vector<std::string> ArchiveReader::names() const { return {}; }
bool ArchiveReader::isStored(const std::string&) const { return false; }
std::optional<std::string> ArchiveReader::read(const std::string&) const { return std::nullopt; }

}  // namespace folioknife::epub
