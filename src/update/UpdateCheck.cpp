#include "update/UpdateCheck.h"

#include <exception>
#include <optional>

#include "update/DetachedThread.h"
#include "update/LocalFile.h"
#include "update/PageOpener.h"

namespace folioknife::update {

HttpFile UpdatePlatform::getHttpFile(const Text& url, const HttpLimits& limits) {
    return update::getHttpFile(url, limits);
}
splitter::FileStatus UpdatePlatform::storeFile(const Text& path, const std::string& bytes) {
    return storeLocalFile(path, bytes);
}
Text UpdatePlatform::readProfileText(const Text& path, const Text& section, const Text& key,
                                     const Text& defaultText) {
    return readProfileFile(path, section, key, defaultText);
}
splitter::FileStatus UpdatePlatform::deleteFile(const Text& path) { return deleteLocalFile(path); }
shell::ShellOutcome UpdatePlatform::runCommandLine(const Text& commandLine, bool wait,
                                                   shell::ShowMode show) {
    return shell::runCommandLine(commandLine, wait, show);
}

Text defaultUpdateHost() { return FOLIOKNIFE_UPDATE_HOST; }

UpdateSettings nativeUpdateSettings() {
    UpdateSettings settings;
    settings.host = defaultUpdateHost();
    settings.localCopies = localCopyPaths();
    settings.pageOpener = pageOpener();
    settings.limits.maxBytes = kMostUpdateFileBytes;
    return settings;
}

void runUpdateCheck(const UpdateSettings& settings, UpdatePlatform& platform,
                    splitter::MessageBoxService& boxes) {
    // Every path a copy was tried at: a store that failed part-way may have left a file there.
    std::vector<Text> tried;
    try {
        const HttpFile file =
            platform.getHttpFile(updateFileAddress(settings.host), settings.limits);
        std::optional<Text> version;
        for (const Text& path : settings.localCopies) {
            tried.push_back(path);
            if (platform.storeFile(path, file.bytes)) {
                version = platform.readProfileText(path, "up", "ver", "0");
                break;
            }
        }
        // No place would take the file: reading what stands at the path instead (normally
        // nothing, so "0") would keep the check from ever offering anything.
        if (!version) version = lookupProfileText(file.bytes, "up", "ver", "0");
        if (isNewerVersion(*version) &&
            splitter::showMessageBox(boxes, promptText(*version), promptTitle(), kPromptButtons) ==
                splitter::MessageBoxAnswer::Yes) {
            // The user asked for the page; a browser that does not start shows nothing the
            // program could add to.
            static_cast<void>(
                platform.runCommandLine(pageCommandLine(settings.pageOpener, settings.host), false,
                                        shell::ShowMode::Maximized));
        }
    } catch (const std::exception&) {
        // Out of memory, or a thread that could not be made: the check ends quietly. Left to
        // escape, it would end the whole program from this thread.
    }
    // A copy that will not go (or was never made) is a few bytes in a place of our own: the
    // user has nothing to do about it, and the next check writes over it.
    for (const Text& path : tried) static_cast<void>(platform.deleteFile(path));
}

BackgroundUpdateCheck::BackgroundUpdateCheck(UpdateSettings settings,
                                             std::shared_ptr<UpdatePlatform> platform,
                                             splitter::MessageBoxService& boxes)
    : settings_(std::move(settings)), platform_(std::move(platform)), boxes_(boxes) {}

void BackgroundUpdateCheck::startUpdateCheck() {
    // The thread owns copies of what it needs, so this object may go before it ends; the
    // boxes live as long as the process.
    // A check that cannot start is as a check that finds nothing: the reader is not told.
    static_cast<void>(
        startDetachedThread([settings = settings_, platform = platform_, &boxes = boxes_] {
            runUpdateCheck(settings, *platform, boxes);
        }));
}

std::unique_ptr<UpdateCheck> makeUpdateCheck(splitter::MessageBoxService& boxes) {
    return std::make_unique<BackgroundUpdateCheck>(nativeUpdateSettings(),
                                                   std::make_shared<UpdatePlatform>(), boxes);
}

}  // namespace folioknife::update
