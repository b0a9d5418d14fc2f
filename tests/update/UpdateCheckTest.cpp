// The update check end to end: a loopback server, a temporary program folder, a fake window
// that answers the prompt, and the page command recorded instead of started.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "TestText.h"
#include "fakes/FakeWindow.h"
#include "splitter/Path.h"
#include "update/LoopbackServer.h"
#include "update/UpdateCheck.h"

namespace folioknife::update {
namespace {
using namespace std::chrono_literals;
using testing::FakeWindow;
using testing::gbk;
using testing::httpReply;
using testing::LoopbackServer;
using testing::Reply;
namespace fs = std::filesystem;

// The platform's own calls, noted in the window's log between its boxes; commands only noted.
class RecordingPlatform : public UpdatePlatform {
public:
    explicit RecordingPlatform(std::vector<std::string>& log) : log_(log) {}
    splitter::FileStatus storeFile(const Text& path, const std::string& bytes) override {
        splitter::FileStatus stored = UpdatePlatform::storeFile(path, bytes);
        log_.push_back("store " + std::to_string(bytes.size()) + (stored ? "" : " failed"));
        return stored;
    }
    Text readProfileText(const Text& path, const Text& s, const Text& k, const Text& d) override {
        std::stringstream stored;
        stored << std::ifstream(path, std::ios::binary).rdbuf();
        const Text value = UpdatePlatform::readProfileText(path, s, k, d);
        log_.push_back("read [" + s + "] " + k + " = " + value + " from " + stored.str());
        return value;
    }
    splitter::FileStatus deleteFile(const Text& path) override {
        log_.push_back("delete");
        return UpdatePlatform::deleteFile(path);
    }
    shell::ShellOutcome runCommandLine(const Text& line, bool wait, shell::ShowMode show) override {
        log_.push_back("run " + line + (wait || show != shell::ShowMode::Maximized ? " ?" : ""));
        return shell::ShellOutcome::done();
    }

private:
    std::vector<std::string>& log_;
};

class UpdateCheckTest : public ::testing::Test {
protected:
    testing::CodePageScope codePage{"GBK"};
    // Of its own: tests of other builds may run at the same time.
    fs::path folder =
        fs::temp_directory_path() / ("fk-update-" + std::to_string(std::random_device()()));
    fs::path localCopy = folder / "up.ini";
    void SetUp() override {
        testing::bypassProxyForLoopback();
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    UpdateSettings settingsFor(const std::string& host) {
        UpdateSettings settings = nativeUpdateSettings();
        settings.host = host;
        settings.localCopies = {localCopy.string()};
        settings.limits.connectTimeout = 2s;
        settings.limits.totalTimeout = 2s;
        return settings;
    }
};

// What one answer of the server leads to, step by step; "box" stands for the prompt and
// "run" for the page opener's command line on HOST.
struct StepCase {
    const char* name;
    std::optional<Reply> reply;  // nothing: nobody listens
    int answer;
    std::vector<std::string> log;
};

std::vector<StepCase> stepCases(const std::string& page) {
    return {
        {"yes",
         httpReply("[up]\r\nver=0.8\r\n"),
         5,
         {"store 15", "read [up] ver = 0.8 from [up]\r\nver=0.8\r\n", "box 0.8", "run " + page,
          "delete"}},
        {"no",
         httpReply("[up]\nver=1.0"),
         6,
         {"store 12", "read [up] ver = 1.0 from [up]\nver=1.0", "box 1.0", "delete"}},
        {"same",
         httpReply("[up]\nver=0.7"),
         5,
         {"store 12", "read [up] ver = 0.7 from [up]\nver=0.7", "delete"}},
        {"0.10",
         httpReply("[up]\nver=0.10"),
         5,
         {"store 13", "read [up] ver = 0.10 from [up]\nver=0.10", "delete"}},
        {"empty value",
         httpReply("[up]\nver="),
         5,
         {"store 9", "read [up] ver =  from [up]\nver=", "delete"}},
        {"no key",
         httpReply("[up]\nv=1"),
         5,
         {"store 8", "read [up] ver = 0 from [up]\nv=1", "delete"}},
        {"no section",
         httpReply("ver=1"),
         5,
         {"store 5", "read [up] ver = 0 from ver=1", "delete"}},
        {"empty", httpReply(""), 5, {"store 0", "read [up] ver = 0 from ", "delete"}},
        {"404",
         httpReply("<p>[up] ver=1</p>", "404 Not Found"),
         5,
         {"store 17", "read [up] ver = 0 from <p>[up] ver=1</p>", "delete"}},
        {"cut short",
         httpReply("[up]\nver=0.8\nx", "200 OK", "900"),
         6,
         {"store 14", "read [up] ver = 0.8 from [up]\nver=0.8\nx", "box 0.8", "delete"}},
        {"unreachable", std::nullopt, 5, {"store 0", "read [up] ver = 0 from ", "delete"}},
    };
}

TEST_F(UpdateCheckTest, StepsInOrderAndNoLocalCopyLeft) {
    const std::string page = nativeUpdateSettings().pageOpener + " http://HOST/mysoft/folioknife";
    for (const StepCase& c : stepCases(page)) {
        // An earlier copy naming a newer version is overwritten before it is read.
        std::ofstream(localCopy, std::ios::binary) << "[up]\nver=9.9\n" << std::string(99, ';');
        FakeWindow window;
        window.boxAnswers = {static_cast<splitter::MessageBoxAnswer>(c.answer)};
        RecordingPlatform platform(window.log);
        std::optional<LoopbackServer> server;
        if (c.reply) server.emplace(std::vector<Reply>{*c.reply});
        const std::string host = server ? server->host() : LoopbackServer::unreachableHost();
        runUpdateCheck(settingsFor(host), platform, window);

        std::vector<std::string> expected;
        for (std::string line : c.log) {
            if (line.rfind("box ", 0) == 0) line = "box " + promptText(line.substr(4));
            if (line.rfind("run ", 0) == 0) line.replace(line.find("HOST"), 4, host);
            expected.push_back(line);
        }
        EXPECT_EQ(window.log, expected) << c.name;
        for (const auto& box : window.boxes) {
            EXPECT_EQ(box.title, gbk("升级模块")) << c.name;
            EXPECT_EQ(box.buttons, splitter::MessageBoxButtons::YesNo) << c.name;
        }
        EXPECT_FALSE(fs::exists(localCopy)) << c.name;
    }
}

TEST_F(UpdateCheckTest, AnEndlessAnswerIsKeptOnlyToItsLimit) {
    const Reply endless{"HTTP/1.0 200 OK\r\n\r\n[up]\nver=0.9\n", Reply::Ending::Endless};
    LoopbackServer server({endless});
    FakeWindow window;
    RecordingPlatform platform(window.log);
    runUpdateCheck(settingsFor(server.host()), platform, window);
    EXPECT_EQ(window.log.at(0), "store 65536");
}

// Message boxes that may be called from the update thread.
class WaitingBoxes : public splitter::MessageBoxService {
public:
    splitter::MessageBoxAnswer showMessageBox(const Text& text, const Text&,
                                              splitter::MessageBoxButtons) override {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
        shown_.notify_all();
        return splitter::MessageBoxAnswer::No;
    }
    std::vector<Text> waitForBox() {
        std::unique_lock<std::mutex> lock(mutex_);
        shown_.wait_for(lock, 10s, [this] { return !texts_.empty(); });
        return texts_;
    }

private:
    std::mutex mutex_;
    std::condition_variable shown_;
    std::vector<Text> texts_;
};

// The platform's own calls, but the download waits at a gate the test opens: while the check
// is held there, the start must already have returned.
class GatedPlatform : public UpdatePlatform {
public:
    HttpFile getHttpFile(const Text& url, const HttpLimits& limits) override {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait_for(lock, 10s, [this] { return open_; });
            passed_ = true;
        }
        return UpdatePlatform::getHttpFile(url, limits);
    }
    bool waitUntilEntered() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return entered_; });
    }
    bool passed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return passed_;
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false, open_ = false, passed_ = false;
};

