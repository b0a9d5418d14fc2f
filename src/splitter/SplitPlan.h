#pragma once
// The one value between reading a novel and writing anything: what every front end's split,
// listing and book is made from, so that the window and the command line never disagree.
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "splitter/ChapterExpression.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/CodePage.h"
#include "splitter/CustomMatcher.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/ExpressionMatcher.h"
#include "splitter/Messages.h"
#include "splitter/Recode.h"
#include "splitter/SharedBytes.h"
#include "splitter/SourceDocument.h"
#include "splitter/SplitSettings.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

// What the plan is made for; each makes only the checks that concern it.
enum class PlanUse {
    Volumes,  // files of N chapters: every check
    Listing,  // the volumes shown, nothing written: no output folder needed, no names compared
    Book,     // one document a chapter: no volumes, so no chapter count
};

struct SplitPlan {
    // The message of the first check that failed; nothing when the plan is ready.
    std::optional<Message> refusal;
    bool ready() const { return !refusal; }

    ChapterExpression expression;
    // The expression compiled once, for the search: the default expression's matcher in
    // default mode, else the custom expression's. Shared, as the plan is copied.
    std::shared_ptr<const ExpressionMatcher> defaultMatcher;
    std::shared_ptr<const CustomMatcher> customMatcher;
    // The text planned and its encoding, kept alive for the plan's views: a message box of a
    // split lets the user open another novel before the split is over.
    SharedBytes text;
    DocumentEncoding encoding;
    HeadingRules rules;
    // The headings, and what the rules left out.
    HeadingSearch search;
    std::int32_t perVolume = 0;
    // How the volumes are written: in the novel's bytes, or converted.
    VolumeForm form;
    // The volumes, views into 'text'; volume k begins at starts[k - 1] in it; its file name
    // (without a folder) is names[k - 1].
    std::vector<Volume> volumes;
    std::vector<std::uint64_t> starts;
    std::vector<Text> names;
    // For the user once the headings are known: the suffix that took the place of the one
    // asked for, or that no heading was found (and, every match counting, which suffix would
    // have found some). At most one of them.
    std::optional<Message> suffixNote;
    std::optional<Message> headingsNote;

    const std::vector<ExpressionMatch>& headings() const { return search.headings; }
    // The volume (1-based) that holds the byte at 'offset' of the text.
    std::size_t volumeAt(std::int64_t offset) const;
};

// The checks in their order (the first that fails is the only one reported), the expression,
// the headings, the volumes and their names, from the loaded novel and the settings, each
// setting read once.
SplitPlan planSplit(SourceDocument& document, SplitSettings& settings,
                    PlanUse use = PlanUse::Volumes);

// The rules that sort the matches: the line rule in default mode, the contents rule in both,
// neither when every match is to count.
HeadingRules headingRulesFor(bool defaultMode, bool anywhere);

// When no heading is found: the suffix of headingWords::kSuffixes but the default that finds
// the most headings with the same prefix and rules, at least three (the first of them when two
// find as many), and how many it finds.
std::optional<std::pair<Text, std::int64_t>> suggestSuffix(const Text& prefix,
                                                           std::string_view text,
                                                           const DocumentEncoding& encoding,
                                                           HeadingRules rules);

// The byte-order mark that every volume after the first begins with, as the novel 'text' does:
// UTF-16's whenever the novel is UTF-16 (its files are told by it), UTF-8's when the novel
// begins with it; empty otherwise. The volumes joined without these marks are the novel.
std::string_view volumeMarkOf(std::string_view text, const DocumentEncoding& encoding);

// The volumes as a split writes them, before any byte-order mark is added or any conversion
// made: the pieces grouped N at a time, and within 'maxBytes' (0: no limit) as the volumes'
// files count them in the encoding 'form' writes.
std::vector<Volume> planVolumes(std::vector<ChapterPiece> pieces, std::int64_t perVolume,
                                std::uint64_t maxBytes, const DocumentEncoding& encoding,
                                const VolumeForm& form);

// The file names of the volumes (without their folder), from the settings' pattern; volume k
// begins at starts[k - 1] in 'text'. A volume's title is that of the first heading in it; a
// volume without one continues the chapter before it and takes its title, and the preface
// takes its first line's.
std::vector<Text> volumeNames(SplitSettings& settings, std::string_view text,
                              const std::vector<ExpressionMatch>& matches,
                              const std::vector<Volume>& volumes,
                              const std::vector<std::uint64_t>& starts,
                              const DocumentEncoding& encoding);

}  // namespace folioknife::splitter
