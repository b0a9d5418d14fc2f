#include "splitter/Volumes.h"

#include <string>

namespace folioknife::splitter {

std::uint64_t Volume::size() const {
    std::uint64_t n = 0;
    for (auto s : spans) n += s.size();
    return n;
}

std::vector<ChapterPiece> segmentChapters(DocumentStream& stream,
                                          const std::vector<ExpressionMatch>& matches) {
    std::vector<ChapterPiece> pieces;
    pieces.reserve(matches.size() + 1);
    stream.rewind();
    std::int64_t prev = 0;
    for (const ExpressionMatch& match : matches) {
        const std::int64_t pos = match.offset;
        pieces.push_back(stream.readView(pos - prev));
        prev = pos;
        // After a full read the position already stands at the heading; the seek makes the
        // next read start exactly there in every case.
        stream.seek(pos);
    }
    pieces.push_back(stream.readRestView());
    return pieces;
}

std::vector<Volume> groupVolumes(const std::vector<ChapterPiece>& pieces, std::int64_t perVolume) {
    std::vector<Volume> volumes;
    if (perVolume < 1) perVolume = 1;
    Volume current;
    std::int64_t count = 0;
    for (ChapterPiece piece : pieces) {
        if (!piece.empty()) {
            if (!current.spans.empty() &&
                current.spans.back().data() + current.spans.back().size() == piece.data()) {
                auto& last = current.spans.back();
                last = std::string_view(last.data(), last.size() + piece.size());
            } else {
                current.spans.push_back(piece);
            }
        }
        if (++count == perVolume) {
            volumes.push_back(std::move(current));
            current = Volume();
            count = 0;
        }
    }
    if (count != 0) volumes.push_back(std::move(current));
    return volumes;
}

Text volumeFileName(const Text& outputDirectory, std::uint64_t k, const std::string& separator) {
    return outputDirectory + separator + "novel_" + std::to_string(k) + ".txt";
}

}  // namespace folioknife::splitter
