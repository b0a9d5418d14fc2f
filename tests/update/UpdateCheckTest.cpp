// The update check end to end: a loopback server, a temporary program folder, a fake window
// that answers the prompt, and the page command recorded instead of started.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "TestText.h"
#include "fakes/FakeWindow.h"
#include "update/LocalFile.h"
#include "update/LoopbackServer.h"
#include "update/UpdateCheck.h"

namespace folioknife::update {
namespace {
using namespace std::chrono_literals;
using testing::CodePageScope;
using testing::FakeWindow;
using testing::LoopbackServer;
using testing::Reply;
using testing::gbk;
using testing::httpReply;
namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("fk-update-" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string text() const { return path_.string(); }
    fs::path file(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// The platform's own calls, each noted in one log with the boxes; commands are only noted.
class RecordingPlatform : public UpdatePlatform {
public:
    explicit RecordingPlatform(std::vector<std::string>& log) : log_(log) {}
    HttpFile getHttpFile(const Text& url, const HttpLimits& limits) override {
        log_.push_back("get " + url);
        return UpdatePlatform::getHttpFile(url, limits);
    }
    void storeFile(const Text& path, const std::string& bytes) override {
        log_.push_back("store " + path + " " + std::to_string(bytes.size()));
        UpdatePlatform::storeFile(path, bytes);
    }
    Text readProfileText(const Text& path, const Text& section, const Text& key,
                         const Text& defaultText) override {
        const Text value = UpdatePlatform::readProfileText(path, section, key, defaultText);
        log_.push_back("read " + path + " [" + section + "] " + key + " = " + value);
        return value;
    }
    void deleteFile(const Text& path) override {
        log_.push_back("delete " + path);
        UpdatePlatform::deleteFile(path);
    }
    bool runCommandLine(const Text& commandLine, bool wait, shell::ShowMode show) override {
        log_.push_back("run " + commandLine + (wait ? " [wait" : " [nowait") +
                       (show == shell::ShowMode::Maximized ? " maximized]" : " hidden]"));
        return true;
    }

private:
    std::vector<std::string>& log_;
};

class UpdateCheckTest : public ::testing::Test {
protected:
    CodePageScope codePage{"GBK"};
    TempFolder folder;
    FakeWindow window;
    RecordingPlatform platform{window.log};
    std::string localCopy = (folder.file("up.ini")).string();

    void SetUp() override { testing::bypassProxyForLoopback(); }
    UpdateSettings settingsFor(const std::string& host) {
        UpdateSettings settings = nativeUpdateSettings();
        settings.host = host;
        settings.programDirectory = folder.text();
        settings.limits.connectTimeout = 2s;
        settings.limits.totalTimeout = 5s;
        return settings;
    }
    // One check against a server that answers with the reply; the log of the check.
    std::vector<std::string> checkWith(const Reply& reply) {
        LoopbackServer server({reply});
        runUpdateCheck(settingsFor(server.host()), platform, window);
        return window.log;
    }
    std::string pageCommand(const std::string& host) {
        return "run " + nativeUpdateSettings().pageOpener + " http://" + host +
               "/mysoft/folioknife [nowait maximized]";
    }
};

TEST_F(UpdateCheckTest, ANewerVersionIsOfferedAndYesOpensThePage) {
    window.boxAnswers = {5};
    const std::string body = "[up]\r\nver=0.8\r\n";
    LoopbackServer server({httpReply(body)});
    // While the prompt is up, the local copy holds the server's bytes.
    std::string storedDuringPrompt;
    window.whileBoxShown = [&](const FakeWindow::Box&) { storedDuringPrompt = readFile(localCopy); };
    runUpdateCheck(settingsFor(server.host()), platform, window);

    const std::string address = "http://" + server.host() + "/soft/folioknife/up.ini";
    EXPECT_EQ(window.log, (std::vector<std::string>{
                              "get " + address,
                              "store " + localCopy + " " + std::to_string(body.size()),
                              "read " + localCopy + " [up] ver = 0.8",
                              "box " + gbk("检查到新版本0.8是否升级？（点击确定将打开下载页面）"),
                              pageCommand(server.host()),
                              "delete " + localCopy,
                          }));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].title, gbk("升级模块"));
    EXPECT_EQ(window.boxes[0].flags, 4u);
    EXPECT_EQ(storedDuringPrompt, body);
    EXPECT_FALSE(fs::exists(localCopy));
}

TEST_F(UpdateCheckTest, AnswersOtherThanYesDoNothingMore) {
    for (int answer : {6, 0, 1}) {
        window.log.clear();
        window.boxAnswers = {answer};
        const auto log = checkWith(httpReply("[up]\nver=1.0\n"));
        ASSERT_EQ(log.size(), 5u) << answer;
        EXPECT_EQ(log[3].rfind("box ", 0), 0u);
        EXPECT_EQ(log[4], "delete " + localCopy);
        EXPECT_FALSE(fs::exists(localCopy));
    }
}

TEST_F(UpdateCheckTest, NoPromptWithoutANewerVersionAndNoLocalCopyLeft) {
    struct Case {
        const char* name;
        Reply reply;
        std::string version;
    } cases[] = {
        {"same version", httpReply("[up]\nver=0.7\n"), "0.7"},
        {"0.10 sorts first", httpReply("[up]\nver=0.10\n"), "0.10"},
        {"empty value", httpReply("[up]\nver=\n"), ""},
        {"no key", httpReply("[up]\nversion=0.9\n"), "0"},
        {"no section", httpReply("ver=0.9\n"), "0"},
        {"empty body", httpReply(""), "0"},
        {"404 page", httpReply("<html><body>ver=0.9</body></html>", "404 Not Found"), "0"},
    };
    for (const auto& c : cases) {
        window.log.clear();
        const auto log = checkWith(c.reply);
        ASSERT_EQ(log.size(), 4u) << c.name;
        EXPECT_EQ(log[2], "read " + localCopy + " [up] ver = " + c.version) << c.name;
        EXPECT_EQ(log[3], "delete " + localCopy) << c.name;
        EXPECT_FALSE(fs::exists(localCopy)) << c.name;
    }
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(UpdateCheckTest, AnUnreachableServerMeansAnEmptyCopyAndNoPrompt) {
    // An up.ini left from an earlier run names a newer version; it is overwritten first.
    std::ofstream(localCopy, std::ios::binary) << "[up]\nver=0.9\n";
    const std::string host = "127.0.0.1:" + std::to_string(LoopbackServer::unusedPort());
    runUpdateCheck(settingsFor(host), platform, window);
    ASSERT_EQ(window.log.size(), 4u);
    EXPECT_EQ(window.log[1], "store " + localCopy + " 0");
    EXPECT_EQ(window.log[2], "read " + localCopy + " [up] ver = 0");
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_FALSE(fs::exists(localCopy));
}

TEST_F(UpdateCheckTest, AnEarlierCopyIsOverwrittenByTheServersBytes) {
    std::ofstream(localCopy, std::ios::binary) << "[up]\nver=0.9\n" << std::string(5000, ';');
    window.boxAnswers = {6};
    checkWith(httpReply("[up]\nver=0.71\n"));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, promptText("0.71"));
    EXPECT_FALSE(fs::exists(localCopy));
}

TEST_F(UpdateCheckTest, AVersionLineThatArrivedBeforeTheBreakCounts) {
    window.boxAnswers = {6};
    checkWith(httpReply("[up]\nver=0.8\nnote=cut here", "200 OK", "4000"));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, promptText("0.8"));
}

TEST_F(UpdateCheckTest, AtMost64KiBOfTheAnswerIsKept) {
    Reply endless{"HTTP/1.0 200 OK\r\n\r\n[up]\nver=0.9\n", Reply::Ending::Endless};
    window.boxAnswers = {6};
    const auto log = checkWith(endless);
    EXPECT_EQ(log[1], "store " + localCopy + " 65536");
    EXPECT_EQ(window.boxes.size(), 1u);
}

// The message boxes of the window, safe to call from the update thread.
class WaitingBoxes : public splitter::MessageBoxService {
public:
    int showMessageBox(const Text& text, const Text&, unsigned) override {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
        shown_.notify_all();
        return 6;
    }
    std::vector<Text> waitForBox(std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        shown_.wait_for(lock, limit, [this] { return !texts_.empty(); });
        return texts_;
    }

private:
    std::mutex mutex_;
    std::condition_variable shown_;
    std::vector<Text> texts_;
};

TEST_F(UpdateCheckTest, TheWindowNeverWaitsForTheCheck) {
    // The server answers only after a second; the start returns long before.
    LoopbackServer server({Reply{"", Reply::Ending::Stall}, httpReply("[up]\nver=0.8\n")});
    auto platform = std::make_shared<UpdatePlatform>();
    UpdateSettings settings = settingsFor(server.host());
    settings.limits.totalTimeout = 1s;
    WaitingBoxes boxes;
    {
        BackgroundUpdateCheck check(settings, platform);
        const auto start = std::chrono::steady_clock::now();
        check.startUpdateCheck(boxes);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    }  // the check may go before its thread ends
    // The first connection stalls until its time-out, so no prompt; a second check finds 0.8.
    BackgroundUpdateCheck second(settings, platform);
    std::this_thread::sleep_for(1500ms);
    second.startUpdateCheck(boxes);
    const auto texts = boxes.waitForBox(10s);
    EXPECT_EQ(texts, std::vector<Text>{promptText("0.8")});
    for (int i = 0; i < 200 && fs::exists(localCopy); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(fs::exists(localCopy));
}

TEST(UpdateSettingsTest, TheBuildsHostReachesNobodyUnlessConfigured) {
    const UpdateSettings settings = nativeUpdateSettings();
    EXPECT_EQ(settings.host, defaultUpdateHost());
    EXPECT_EQ(settings.limits.maxBytes, 64u * 1024);
    EXPECT_FALSE(settings.programDirectory.empty());
    EXPECT_EQ(settings.programDirectory, shell::programDirectory());
}

// The profile reader of the platform (GetPrivateProfileStringA on Windows, ours on Linux)
// over the same files.
TEST(ProfileFileTest, ThePlatformsReaderAgreesOnTheRules) {
    TempFolder folder;
    const std::string path = folder.file("up.ini").string();
    struct Case {
        std::string content, value;
    } cases[] = {
        {"[up]\r\nver=0.8\r\n", "0.8"},
        {"[UP]\r\nVER = \"0.8\" \r\n", "0.8"},
        {"[up]\r\n;ver=0.9\r\nver=0.8 ; x\r\n", "0.8 ; x"},
        {"[up]\r\nver=\r\n", ""},
        {"[up]\r\nversion=0.9\r\n", "0"},
        {"[other]\r\nver=0.9\r\n", "0"},
        {"[up]\r\nver=" + std::string(3000, '9') + "\r\n", std::string(3000, '9')},
        {"", "0"},
    };
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.content;
        EXPECT_EQ(readProfileFile(path, "up", "ver", "0"), c.value) << c.content.substr(0, 40);
    }
    fs::remove(path);
    EXPECT_EQ(readProfileFile(path, "up", "ver", "0"), "0");
}

}  // namespace
}  // namespace folioknife::update