TEST_F(UpdateCheckTest, TheWindowNeverWaitsForTheCheck) {
    LoopbackServer server({httpReply("[up]\nver=0.8\n")});
    WaitingBoxes boxes;
    auto platform = std::make_shared<GatedPlatform>();
    // The object goes at once; its thread goes on, held at the download.
    std::make_unique<BackgroundUpdateCheck>(settingsFor(server.host()), platform, boxes)
        ->startUpdateCheck();
    // Had the start waited for the check, the check would have gone past the gate on its own.
    EXPECT_FALSE(platform->passed());
    ASSERT_TRUE(platform->waitUntilEntered());
    platform->open();
    EXPECT_EQ(boxes.waitForBox(), std::vector<Text>{promptText("0.8")});
    // The copy goes after the box is answered, on the check's thread.
    for (int i = 0; i < 1000 && fs::exists(localCopy); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(fs::exists(localCopy));
}

// A place that will not take the file (a folder stands at its path, as a program folder under
// Program Files or /usr/bin would refuse it) gives way to the next, and with none left the
// bytes are read in memory: the prompt comes all the same and no copy remains anywhere.
TEST_F(UpdateCheckTest, APlaceThatRefusesTheCopyGivesWayToTheNextOrToMemory) {
    const fs::path refusing = folder / "refusing";
    const fs::path fallback = folder / "fallback.ini";
    struct Case {
        const char* name;
        std::vector<fs::path> places;
        std::vector<std::string> log;
    } cases[] = {
        {"second place",
         {refusing, fallback},
         {"store 15 failed", "store 15", "read [up] ver = 0.8", "box 0.8"}},
        {"memory", {refusing}, {"store 15 failed", "box 0.8"}},
        {"no place", {}, {"box 0.8"}},
    };
    for (const auto& c : cases) {
        fs::create_directory(refusing);
        LoopbackServer server({httpReply("[up]\r\nver=0.8\r\n")});
        UpdateSettings settings = settingsFor(server.host());
        settings.localCopies.clear();
        for (const auto& place : c.places) settings.localCopies.push_back(place.string());
        FakeWindow window;
        window.boxAnswers = {splitter::MessageBoxAnswer::No};
        RecordingPlatform platform(window.log);
        runUpdateCheck(settings, platform, window);

        std::vector<std::string> expected;
        for (std::string line : c.log) {
            if (line == "box 0.8") line = "box " + promptText("0.8");
            if (line.rfind("read", 0) == 0) line += " from [up]\r\nver=0.8\r\n";
            expected.push_back(line);
        }
        expected.insert(expected.end(), c.places.size(), "delete");
        EXPECT_EQ(window.log, expected) << c.name;
        // Every place tried is cleaned up; the folder that refused is left as it was.
        EXPECT_FALSE(fs::exists(fallback)) << c.name;
        EXPECT_TRUE(fs::is_directory(refusing)) << c.name;
    }
}

TEST(UpdateSettingsTest, TheBuildsHostAndThePlatformsPlacesForTheCopy) {
    const UpdateSettings settings = nativeUpdateSettings();
    EXPECT_EQ(settings.host, defaultUpdateHost());
    EXPECT_EQ(settings.limits.maxBytes, 64u * 1024);
    if (splitter::nativePathStyle() == splitter::PathStyle::Posix) {
        // /usr/bin takes no file from its user: the copy stays in memory.
        EXPECT_TRUE(settings.localCopies.empty());
        return;
    }
    // Beside the program, then the user's temporary folder, which exists.
    ASSERT_EQ(settings.localCopies.size(), 2u);
    EXPECT_EQ(settings.localCopies[0], shell::programDirectory() + "\\up.ini");
    const Text temp = settings.localCopies[1];
    const std::size_t slash = temp.rfind('\\');
    ASSERT_NE(slash, Text::npos);
    EXPECT_EQ(temp.substr(slash), "\\folioknife-up.ini");
    EXPECT_TRUE(fs::is_directory(temp.substr(0, slash))) << temp;
}

}  // namespace
}  // namespace folioknife::update
