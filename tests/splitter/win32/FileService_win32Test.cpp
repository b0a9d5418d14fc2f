// The Win32 file layer on real files. Files are prepared and checked with the C runtime and
// plain Win32 calls, never through the service under test.
#include <windows.h>
#include <winioctl.h>

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "TestText.h"
#include "splitter/FileService.h"
#include "splitter/SourceDocument.h"
#include "splitter/SplitFlow.h"

namespace folioknife::splitter {
namespace {
using testing::gbk;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Writes a file the way a split does: a temporary file beside it, then renamed into place.
FileStatus writeReplacing(FileService& files, const std::string& path, const std::string& bytes) {
    std::string temporary;
    auto out = files.createTemporary(path + ".new-", temporary);
    if (!out) return out.error();
    FileStatus status = (*out)->write(bytes);
    if (status) status = (*out)->write("");
    if (FileStatus closed = (*out)->close(); status) status = closed;
    return status ? files.replaceFile(temporary, path) : status;
}

std::wstring wide(const std::string& ansi) {
    std::wstring out(ansi.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &out[0],
                                static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// A fresh folder under the temporary folder, emptied and removed afterwards.
class Win32FileServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        dir = std::string(temp) + "fk-test-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount());
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    }
    void TearDown() override {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::string p = dir + "\\" + found.cFileName;
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryA(p.c_str());
                else
                    DeleteFileA(p.c_str());
            } while (FindNextFileA(h, &found));
            FindClose(h);
        }
        RemoveDirectoryA(dir.c_str());
    }
    std::string in(const std::string& name) const { return dir + "\\" + name; }

    FileService& files = systemFileService();
    std::string dir;
};

TEST_F(Win32FileServiceTest, AReadOnlyNovelLoadsAndStaysAsItWas) {
    const std::string path = in("readonly.txt");
    writeAll(path, "read-only novel");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    SourceDocument doc;
    EXPECT_TRUE(loadSourceDocument(doc, files, path));
    EXPECT_EQ(doc.text(), "read-only novel");
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(readAll(path), "read-only novel");
}

TEST_F(Win32FileServiceTest, AReplacedFileKeepsNoBytesOfItsLongerPredecessor) {
    const std::string path = in("novel_1.txt");
    writeAll(path, "a much longer old volume");
    EXPECT_TRUE(writeReplacing(files, path, "new"));
    EXPECT_EQ(readAll(path), "new");
}

