// The Win32 twins of the file units: whole-file reads and atomic writes,
// files that grow, opening only what is a regular file, the lock that
// writers take turns with. Failures come back as errno values, as on Linux.

#include "platform/storage/AppendFile.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

DWORD attributesOf(const QString& path) {
    return ::GetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str());
}

TEST(FileStorage, AnAtomicWriteReplacesTheFileWholeAndKeepsItsAttributes) {
    QTemporaryDir folder;
    const QString path = folder.filePath("settings.ini");
    ASSERT_EQ(writeFileAtomically(path, "first\r\n"), 0);
    EXPECT_EQ(contentOf(path), "first\r\n");

    // A hidden file stays hidden: the new content takes the old file's place
    // rather than the file being made anew.
    ASSERT_TRUE(::SetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str(),
                                     FILE_ATTRIBUTE_HIDDEN));
    const QByteArray second(100000, 'x');
    ASSERT_EQ(writeFileAtomically(path, second), 0);
    EXPECT_EQ(contentOf(path), second);
    EXPECT_NE(attributesOf(path) & FILE_ATTRIBUTE_HIDDEN, 0U);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"settings.ini"}));
}

TEST(FileStorage, AWriteIntoAMissingFolderFailsAndLeavesNothing) {
    QTemporaryDir folder;
    EXPECT_EQ(writeFileAtomically(folder.filePath("no/such/settings.ini"), "x"), ENOENT);
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(FileStorage, LeftoverTemporariesOfThatFileAloneAreRemoved) {
    QTemporaryDir folder;
    const QString path = folder.filePath("a.registry");
    for (const char* name :
         {"a.registry.tmp-Ab12Cd", "a.registry.tmp-short", "b.registry.tmp-Ab12Cd"})
        ASSERT_EQ(writeFileAtomically(folder.filePath(name), "x"), 0);
    removeLeftoverTemporaries(path);
    QStringList left = QDir(folder.path()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, QStringList({"a.registry.tmp-short", "b.registry.tmp-Ab12Cd"}));
}

struct ReadCase {
    std::string what;
    QString path;
    int expectedError;
};

TEST(FileStorage, WholeFileReadsTellWhatWasFoundInstead) {
    QTemporaryDir folder;
    const QString big = folder.filePath("big");
    ASSERT_EQ(writeFileAtomically(big, QByteArray(2049, 'b')), 0);
    const QString small = folder.filePath("small");
    ASSERT_EQ(writeFileAtomically(small, "small"), 0);
    const std::vector<ReadCase> cases = {
        {"a file within the limit", small, 0},
        {"a missing file", folder.filePath("missing"), ENOENT},
        {"a folder", folder.path(), EISDIR},
        {"a device", QStringLiteral("NUL"), EINVAL},
        {"a file past the limit", big, EFBIG},
    };
    for (const ReadCase& read : cases) {
        const FileReadResult result = readWholeFile(read.path, 2048);
        EXPECT_EQ(result.error, read.expectedError) << read.what;
        EXPECT_EQ(result.content, read.expectedError == 0 ? QByteArray("small") : QByteArray())
            << read.what;
    }
}

struct OpenCase {
    std::string what;
    QString path;
    OpenedRegularFile::Outcome expected;
};

TEST(FileStorage, OnlyARegularFileIsOpenedForReading) {
    QTemporaryDir folder;
    const QString theme = folder.filePath("theme.tb");
    ASSERT_EQ(writeFileAtomically(theme, "Tessora_TB"), 0);
    const std::vector<OpenCase> cases = {
        {"a file", theme, OpenedRegularFile::Outcome::Opened},
        {"a missing file", folder.filePath("missing.tb"), OpenedRegularFile::Outcome::Missing},
        {"a path through a missing folder", folder.filePath("no/theme.tb"),
         OpenedRegularFile::Outcome::Missing},
        {"a folder", folder.path(), OpenedRegularFile::Outcome::NotRegular},
        {"a device", QStringLiteral("NUL"), OpenedRegularFile::Outcome::NotRegular},
    };
    for (const OpenCase& open : cases) {
        const OpenedRegularFile opened = openRegularFileForReading(open.path);
        EXPECT_EQ(opened.outcome, open.expected) << open.what;
        if (opened.outcome == OpenedRegularFile::Outcome::Opened) {
            EXPECT_EQ(opened.file->readAll(), "Tessora_TB") << open.what;
        }
    }
}

TEST(FileStorage, AnAppendFileGrowsAtItsEndAndCountsItsSize) {
    QTemporaryDir folder;
    const QString path = folder.filePath("traffic.csv");
    ASSERT_EQ(writeFileAtomically(path, "head\n"), 0);
    AppendFile file;
    ASSERT_EQ(file.open(path), 0);
    EXPECT_EQ(file.size(), 5);
    // Another writer's lines land before ours, never overwritten by them.
    {
        AppendFile other;
        ASSERT_EQ(other.open(path), 0);
        ASSERT_EQ(other.write(QByteArray("other\n")), 0);
    }
    ASSERT_EQ(file.write(QByteArray("ours\n")), 0);
    EXPECT_EQ(file.size(), 10);
    ASSERT_EQ(file.close(), 0);
    EXPECT_EQ(contentOf(path), "head\nother\nours\n");
    EXPECT_EQ(regularFileSize(path), 16);

    AppendFile folderFile;
    EXPECT_EQ(folderFile.open(folder.path()), EISDIR);
    EXPECT_EQ(regularFileSize(folder.path()), -1);
}

// A recording into a pipe or a device could neither be limited nor kept: it
// is refused at once, also where opening would wait for a pipe's server or
// claim a port, and whatever the case of the name.
TEST(FileStorage, AnAppendFileIsRefusedForAnythingButARegularFile) {
    const QString pipeName = QStringLiteral("\\\\.\\pipe\\kestro-append-test");
    // A pipe with a server, whose opening as a client would succeed.
    const HANDLE server =
        ::CreateNamedPipeW(QString(pipeName).toStdWString().c_str(), PIPE_ACCESS_INBOUND,
                           PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    QTemporaryDir folder;
    for (const QString& path :
         {pipeName, QStringLiteral("//./pipe/kestro-append-test"), QStringLiteral("NUL"),
          QStringLiteral("\\\\.\\COM5"), folder.filePath("com1.csv"), folder.filePath("Con"),
          QStringLiteral("\\\\?\\GLOBALROOT\\Device\\Null")}) {
        AppendFile file;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(file.open(path), NotARegularFile) << path.toStdString();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_FALSE(file.isOpen());
    }
    ::CloseHandle(server);
    // A long name of a file is still a file.
    AppendFile longName;
    EXPECT_EQ(longName.open(QStringLiteral("\\\\?\\") +
                            QDir::toNativeSeparators(folder.filePath("long.csv"))),
              0);
}

// The same file by another way to it, and two different files.
TEST(FileStorage, SameFileFollowsTheFileNotTheSpelling) {
    QTemporaryDir folder;
    const QString path = folder.filePath("traffic.csv");
    ASSERT_EQ(writeFileAtomically(path, "x"), 0);
    ASSERT_EQ(writeFileAtomically(folder.filePath("other.csv"), "y"), 0);
    EXPECT_TRUE(sameFile(path, folder.filePath("TRAFFIC.CSV")));
    EXPECT_TRUE(sameFile(path, folder.filePath("sub/../traffic.csv")));
    EXPECT_FALSE(sameFile(path, folder.filePath("other.csv")));
    // Files not made yet are the same when they will be made in one place.
    EXPECT_TRUE(sameFile(folder.filePath("new.json"), folder.filePath("New.json")));
    EXPECT_FALSE(sameFile(folder.filePath("new.json"), folder.filePath("new.csv")));
}

TEST(FileStorage, AnAtomicWriteIsCheckedWithoutTouchingTheFile) {
    QTemporaryDir folder;
    const QString path = folder.filePath("summary.json");
    EXPECT_EQ(checkAtomicWrite(path), 0);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(checkAtomicWrite(folder.path()), EISDIR);
    EXPECT_EQ(checkAtomicWrite(folder.filePath("no/summary.json")), ENOENT);
    EXPECT_EQ(checkAtomicWrite(QStringLiteral("NUL")), EINVAL);
}

TEST(FileStorage, RenamesReplaceAndRemovingWhatIsGoneIsNoError) {
    QTemporaryDir folder;
    const QString from = folder.filePath("traffic.csv");
    const QString to = folder.filePath("traffic.csv.1");
    ASSERT_EQ(writeFileAtomically(from, "new"), 0);
    ASSERT_EQ(writeFileAtomically(to, "old"), 0);
    ASSERT_EQ(renameFile(from, to), 0);
    EXPECT_EQ(contentOf(to), "new");
    EXPECT_FALSE(QFile::exists(from));
    EXPECT_EQ(renameFile(from, to), ENOENT);
    EXPECT_EQ(removeFile(to), 0);
    EXPECT_EQ(removeFile(to), 0);
}

TEST(FileStorage, FoldersAreMadeWithTheirParentsButNotThroughAFile) {
    QTemporaryDir folder;
    EXPECT_EQ(makeFolderPath(folder.filePath("a/b/c")), 0);
    EXPECT_TRUE(QDir(folder.filePath("a/b/c")).exists());
    EXPECT_EQ(makeFolderPath(folder.filePath("a/b/c")), 0);
    ASSERT_EQ(writeFileAtomically(folder.filePath("file"), "x"), 0);
    EXPECT_EQ(makeFolderPath(folder.filePath("file/d")), ENOTDIR);
}

TEST(FileStorage, WritersHoldingTheLockTakeTurns) {
    QTemporaryDir folder;
    const QString lockPath = folder.filePath(".lock");
    std::atomic<bool> firstReleased = false;
    std::atomic<bool> secondHeldEarly = false;
    auto first = std::make_unique<FileLock>(lockPath);
    ASSERT_EQ(first->error(), 0);
    std::thread second([&] {
        const FileLock lock(lockPath);
        EXPECT_EQ(lock.error(), 0);
        secondHeldEarly = !firstReleased;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    firstReleased = true;
    first.reset();
    second.join();
    EXPECT_FALSE(secondHeldEarly);
}

} // namespace
