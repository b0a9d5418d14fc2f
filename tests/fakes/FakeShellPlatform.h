#pragma once
// The registry and process start of the context-menu entry, kept in memory: reads answer from
// a map, started command lines are written to a log (the fake window's, so that boxes and
// commands appear in one order).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shell/ContextMenu.h"

namespace folioknife::testing {

class FakeShellPlatform : public shell::ShellPlatform {
public:
    explicit FakeShellPlatform(std::vector<std::string>& log) : log_(log) {}

    std::map<shell::Text, shell::Text> registry;  // path below HKEY_LOCAL_MACHINE -> value
    std::vector<shell::Text> reads;               // "path|default" of every read
    shell::Text path = "D:\\Tools\\splitter.exe";
    shell::PathStyle style = shell::PathStyle::Windows;

    shell::Text readRegistryText(shell::RegistryRoot, const shell::Text& at,
                                 const shell::Text& defaultText) override {
        reads.push_back(at + "|" + defaultText);
        auto it = registry.find(at);
        return it == registry.end() || it->second.empty() ? defaultText : it->second;
    }
    bool runCommandLine(const shell::Text& commandLine, bool wait, shell::ShowMode show) override {
        log_.push_back("run " + commandLine + (wait ? " [wait" : " [nowait") +
                       (show == shell::ShowMode::Hidden ? " hidden]" : " maximized]"));
        return true;
    }
    // A command line that begins with 'failing' fails with the reason "denied".
    shell::Text failing;
    std::optional<shell::Text> runToEnd(const shell::Text& commandLine) override {
        log_.push_back("run " + commandLine + " [to its end]");
        if (!failing.empty() && commandLine.rfind(failing, 0) == 0) return shell::Text("denied");
        return std::nullopt;
    }
    shell::Text executablePath() override { return path; }
    shell::PathStyle pathStyle() override { return style; }

    // As on Windows: a user's entry beside the machine's, each written and removed at once
    // ("write machine", "remove user" in the log) or refused for the reason given.
    bool userEntry = false;
    std::optional<shell::Text> machineRefuses, userRefuses;
    std::optional<shell::Text> writeEntry(shell::RegistryRoot root) override {
        if (!userEntry) return ShellPlatform::writeEntry(root);
        return change("write", root,
                      [&](const shell::Text& at) { registry[at] = shell::menuText(); });
    }
    std::optional<shell::Text> removeEntry(shell::RegistryRoot root) override {
        if (!userEntry) return ShellPlatform::removeEntry(root);
        return change("remove", root, [&](const shell::Text& at) { registry.erase(at); });
    }
    bool hasUserEntry() override { return userEntry; }

private:
    template <typename Change>
    std::optional<shell::Text> change(const char* what, shell::RegistryRoot root, Change done) {
        const bool machine = root == shell::RegistryRoot::LocalMachine;
        log_.push_back(std::string(what) + (machine ? " machine" : " user"));
        if (const auto& refused = machine ? machineRefuses : userRefuses) return refused;
        done(machine ? shell::probePath() : shell::userProbePath());
        return std::nullopt;
    }
    std::vector<std::string>& log_;
};

}  // namespace folioknife::testing