// Paths are bytes in the program's code page, whatever the system's: GBK on a Chinese system,
// UTF-8 on any other. The name on disk is the same characters, not the bytes taken as the ANSI
// code page; the folder's listing gives the same bytes back.
TEST_F(Win32FileServiceTest, ANameInTheProgramsCodePageIsTheSameFileForWindows) {
    struct Case {
        const char* codePage;
        std::string name;
        std::wstring onDisk;
    } cases[] = {
        {"GBK", gbk("小说.txt"), L"\u5C0F\u8BF4.txt"},
        {"GBK", gbk("乗盶.txt"), L"\u4E57\u76F6.txt"},  // second bytes 0x5C
        {"UTF-8", "小说.txt", L"\u5C0F\u8BF4.txt"},
        {"UTF-8", "Götterdämmerung 小说.txt", L"G\u00F6tterd\u00E4mmerung \u5C0F\u8BF4.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codePage) + " " + c.name);
        testing::CodePageScope scope(c.codePage);
        const std::string path = in(c.name);
        ASSERT_TRUE(writeReplacing(files, path, "text"));
        EXPECT_EQ(
            GetFileAttributesW((wide(dir) + L"\\" + c.onDisk).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            0u);
        EXPECT_EQ(files.listFolder(dir), std::vector<std::string>{c.name});
        SourceDocument doc;
        EXPECT_TRUE(loadSourceDocument(doc, files, path));
        EXPECT_EQ(doc.text(), "text");
        EXPECT_TRUE(files.deleteFile(path));
        EXPECT_EQ(GetFileAttributesW((wide(dir) + L"\\" + c.onDisk).c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }
    // Bytes that are no text of the code page name no file, and say why.
    testing::CodePageScope scope("GBK");
    const auto opened = files.openForReading(in("\xFF.txt"));
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().code, static_cast<int>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_FALSE(files.createDirectory(in("\xFF")));
    EXPECT_TRUE(files.listFolder(dir).empty());
}

TEST_F(Win32FileServiceTest, FoldersAndMissingFilesDoNotLoad) {
    ASSERT_TRUE(CreateDirectoryA(in("sub").c_str(), nullptr));
    for (const std::string& path : {dir, dir + "\\", in("sub"), in("missing.txt"), std::string()}) {
        SourceDocument doc;
        doc.replace("previous");
        EXPECT_FALSE(loadSourceDocument(doc, files, path)) << path;
        EXPECT_EQ(doc.text(), "") << path;
    }
}

TEST_F(Win32FileServiceTest, CreatesFoldersAndDeletesFilesOnlyWhenTheyCanBe) {
    writeAll(in("old.txt"), "x");
    struct Step {
        const char* what;
        bool (*run)(FileService&, const std::string&);
        std::string path;
        bool result;
    };
    auto mkdir = [](FileService& f, const std::string& p) {
        return static_cast<bool>(f.createDirectory(p));
    };
    auto remove = [](FileService& f, const std::string& p) {
        return static_cast<bool>(f.deleteFile(p));
    };
    const Step steps[] = {
        {"new folder", mkdir, in("out"), true},
        {"existing folder", mkdir, in("out"), false},
        {"folder in a missing folder", mkdir, in("none\\out"), false},
        {"empty folder path", mkdir, "", false},
        {"existing file", remove, in("old.txt"), true},
        {"file already deleted", remove, in("old.txt"), false},
        {"a folder is no file", remove, in("out"), false},
        {"empty file path", remove, "", false},
    };
    for (const Step& s : steps) EXPECT_EQ(s.run(files, s.path), s.result) << s.what;
    EXPECT_EQ(GetFileAttributesA(in("old.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(GetFileAttributesA(in("out").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Win32FileServiceTest, OthersMayReadAndWriteAFileTheServiceHolds) {
    const std::string path = in("shared.txt");
    writeAll(path, "shared");
    auto openedByOthers = [&](DWORD access) {
        HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        return true;
    };
    {
        auto reading = files.openForReading(path);
        ASSERT_TRUE(reading);
        EXPECT_TRUE(openedByOthers(GENERIC_READ)) << "while loading";
        EXPECT_TRUE(openedByOthers(GENERIC_WRITE)) << "while loading";
    }
    {
        std::string temporary;
        auto writing = files.createTemporary(path, temporary);
        ASSERT_TRUE(writing);
        HANDLE h = CreateFileA(temporary.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "others may read a volume while it is written";
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
}

TEST_F(Win32FileServiceTest, OnlyFilesOnDiskOpenAsNovels) {
    writeAll(in("novel.txt"), "text");
    ASSERT_TRUE(CreateDirectoryA(in("folder").c_str(), nullptr));
    const std::string pipeName = "\\\\.\\pipe\\fk-test-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0,
                                   0, nullptr);
    const struct {
        std::string path;
        FileKind kind;
        bool opens;
    } cases[] = {
        {in("novel.txt"), FileKind::Regular, true},
        {in("folder"), FileKind::Directory, false},
        {"NUL", FileKind::Other, false},
        {in("missing.txt"), FileKind::Missing, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(files.kindOf(c.path), c.kind) << c.path;
        const auto opened = files.openForReading(c.path);
        EXPECT_EQ(static_cast<bool>(opened), c.opens) << c.path;
        if (!c.opens) {
            EXPECT_FALSE(opened.error().reason.empty()) << c.path;
            EXPECT_EQ(opened.error().operation, FileOperation::Open) << c.path;
            EXPECT_EQ(opened.error().path, c.path);
            EXPECT_NE(opened.error().code, 0) << c.path;
        }
    }
    if (pipe != INVALID_HANDLE_VALUE) {
        EXPECT_FALSE(files.openForReading(pipeName)) << "a named pipe";
        CloseHandle(pipe);
    }
}

TEST_F(Win32FileServiceTest, ARenameReplacesAFileButNeverAFolder) {
    writeAll(in("novel_1.txt"), "a much longer old volume");
    ASSERT_TRUE(CreateDirectoryA(in("novel_2.txt").c_str(), nullptr));
    EXPECT_TRUE(writeReplacing(files, in("novel_1.txt"), "new"));
    EXPECT_EQ(readAll(in("novel_1.txt")), "new");
    const FileStatus replaced = writeReplacing(files, in("novel_2.txt"), "new");
    ASSERT_FALSE(replaced);
    EXPECT_FALSE(replaced.error().reason.empty());
    EXPECT_EQ(replaced.error().operation, FileOperation::Rename);
    EXPECT_EQ(replaced.error().path, in("novel_2.txt"));
    EXPECT_NE(replaced.error().code, 0);
    EXPECT_TRUE(GetFileAttributesA(in("novel_2.txt").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Win32FileServiceTest, AFileIsTheSameFileWhateverItsSpelling) {
    writeAll(in("a.txt"), "x");
    writeAll(in("b.txt"), "x");
    const auto id = [&](const std::string& path) { return files.identify(path).ok(); };
    const auto a = id(in("a.txt"));
    ASSERT_TRUE(a);
    EXPECT_EQ(id(in("A.TXT")), a);
    EXPECT_EQ(id(dir + "\\.\\a.txt"), a);
    EXPECT_EQ(id(dir + "/a.txt"), a);
    EXPECT_NE(id(in("b.txt")), a);
    EXPECT_FALSE(id(in("missing.txt")));
}

TEST_F(Win32FileServiceTest, AFolderLockIsHeldAgainstEveryOtherTakerUntilItIsLetGo) {
    auto first = files.lockFolder(dir, 0);
    ASSERT_TRUE(first);
    // The same folder by another spelling, from the same thread (a split started from the
    // first one's message box): it waits, then gives up.
    const auto second = files.lockFolder(dir + "\\.", 100);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().kind, FileErrorKind::Busy);
    first->reset();
    EXPECT_TRUE(files.lockFolder(dir, 0));
    const auto missing = files.lockFolder(in("missing"), 0);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, FileErrorKind::NotFound);
}

// The lock file a split makes (CREATE_NEW) carries the header of ours and goes with the lock;
// a file of that name that was there before (someone's own, a novel) is locked, never written
// to and never removed.
TEST_F(Win32FileServiceTest, OnlyALockFileOfOursGoesWithTheLock) {
    const std::string name = in(kLockFileName);
    {
        auto lock = files.lockFolder(dir, 0);
        ASSERT_TRUE(lock);
        EXPECT_EQ(files.entryKind(name), FileKind::Regular);
    }
    EXPECT_EQ(files.entryKind(name), FileKind::Missing);
    const std::string before = "a novel";
    writeAll(name, before);
    {
        auto lock = files.lockFolder(dir, 0);
        ASSERT_TRUE(lock);
        const auto again = files.lockFolder(dir, 0);
        ASSERT_FALSE(again);
        EXPECT_EQ(again.error().kind, FileErrorKind::Busy);
    }
    EXPECT_EQ(readAll(name), before);
}

TEST_F(Win32FileServiceTest, AVolumeOfManyMegabytesIsWrittenAndReadWhole) {
    // 70 MiB and a few bytes, in a pattern whose period divides no power of two, so that a
    // piece written or read twice or skipped shows; 0x00 and 0x1A among them like any byte.
    std::string bytes((std::size_t{70} << 20) + 5, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
    const std::string path = in("big.txt");
    ASSERT_TRUE(writeReplacing(files, path, bytes));
    auto reading = files.openForReading(path);
    ASSERT_TRUE(reading);
    EXPECT_EQ((*reading)->size(), bytes.size());
    reading->reset();
    SourceDocument doc;
    ASSERT_TRUE(loadSourceDocument(doc, files, path));
    EXPECT_TRUE(doc.text() == bytes) << "read back " << doc.text().size() << " bytes";
}

TEST_F(Win32FileServiceTest, TheSizeOfAFileOverFourGigabytesIsWhole) {
    const std::string path = in("sparse.bin");
    const std::uint64_t size = (std::uint64_t{5} << 30) + 7;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // Marked sparse where the file system allows it, so the test costs no disk space.
    DWORD unused = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool sized = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    if (!sized) GTEST_SKIP() << "the file system cannot hold a file of 5 GiB";
    auto reading = files.openForReading(path);
    ASSERT_TRUE(reading);
    EXPECT_EQ((*reading)->size(), size);
}

// An output folder past the ANSI path limit: the volumes are either written whole or the split
// names the file it could not write and deletes nothing; it never claims success for less.
TEST_F(Win32FileServiceTest, AnOutputPathPastTheLimitWorksOrIsReported) {
    struct Recorder : MessageBoxService {
        std::vector<Text> texts;
        MessageBoxAnswer showMessageBox(const Text& text, const Text&, MessageBoxButtons) override {
            texts.push_back(text);
            return MessageBoxAnswer::Ok;
        }
    } boxes;
    struct Settings : SplitSettings {
        Text dir, source;
        bool customMode() override { return true; }
        Text expressionText() override { return "CH"; }
        Text prefix() override { return ""; }
        Text suffix() override { return ""; }
        Text chaptersPerFileText() override { return "1"; }
        Text outputDirectory() override { return dir; }
        bool deleteSource() override { return true; }
        Text sourcePath() override { return source; }
    } settings;
    settings.dir = dir + "\\" + std::string(280, 'd');
    settings.source = dir + "\\novel.txt";
    writeAll(settings.source, "preface CH1 one CH2 two");
    SourceDocument document;
    ASSERT_TRUE(loadSourceDocument(document, systemFileService(), settings.source));
    const SplitOutcome outcome =
        runSplit(document, settings, systemFileService(), boxes, PathStyle::Windows);
    if (outcome.status == SplitOutcome::Status::Done) {
        EXPECT_EQ(outcome.volumesWritten, 3);
    } else {
        // The folder cannot be made: said with the folder's name and the system's reason.
        ASSERT_EQ(outcome.status, SplitOutcome::Status::CreateFailed);
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0].rfind(
                      programText("分割失败！无法创建输出文件夹：") + settings.dir + "\n", 0),
                  0u);
        EXPECT_GT(boxes.texts[0].size(),
                  programText("分割失败！无法创建输出文件夹：").size() + settings.dir.size() + 2);
        EXPECT_EQ(readAll(settings.source), "preface CH1 one CH2 two");
    }
}

}  // namespace
}  // namespace folioknife::splitter
