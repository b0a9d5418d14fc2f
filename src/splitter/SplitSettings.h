#pragma once
#include <cstdint>
#include <string>

#include "splitter/CodePage.h"

namespace folioknife::splitter {

// What a split reads from its front end, each value at the moment the split needs it: the
// window reads its controls afresh, the command-line splitter its options.
class SplitSettings {
public:
    virtual ~SplitSettings() = default;
    virtual bool customMode() = 0;
    virtual Text expressionText() = 0;
    virtual Text prefix() = 0;
    virtual Text suffix() = 0;
    virtual Text chaptersPerFileText() = 0;
    virtual Text outputDirectory() = 0;
    virtual bool deleteSource() = 0;
    // The file a requested deletion removes: the path last confirmed in the open-file dialog
    // (empty when the document came from the command line or the dialog was cancelled).
    virtual Text sourcePath() = 0;
    // True when the novel came from the command line (the context-menu entry): a requested
    // deletion is not done, and the user is told why.
    virtual bool sourceFromCommandLine() { return false; }
    // Every match of the expression is a heading, wherever it stands, tables of contents
    // included (folioknife-split --anywhere). The window always sorts them.
    virtual bool anywhere() { return false; }
    // The most bytes a volume's file may take; 0 for no limit (folioknife-split --max-size).
    virtual std::uint64_t maxVolumeBytes() { return 0; }
    // The encoding the volumes are written in, an iconv name; empty for the novel's own bytes
    // (folioknife-split --to).
    virtual std::string volumeEncoding() { return {}; }
    // The pattern of the volumes' file names (see expandVolumePattern); empty for novel_{k}.txt.
    virtual Text volumeNamePattern() { return {}; }
    // The novel's file name without ".txt", for {name}.
    virtual Text novelName() { return {}; }
    // An output folder this split makes is marked as one of volumes (kFolderMarkName), for a
    // later split of a folder's novels (folioknife-split given a folder).
    virtual bool markNewFolder() { return false; }
};

}  // namespace folioknife::splitter
