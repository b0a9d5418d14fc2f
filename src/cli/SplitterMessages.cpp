#include "cli/SplitterMessages.h"

#include <vector>

namespace folioknife::cli {

using splitter::MessageId;
using splitter::Text;

namespace {

// The English text of every id, in the order of the ids (checked below, so that an id added
// without its text stops the build).
struct EnglishPattern {
    MessageId id;
    const char* text;
};
constexpr EnglishPattern kEnglishPatterns[] = {
    {MessageId::NoDocument, "the novel holds no text"},
    {MessageId::NoExpression, "give a chapter expression (a regular expression)"},
    {MessageId::BadChaptersPerFile,
     "error: the chapters per file are not a number, or fewer than 1"},
    {MessageId::NoOutputDirectory, "error: give an output folder"},
    {MessageId::InvalidExpression, "invalid chapter expression: {1}"},
    {MessageId::TooComplex, "the chapter expression is too complex to search to its end"},
    {MessageId::NoHeadings,
     "no chapter heading found: the whole text went into one file. Check the "
     "prefix, the suffix (such as 回, 节, 卷) or the expression"},
    {MessageId::SuffixWouldFind,
     "no chapter heading found: the whole text went into one file. The suffix "
     "\"{1}\" would find {2} chapter headings"},
    {MessageId::OtherSuffixUsed,
     "no chapter heading with \"{1}\" found; split by \"{2}\": {3} chapter "
     "headings"},
    {MessageId::SplitDone, "split done"},
    {MessageId::CannotConvert,
     "split failed: {1} cannot hold the character at byte {3} (line {2}) without "
     "loss"},
    {MessageId::DuplicateVolumeName, "split failed: two files would get one name: {1}"},
    {MessageId::ReservedVolumeName,
     "split failed: the output name {1} is one the program keeps for its own files"},
    {MessageId::WriteFailed, "split failed: cannot write the file {1}"},
    {MessageId::SourceKept, "source kept: the output files do not hold all of the source"},
    {MessageId::SourceIsOutput, "source kept: the source is one of the output files"},
    {MessageId::SourceNotDeleted, "source kept: {1}"},
    {MessageId::SourceFolderBusy, "source kept: another split is using the output folder {1}"},
    {MessageId::FolderBusy, "split failed: another split is using the output folder {1}"},
    {MessageId::FolderLockFailed, "split failed: cannot lock the output folder {1}"},
    {MessageId::FolderCreateFailed, "split failed: cannot create the output folder {1}"},
    {MessageId::ReplaceOtherVolumes,
     "the output folder holds volumes of another novel ({1}; {2} in all). "
     "Replace them?"},
    {MessageId::OtherVolumesFound,
     "split failed: the output folder holds volumes of another novel: {1} ({2} in "
     "all)\nchoose another output folder, or replace them with --replace"},
    {MessageId::RestoreFailed, "split failed: cannot restore {1}: its old content is in {2}"},
    {MessageId::LeftoverNotRemoved, "split failed: cannot remove {1}, left by a split"},
    {MessageId::RecordNameTaken,
     "split failed: {1} is no record of this program, and the split needs its "
     "name: move or rename it"},
    // The full-width colon is the one the Chinese text has; it has always been shown.
    {MessageId::CannotReadBack, "source kept: cannot read back {1}：{2}"},
    {MessageId::NotChosenWithOpen,
     "source kept: the novel came from the context menu; only a novel chosen "
     "with Open is deleted"},
    {MessageId::FolderFlushFailed, "split failed: cannot flush the output folder {1} to the disk"},
    {MessageId::NotRegularFile, "not a regular file: {1}"},
    {MessageId::InvalidVolumeName, "split failed: not a file name: {1}"},
    {MessageId::CutShortDuringSplit, "the novel was cut short by another program during the split"},
    {MessageId::NoHeadingsSourceKept,
     "no chapter heading found: the whole text went into one file, the source is "
     "kept"},
    {MessageId::ManyVolumes, "{1} files will be written ({2} chapter headings). Go on?"},
    {MessageId::OpenSucceeded, "opened"},
    {MessageId::OpenFailed, "cannot open: {1}"},
    {MessageId::InvalidExpressionAt, "invalid chapter expression: {1} at character {2}"},
    {MessageId::WordFirstUsed,
     "no chapter heading with \"{1}\" found; split by headings with the word first "
     "(\"{2}\"): {3} chapter headings"},
    {MessageId::EnglishHeadingsUsed,
     "no chapter heading with \"{1}\" found; split by English headings (\"{2}\"): {3} "
     "chapter headings"},
    {MessageId::NumberedLinesUsed,
     "no chapter heading with \"{1}\" found; split by numbered lines (\"{2}\"): {3} "
     "chapter headings"},
};

constexpr bool everyIdInOrder() {
    std::size_t i = 0;
    for (const EnglishPattern& pattern : kEnglishPatterns) {
        if (static_cast<std::size_t>(pattern.id) != i++) return false;
    }
    return i == splitter::kMessageIdCount;
}
static_assert(everyIdInOrder(), "every message id has its English text, in the ids' order");

const char* englishPattern(MessageId id) {
    return kEnglishPatterns[static_cast<std::size_t>(id)].text;
}

// The terminal's Chinese where it is not the window's: a place in the novel is named by its
// byte first, then its line, as in the terminal's other messages. Null elsewhere.
const char* terminalChinesePattern(MessageId id) {
    if (id == MessageId::CannotConvert)
        return "分割失败！{1} 无法无损表示字节偏移 {3}（第 {2} 行）处的字符";
    return nullptr;
}

Text asItIs(std::string_view utf8) { return Text(utf8); }

// The pattern filled in, as UTF-8: its arguments and reason are in 'codePage'.
std::string filledIn(const char* pattern, const splitter::Message& message,
                     const std::string& codePage) {
    const auto utf8 = [&](const Text& text) {
        return splitter::convertForDisplay(text, codePage, "UTF-8");
    };
    std::vector<std::string> args;
    for (const Text& arg : message.args) args.push_back(utf8(arg));
    return splitter::fillInMessage(pattern, args, utf8(message.reason), asItIs);
}

}  // namespace

std::string englishText(const splitter::Message& message, const std::string& codePage) {
    return filledIn(englishPattern(message.id), message, codePage);
}

std::string messageText(const splitter::Message& message, const std::string& codePage,
                        bool chinese) {
    if (!chinese) return englishText(message, codePage);
    if (const char* own = terminalChinesePattern(message.id))
        return filledIn(own, message, codePage);
    return splitter::convertForDisplay(splitter::chineseText(message), codePage, "UTF-8");
}

}  // namespace folioknife::cli
