#pragma once
// Places of the context-menu entry kept in memory: each writes and removes at once, or is
// refused for the reason given, and says so in a log (the fake window's, so that boxes and
// changes appear in one order).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/ContextMenu.h"

namespace folioknife::testing {

class FakeEntryPlace : public shell::EntryPlace {
public:
    FakeEntryPlace(std::string name, std::vector<std::string>& log)
        : name_(std::move(name)), log_(log) {}

    shell::Text text;                    // the menu text there; empty: no entry
    shell::Text program;                 // the program the entry starts
    std::optional<shell::Text> refuses;  // the reason every change fails with
    int reads = 0;

    shell::Text menuText() override { return ++reads, text; }
    shell::ShellOutcome write(const shell::Text& started) override {
        log_.push_back("write " + name_);
        if (refuses) return shell::ShellOutcome::failed(*refuses);
        text = shell::menuText();
        program = started;
        return shell::ShellOutcome::done();
    }
    shell::ShellOutcome remove() override {
        log_.push_back("remove " + name_);
        if (refuses) return shell::ShellOutcome::failed(*refuses);
        text.clear();
        program.clear();
        return shell::ShellOutcome::done();
    }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

}  // namespace folioknife::testing
