#pragma once
// What the splitter tells the user, as values: which message and what fills it in (paths,
// suffixes, counts, reasons). Each front end turns a message into its own words: the window
// shows chineseText(), the command-line splitter has an English table beside it.
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "splitter/CodePage.h"

namespace folioknife::splitter {

// The arguments each message takes are listed after it, as {1}, {2}, ...
enum class MessageId {
    NoDocument,
    NoExpression,
    BadChaptersPerFile,
    NoOutputDirectory,
    InvalidExpression,  // {1} why
    TooComplex,
    NoHeadings,
    SuffixWouldFind,  // {1} the suffix, {2} the headings it finds
    OtherSuffixUsed,  // {1} the suffix asked for, {2} the one used, {3} the headings
    SplitDone,
    CannotConvert,        // {1} the volumes' encoding, {2} the line, {3} the byte offset
    DuplicateVolumeName,  // {1} the name
    ReservedVolumeName,   // {1} the name
    WriteFailed,          // {1} the file
    SourceKept,
    SourceIsOutput,
    SourceNotDeleted,     // {1} the system's reason
    SourceFolderBusy,     // {1} the output folder
    FolderBusy,           // {1} the output folder
    FolderLockFailed,     // {1} the output folder
    FolderCreateFailed,   // {1} the output folder
    ReplaceOtherVolumes,  // {1} up to three names, without the folder; {2} how many
    OtherVolumesFound,    // {1} up to three paths; {2} how many
    RestoreFailed,        // {1} the file, {2} the file that holds its old bytes
    LeftoverNotRemoved,   // {1} the file
    RecordNameTaken,      // {1} the file
    CannotReadBack,       // {1} the volume's name, {2} the reason
    NotChosenWithOpen,
    FolderFlushFailed,  // {1} the output folder
    NotRegularFile,     // {1} the path
    InvalidVolumeName,  // {1} the name
    CutShortDuringSplit,
    NoHeadingsSourceKept,
    ManyVolumes,  // {1} the files, {2} the headings
    OpenSucceeded,
    OpenFailed,           // {1} the path
    InvalidExpressionAt,  // {1} why, {2} the character (1 for the first) where it was seen
    // When no suffix found the headings, the form that did: {1} the suffix asked for, {2} the
    // first heading's mark (卷一, Chapter 1, 一、), {3} the headings.
    WordFirstUsed,
    EnglishHeadingsUsed,
    NumberedLinesUsed,
};
// The number of ids: the last one plus one.
constexpr std::size_t kMessageIdCount = static_cast<std::size_t>(MessageId::NumberedLinesUsed) + 1;

// A message's text with its placeholders, in a table of every id.
struct MessagePattern {
    MessageId id;
    const char* text;
};
// Whether a table holds each id once, at the place of its number.
template <std::size_t N>
constexpr bool coversEveryMessageId(const MessagePattern (&table)[N]) {
    if (N != kMessageIdCount) return false;
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(table[i].id) != i) return false;
    return true;
}

struct Message {
    Message(MessageId id, std::vector<Text> args = {}, Text reason = {})
        : id(id), args(std::move(args)), reason(std::move(reason)) {}
    MessageId id;
    // In the program's code page; counts as decimal digits.
    std::vector<Text> args;
    // The system's reason, shown as it is on a line of its own; empty when there is none.
    Text reason;
};

// An engine's reason for refusing an expression (PCRE2's English, or the program's own) in
// Chinese, in the program's code page; as it is when it has none.
Text chineseEngineReason(const Text& reason);

// The message in the window's words, in the program's code page.
Text chineseText(const Message& message);

// 'pattern' (UTF-8) with {1}, {2}, ... replaced by the arguments and its other pieces passed
// through 'literal'; then the reason on a line of its own, when there is one.
Text fillInMessage(std::string_view pattern, const std::vector<Text>& args, const Text& reason,
                   Text (*literal)(std::string_view utf8));

// The title of a box that names none: "信息".
Text defaultTitle();

}  // namespace folioknife::splitter
