#include "splitter/SplitPlan.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <set>
#include <utility>

#include "splitter/Ascii.h"
#include "splitter/ChapterExpression.h"
#include "splitter/HeadingWords.h"
#include "splitter/TextToInteger.h"
#include "splitter/VolumeNames.h"

namespace folioknife::splitter {

HeadingRules headingRulesFor(bool defaultMode, bool anywhere) {
    HeadingRules rules;
    rules.lineRule = defaultMode && !anywhere;
    rules.contentsRule = !anywhere;
    return rules;
}

std::optional<std::pair<Text, std::int64_t>> suggestSuffix(const Text& prefix,
                                                           std::string_view text,
                                                           const DocumentEncoding& encoding,
                                                           HeadingRules rules) {
    // About one novel in ten heads its chapters 第…回 or the like.
    constexpr std::int64_t kFewest = 3;
    std::optional<std::pair<Text, std::int64_t>> best;
    for (const char* suffix : headingWords::kSuffixes) {
        if (std::string_view(suffix) == headingWords::kSuffix) continue;
        const Text inCodePage = programText(suffix);
        const HeadingSearch search =
            searchDefaultHeadings(prefix, inCodePage, text, encoding, rules);
        const auto found = static_cast<std::int64_t>(search.headings.size());
        if (search.status == HeadingSearch::Status::Done && found >= kFewest &&
            (!best || found > best->second)) {
            best.emplace(inCodePage, found);
        }
    }
    return best;
}

std::vector<Text> volumeNames(SplitSettings& settings, std::string_view text,
                              const std::vector<ExpressionMatch>& matches,
                              const std::vector<Volume>& volumes,
                              const std::vector<std::uint64_t>& starts,
                              const DocumentEncoding& encoding) {
    Text pattern = settings.volumeNamePattern();
    if (pattern.empty()) pattern = kDefaultVolumePattern;
    const bool titled = pattern.find("{title}") != Text::npos;
    const Text name = settings.novelName();
    std::vector<Text> names;
    for (std::size_t k = 1; k <= volumes.size(); ++k) {
        const std::uint64_t start = starts[k - 1];
        const std::uint64_t end = start + volumes[k - 1].size();
        Text title;
        if (titled) {
            const auto first =
                std::lower_bound(matches.begin(), matches.end(), start,
                                 [](const ExpressionMatch& m, std::uint64_t at) {
                                     return static_cast<std::uint64_t>(m.offset) < at;
                                 });
            std::size_t at = start;
            if (first != matches.end() && static_cast<std::uint64_t>(first->offset) < end) {
                at = static_cast<std::size_t>(first->offset);
            } else if (first != matches.begin()) {
                at = static_cast<std::size_t>(std::prev(first)->offset);
            } else {
                // The preface: its first line that holds more than blanks.
                const AsciiUnits units(encoding.characters);
                while (at + units.size <= end &&
                       std::strchr(" \t\r\n", units.asciiAt(text, at)) != nullptr)
                    at += units.size;
            }
            title = volumeTitle(text, at, encoding);
            if (title.empty()) title = std::to_string(k);
        }
        names.push_back(expandVolumePattern(pattern, name, k, volumes.size(), title));
    }
    return names;
}

std::string_view volumeMarkOf(std::string_view text, const DocumentEncoding& encoding) {
    std::string_view mark = byteOrderMarkOf(encoding.characters);
    if (encoding.characters == CharacterSet::Utf8) mark = "\xEF\xBB\xBF";
    return text.substr(0, mark.size()) == mark ? mark : std::string_view();
}

std::vector<Volume> planVolumes(std::vector<ChapterPiece> pieces, std::int64_t perVolume,
                                std::uint64_t maxBytes, const DocumentEncoding& encoding,
                                const VolumeForm& form) {
    // Volumes in another encoding: the novel's byte-order mark is no part of their text. A
    // heading right after the mark begins its line with it, and the preface is then empty.
    std::size_t mark = form.sourceMark.size();
    for (ChapterPiece& piece : pieces) {
        const std::size_t n = std::min(mark, piece.size());
        piece.remove_prefix(n);
        mark -= n;
        if (mark == 0) break;
    }
    if (maxBytes == 0) return groupVolumes(pieces, perVolume);
    MeasureBytes measure;
    if (!form.to.empty()) {
        measure = [&](std::string_view part) -> std::uint64_t {
            if (const auto converted = recode(part, encoding.codePage, form.to))
                return converted->size();
            // A character the encoding cannot hold (the split refuses it later, naming its
            // place): the others still count at their size in the encoding, so that the
            // sizes of the parts add up to that of the whole.
            std::uint64_t bytes = 0;
            for (std::size_t at = 0; at < part.size();) {
                const std::size_t next = nextCharacterBoundary(part, at, encoding.characters);
                const auto one = recode(part.substr(at, next - at), encoding.codePage, form.to);
                bytes += one ? one->size() : next - at;
                at = next;
            }
            return bytes;
        };
    }
    // The first piece begins where the text does.
    std::size_t reserve = form.mark.size();
    if (form.to.empty()) {
        reserve = byteOrderMarkOf(encoding.characters).size();
        if (!pieces.empty())
            reserve = std::max(reserve, volumeMarkOf(pieces.front(), encoding).size());
    }
    return groupVolumesWithin(pieces, perVolume, maxBytes, reserve, encoding.characters, measure);
}

std::size_t SplitPlan::volumeAt(std::int64_t offset) const {
    const auto after =
        std::upper_bound(starts.begin(), starts.end(), static_cast<std::uint64_t>(offset));
    // Before the first volume's start lies only a byte-order mark the volumes do not hold.
    return std::max<std::size_t>(1, static_cast<std::size_t>(after - starts.begin()));
}

namespace {

// The plan, refused with 'message': for the caller to return at once.
SplitPlan refused(SplitPlan& plan, MessageId message) {
    plan.refusal = Message(message);
    return std::move(plan);
}

// The expression the settings ask for, and whether it compiles; false when a check failed.
bool planExpression(SplitPlan& plan, SplitSettings& settings) {
    plan.expression = buildChapterExpression(settings);
    const ChapterExpression& e = plan.expression;
    if (!e.defaultMode && e.custom.empty()) {
        plan.refusal = Message{MessageId::NoExpression};
        return false;
    }
    CompileResult compiled;
    if (e.defaultMode) {
        auto matcher = std::make_shared<ExpressionMatcher>();
        compiled = compileDefaultExpression(*matcher, e.prefix, e.suffix, plan.encoding);
        plan.defaultMatcher = std::move(matcher);
    } else {
        auto matcher = std::make_shared<CustomMatcher>();
        compiled = matcher->compile(e.custom);
        plan.customMatcher = std::move(matcher);
    }
    if (!compiled.ok) {
        const std::string reason = compiled.reason.empty() ? "?" : compiled.reason;
        plan.refusal = compiled.placed
                           ? Message{MessageId::InvalidExpressionAt,
                                     {programText(reason), std::to_string(compiled.character + 1)}}
                           : Message{MessageId::InvalidExpression, {programText(reason)}};
        return false;
    }
    return true;
}

// What the user is told about the headings once the volumes are written or listed.
void planHeadingNotes(SplitPlan& plan, SplitSettings& settings) {
    const auto found = static_cast<std::int64_t>(plan.headings().size());
    if (plan.search.otherSuffix) {
        plan.suffixNote =
            Message{MessageId::OtherSuffixUsed,
                    {plan.expression.suffix, plan.search.suffix, std::to_string(found)}};
    } else if (plan.search.form != HeadingForm::Suffix) {
        const MessageId id = plan.search.form == HeadingForm::WordFirst ? MessageId::WordFirstUsed
                             : plan.search.form == HeadingForm::English
                                 ? MessageId::EnglishHeadingsUsed
                                 : MessageId::NumberedLinesUsed;
        plan.suffixNote =
            Message{id, {plan.expression.suffix, plan.search.formMark, std::to_string(found)}};
    } else if (found == 0) {
        // The whole novel goes into one file. Every match counting, name the suffix that would
        // have found headings.
        const auto better =
            plan.expression.defaultMode && settings.anywhere()
                ? suggestSuffix(plan.expression.prefix, plan.text.view(), plan.encoding, plan.rules)
                : std::nullopt;
        plan.headingsNote = better ? Message{MessageId::SuffixWouldFind,
                                             {better->first, std::to_string(better->second)}}
                                   : Message{MessageId::NoHeadings};
    }
}

// The volumes, where each begins, and their names; refused when two names are one.
void planFiles(SplitPlan& plan, SplitSettings& settings, PlanUse use) {
    const std::string_view text = plan.text.view();
    const std::string to = settings.volumeEncoding();
    plan.form = to.empty() ? VolumeForm() : volumeFormFor(text, plan.encoding, to);
    // A heading whose line begins with the novel's byte-order mark begins after it there: the
    // mark is no character of the converted text.
    const auto mark = static_cast<std::int64_t>(plan.form.sourceMark.size());
    for (ExpressionMatch& m : plan.search.headings) {
        if (m.offset >= mark) break;
        m.length = std::max<std::int64_t>(0, m.length - (mark - m.offset));
        m.offset = mark;
    }
    plan.volumes = planVolumes(segmentChapters(text, plan.headings()), plan.perVolume,
                               settings.maxVolumeBytes(), plan.encoding, plan.form);
    std::uint64_t start = plan.form.sourceMark.size();
    for (const Volume& v : plan.volumes) {
        plan.starts.push_back(start);
        start += v.size();
    }
    plan.names =
        volumeNames(settings, text, plan.headings(), plan.volumes, plan.starts, plan.encoding);
    if (use != PlanUse::Volumes) return;
    // "." and ".." (a novel named "..txt" under {name}) name folders, never a file.
    for (const Text& name : plan.names) {
        if (name.empty() || name.find_first_not_of('.') == Text::npos) {
            plan.refusal = Message{MessageId::InvalidVolumeName, {name}};
            return;
        }
    }
    // Two volumes of one name would lose one of them; a volume under the name of one of the
    // program's own files would be taken for it and removed.
    std::set<Text> taken;
    for (const Text& name : plan.names) {
        if (isProgramFileName(name)) {
            plan.refusal = Message{MessageId::ReservedVolumeName, {name}};
            return;
        }
        Text key = name;
        // Windows and macOS take names without regard to case.
        lowerAscii(key);
        if (!taken.insert(key).second) {
            plan.refusal = Message{MessageId::DuplicateVolumeName, {name}};
            return;
        }
    }
}

}  // namespace

SplitPlan planSplit(SourceDocument& document, SplitSettings& settings, PlanUse use) {
    SplitPlan plan;
    if (document.text().empty()) return refused(plan, MessageId::NoDocument);
    plan.text = document.sharedText();
    plan.encoding = document.encoding();
    if (!planExpression(plan, settings)) return plan;
    if (use != PlanUse::Book) {
        plan.perVolume = textToInteger(settings.chaptersPerFileText());
        if (plan.perVolume < 1) return refused(plan, MessageId::BadChaptersPerFile);
    }
    if (use == PlanUse::Volumes && settings.outputDirectory().empty())
        return refused(plan, MessageId::NoOutputDirectory);

    const ChapterExpression& e = plan.expression;
    plan.rules = headingRulesFor(e.defaultMode, settings.anywhere());
    const std::string_view text = plan.text.view();
    plan.search = e.defaultMode
                      ? searchDefaultHeadings(*plan.defaultMatcher, e.prefix, e.suffix, text,
                                              plan.encoding, plan.rules)
                      : searchCustomHeadings(*plan.customMatcher, text, plan.encoding, plan.rules);
    // An engine that gave up would leave chapters uncut: nothing is written.
    if (plan.search.status != HeadingSearch::Status::Done)
        return refused(plan, MessageId::TooComplex);
    if (use == PlanUse::Book) {
        if (plan.search.otherSuffix || plan.search.form != HeadingForm::Suffix)
            planHeadingNotes(plan, settings);
        return plan;
    }
    planHeadingNotes(plan, settings);
    planFiles(plan, settings, use);
    return plan;
}

}  // namespace folioknife::splitter
