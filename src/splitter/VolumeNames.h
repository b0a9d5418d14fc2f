#pragma once
// The names of the volume files: made from a pattern, and recognised again in a folder. The
// default names (novel_1.txt, novel_2.txt, ...) are that pattern's names too, so one rule makes
// them and one tells them.
#include <cstdint>
#include <optional>
#include <string>

#include "splitter/CodePage.h"
#include "splitter/Path.h"

namespace folioknife::splitter {

// The default pattern.
constexpr const char* kDefaultVolumePattern = "novel_{k}.txt";

// The record of a split in progress (a fixed name, so that it is found in a folder that cannot
// be listed), and what a temporary and a set-aside file carry after the name they are for,
// followed by the split's token.
constexpr const char* kRecordFileName = ".folioknife-record";
constexpr const char* kNewFileMark = ".folioknife-new-";
constexpr const char* kOldFileMark = ".folioknife-old-";
// The mark a split leaves in an output folder it made for one novel of several, so that a
// later split of the folders' novels knows the folder for volumes whatever their names; it
// begins with its header, without which a file of that name is someone else's.
constexpr const char* kFolderMarkName = ".folioknife-volumes";
constexpr const char* kFolderMarkHeader = "folioknife volumes 1\n";

// A pattern of volume file names: {name} the novel's name without ".txt", {k} the volume's
// number, {k0} the number with as many leading zeros as the last one has digits, {title} the
// volume's title. Empty when the pattern is fit for names; else the part that is not (a
// separator, an unknown {field}, a name that is none).
Text volumePatternError(const Text& pattern);
// The name of volume k of 'count' from a pattern that volumePatternError accepts.
Text expandVolumePattern(const Text& pattern, const Text& name, std::uint64_t k,
                         std::uint64_t count, const Text& title);
// The volume number a file name has under a numbered pattern (one with {k} or {k0}); nothing
// when the name does not fit the pattern or the pattern has no number. {title} stands for any
// text, {name} for the novel's name.
std::optional<std::uint64_t> volumeNumberIn(const Text& pattern, const Text& name,
                                            const Text& fileName);

// The default name of volume k: "novel_" and k in decimal, ".txt".
Text volumeName(std::uint64_t k);
// The K of a default name "novel_K.txt" exactly as volumeName writes it (no leading zero, at
// most 18 digits), or 0 for any other name. Windows names match whatever their case.
std::uint64_t volumeNumberOf(const Text& fileName, PathStyle style);

// True for the names of the program's own files in a folder (its lock, its record, the
// temporary and set-aside files of a split), whatever their case and with the dots and blanks
// that Windows drops from a name's end: no volume may take one.
bool isProgramFileName(const Text& fileName);

// The default name of volume k in the output directory, joined by joinPath.
Text volumeFileName(const Text& outputDirectory, std::uint64_t k, PathStyle style);

}  // namespace folioknife::splitter
