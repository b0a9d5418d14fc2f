#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/ExpressionMatcher.h"
#include "splitter/SourceDocument.h"

namespace folioknife::splitter {

// One stretch of the text, from a heading's start to the next (the first piece is the
// preface, possibly empty). A view into the document's stream.
using ChapterPiece = std::string_view;

// Up to N consecutive pieces. Pieces that lie next to each other in memory are kept as one
// span, so a volume cut from one text is usually a single span.
struct Volume {
    std::vector<std::string_view> spans;
    std::uint64_t size() const;
};

// Cuts the stream at the start of every match: rewind, then read up to each heading and seek
// to it, then read the rest. n matches give n + 1 pieces.
std::vector<ChapterPiece> segmentChapters(DocumentStream& stream,
                                          const std::vector<ExpressionMatch>& matches);

// Joins the pieces N at a time; the last volume holds what remains.
std::vector<Volume> groupVolumes(const std::vector<ChapterPiece>& pieces, std::int64_t perVolume);

// The output directory, the separator, "novel_", k in decimal, ".txt". The directory is used
// as given: one that already ends in a separator gives a doubled one.
Text volumeFileName(const Text& outputDirectory, std::uint64_t k, const std::string& separator);

}  // namespace folioknife::splitter
