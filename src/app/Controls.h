#pragma once
// The twenty-two controls of the main window, by name, in creation order.
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

struct ControlSpec {
    Control control;
    ControlKind kind;
    Text caption;      // in the program's code page
    int x, y, width, height;  // client coordinates
    bool enabled;
    bool checked;
};

// Every control with its caption or preset, geometry and state after start, in creation order.
// The output folder's preset differs by platform ("D:\output" on Windows).
std::vector<ControlSpec> controlTable(const Text& presetOutputDirectory);

// The controls created before the open-file dialog is set up; AssistMenuButton comes after it.
constexpr int kControlsBeforeOpenFileDialog = 21;

// Identifiers: set to 500 at start; every control creation takes the next value (501 ...).
extern int controlIdCounter;
int takeControlId();

const char* controlName(Control control);

// The window's texts.
Text windowTitle();       // "Tarvelle V", completed with the version at start
Text programVersion();    // "0.7"
Text openFileDialogTitle();
Text openFileDialogFilter();  // "文本文件(*.txt)|*.txt": name and pattern, "|" between
Text folderBrowserTitle();

}  // namespace folioknife::app
