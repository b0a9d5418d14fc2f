#pragma once
// The update check: once per start, on a thread of its own, fetch up.ini, keep it for a
// moment, read [up] ver, offer the download page when it sorts after "0.7", delete the copy
// again.
#include <functional>
#include <memory>
#include <vector>

#include "shell/Process.h"
#include "splitter/FileService.h"
#include "splitter/MessageBox.h"
#include "update/HttpFile.h"
#include "update/UpdateRules.h"

namespace folioknife::update {

// The system calls of one check; each is the platform's own unless a test overrides it.
class UpdatePlatform {
public:
    virtual ~UpdatePlatform() = default;
    virtual HttpFile getHttpFile(const Text& url, const HttpLimits& limits);
    // Creates or empties the file and writes the bytes; done when all of them were written.
    virtual splitter::FileStatus storeFile(const Text& path, const std::string& bytes);
    // The profile reader: section, key, default; "0" stands for a missing file too.
    virtual Text readProfileText(const Text& path, const Text& section, const Text& key,
                                 const Text& defaultText);
    virtual splitter::FileStatus deleteFile(const Text& path);
    virtual shell::ShellOutcome runCommandLine(const Text& commandLine, bool wait,
                                               shell::ShowMode show);
};

// The update server's host as the build was configured (FOLIOKNIFE_UPDATE_HOST); a name
// under .invalid unless somebody chose one.
Text defaultUpdateHost();

struct UpdateSettings {
    Text host;  // "name" or "name:port"
    // Where the fetched file may be kept for the check, in order: the first path that takes
    // all its bytes is read and deleted. When none does (or there is none), the bytes are read
    // where they are, in memory, by the same profile rules.
    std::vector<Text> localCopies;
    Text pageOpener;    // "explorer" on Windows, "xdg-open" on Linux
    HttpLimits limits;  // an up.ini is a few bytes: at most 64 KiB of the answer is kept
};

constexpr std::size_t kMostUpdateFileBytes = 64 * 1024;

// The build's host, the platform's places for the copy (localCopyPaths) and page opener.
UpdateSettings nativeUpdateSettings();

// The check itself, on the calling thread: the steps in order, every copy it tried to make
// deleted in every case.
void runUpdateCheck(const UpdateSettings& settings, UpdatePlatform& platform,
                    splitter::MessageBoxService& boxes);

// The check as the start-up sees it.
class UpdateCheck {
public:
    virtual ~UpdateCheck() = default;
    // Starts the check and returns at once.
    virtual void startUpdateCheck() = 0;
};

class BackgroundUpdateCheck : public UpdateCheck {
public:
    // The boxes are used from the check's thread, which is never waited for: they must be
    // safe to call from it and live as long as the process, not as long as a window.
    BackgroundUpdateCheck(UpdateSettings settings, std::shared_ptr<UpdatePlatform> platform,
                          splitter::MessageBoxService& boxes);

    // Starts runUpdateCheck on a detached thread and returns at once; whether the thread
    // started is not looked at, and it is never waited for.
    void startUpdateCheck() override;

private:
    UpdateSettings settings_;
    std::shared_ptr<UpdatePlatform> platform_;
    splitter::MessageBoxService& boxes_;
};

// The check with nativeUpdateSettings() and the platform's own calls, prompting through
// boxes, which must live as long as the process.
std::unique_ptr<UpdateCheck> makeUpdateCheck(splitter::MessageBoxService& boxes);

}  // namespace folioknife::update
