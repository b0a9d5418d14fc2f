#pragma once
// The main window's table: the window's place and size, the twenty-two controls by name in
// creation order with their captions, geometry, states and colours, and the open-file dialog.
// Both windows, the Win32 one and the Qt one, are built from it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "splitter/CodePage.h"

namespace folioknife::app {

using splitter::Text;

enum class Control {
    DefaultModeRadio,
    CustomModeRadio,
    PrefixEdit,
    SuffixEdit,
    ExpressionEdit,
    ChaptersPerFileEdit,
    ExpressionLabel,
    DigitsLabel,
    PerFileLabel,
    ChaptersUnitLabel,
    OutputToLabel,
    OutputDirEdit,
    BrowseButton,
    ContextMenuCheck,
    DeleteSourceCheck,
    AuthorLabel,
    OpenButton,
    SplitButton,
    ParamsGroup,
    OutputGroup,
    MiscGroup,
    AssistMenuButton,
};
constexpr int kControlCount = 22;

enum class ControlKind { PushButton, RadioButton, CheckBox, Edit, Label, GroupBox };

// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;

// What a control is painted with: the toolkit's own colours (push buttons), or a text colour on
// the window's button face, or on a background of its own.
struct ControlColours {
    enum class Background { System, ButtonFace, Own };
    Background background = Background::System;
    Rgb text = 0x000000;
    Rgb own = 0xFFFFFF;  // the background when it is Own
    bool operator==(const ControlColours& o) const {
        return background == o.background && text == o.text && own == o.own;
    }
};

struct ControlLayout {
    Control control;
    ControlKind kind;
    Text caption;             // in the program's code page
    int x, y, width, height;  // client coordinates
    bool enabled;
    bool checked;
    ControlColours colours;
};

// Every control with its caption or preset, geometry, state after start and colours, in
// creation order. The output folder's preset differs by platform ("D:\output" on Windows).
std::vector<ControlLayout> controlTable(const Text& presetOutputDirectory);

// The controls created before the open-file dialog is set up; AssistMenuButton comes after it.
constexpr int kControlsBeforeOpenFileDialog = 21;

// The window: its place on the screen, its outer size (frame and caption included, as Windows
// counts it) and the client area that outer size leaves with a caption and a thin fixed border,
// for toolkits that size a window by its client area.
struct WindowLayout {
    int x, y;
    int width, height;
    int clientWidth, clientHeight;
};
WindowLayout windowLayout();

// Identifiers: the window's counter is set to 500 when it is created; every control creation
// takes the next value (501 ...).
constexpr int kControlIdCounterStart = 500;

const char* controlName(Control control);

// One entry of the open-file dialog's type list: the name shown and its patterns, separated by
// ';'.
struct FileFilter {
    Text name;
    Text patterns;
    bool operator==(const FileFilter& o) const { return name == o.name && patterns == o.patterns; }
};

// The window's texts.
Text windowTitle();     // "Tarvelle V", completed with the version at start
Text programVersion();  // "0.7", the project's version
Text openFileDialogTitle();
std::vector<FileFilter> openFileDialogFilter();  // "文本文件(*.txt)" showing "*.txt"
Text folderBrowserTitle();

}  // namespace folioknife::app
