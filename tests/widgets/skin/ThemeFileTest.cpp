#include "fuzz/widgets/skin/ThemeFileFuzzer.h"
#include "tests/widgets/skin/ThemeFileBuilder.h"

#include "widgets/skin/SkinMgr.h"
#include "widgets/skin/SkinThemes.h"
#include "widgets/skin/ThemeFileReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QList<ThemeFileEntry> sampleEntries() {
    return {
        {"ButtonImage", 0, bmpBytes(threeColourStrip())},
        {"ButtonTransparentBool", 2, QByteArray(1, '\x01')},
        {"TitleBarButtonTransparentBool", 2, QByteArray(1, '\0')},
        {"FormBackgroundColor", 1, int32Bytes(16711680)},
        {"TitleBarButtonRightOffsetInt", 1, int32Bytes(-3)},
        {"Author", 3, QByteArray("Bench team")},
        {"FormMinWidthInt", 1, int32Bytes(270)},
        {"FormMinWidthInt", 1, int32Bytes(999)},
        {"Oddity", 9, QByteArray("xyz")},
    };
}

} // namespace

TEST(ThemeFile, LoadsEveryKindAndAnswersTheLookups) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "sample.skn", themeFileBytes(sampleEntries()));
    TskThemeFileReader reader(path);
    EXPECT_TRUE(reader.Problems().isEmpty()) << reader.Problems().join("; ").toStdString();
    EXPECT_EQ(reader.ImageEntries().size(), 1);
    EXPECT_EQ(reader.IntegerEntries(),
              QStringList({"FormBackgroundColor=16711680", "TitleBarButtonRightOffsetInt=-3",
                           "FormMinWidthInt=270", "FormMinWidthInt=999"}));
    EXPECT_EQ(reader.BooleanEntries(),
              QStringList({"ButtonTransparentBool=1", "TitleBarButtonTransparentBool=0"}));
    EXPECT_EQ(reader.StringEntries(), QStringList({"Author=Bench team"}));
    EXPECT_EQ(reader.GetIntegerValue("formminwidthint"), 270);
    EXPECT_EQ(reader.GetIntegerValue("Missing"), -1);
    EXPECT_TRUE(reader.GetBoolValue("BUTTONTRANSPARENTBOOL"));
    EXPECT_FALSE(reader.GetBoolValue("Missing"));
    EXPECT_FALSE(reader.GetImageStream("Missing").has_value());

    TskFileTheme theme;
    theme.SetThemeFile(path);
    ASSERT_TRUE(theme.CanUse());
    EXPECT_EQ(theme.ThemeFile(), path);
    EXPECT_EQ(toQColor(theme.GetColor(15)), QColor(Qt::blue));
    EXPECT_EQ(theme.GetInteger(8), -3);
    EXPECT_EQ(theme.GetInteger(13), 270);
    EXPECT_EQ(theme.GetInteger(14), -1);
    EXPECT_TRUE(theme.GetBool(2));
    EXPECT_FALSE(theme.GetBool(6));
    QImage frame;
    ASSERT_TRUE(theme.GetImageFrame(1, &frame, 3, 3));
    EXPECT_EQ(frame.size(), QSize(4, 5));
    EXPECT_EQ(frame.pixel(2, 2) & 0xFFFFFF, 0x0000FFu);
    const SkinSource source = ResolveSkinSource(&theme, TskUIStyle::FromThemeFile);
    EXPECT_TRUE(source.useFileTheme);

    // Indices outside 1 to 48 have no key, so an entry stored under an empty
    // key never answers for them.
    QList<ThemeFileEntry> emptyKeys = {{"", 1, int32Bytes(5)},
                                       {"", 2, QByteArray(1, '\x01')},
                                       {"", 0, bmpBytes(threeColourStrip())}};
    TskFileTheme unnamed;
    unnamed.SetThemeFile(writeFile(dir, "unnamed.skn", themeFileBytes(emptyKeys)));
    ASSERT_TRUE(unnamed.CanUse());
    for (int index : {0, 49, -1}) {
        EXPECT_EQ(unnamed.GetInteger(index), -1) << index;
        EXPECT_EQ(unnamed.GetColor(index), TColor(-1)) << index;
        EXPECT_FALSE(unnamed.GetBool(index)) << index;
        QImage untouched(2, 2, QImage::Format_RGB32);
        EXPECT_FALSE(unnamed.GetImage(index, &untouched)) << index;
        EXPECT_EQ(untouched.size(), QSize(2, 2));
    }
}

TEST(ThemeFile, WithoutAFileTheLookupsAreNeutral) {
    TskFileTheme theme;
    EXPECT_FALSE(theme.CanUse());
    EXPECT_EQ(theme.GetColor(15), 0u);
    EXPECT_EQ(theme.GetInteger(13), 0);
    EXPECT_FALSE(theme.GetBool(2));
    QImage untouched(2, 2, QImage::Format_RGB32);
    EXPECT_FALSE(theme.GetImage(1, &untouched));
    EXPECT_EQ(untouched.size(), QSize(2, 2));
}

TEST(ThemeFile, TheSignatureMustMatchExactly) {
    QTemporaryDir dir;
    const QString good = writeFile(dir, "good.skn", themeFileBytes(sampleEntries()));
    QByteArray trailing = themeFileBytes(sampleEntries());
    trailing[11] = 'Z'; // after the zero byte: not interpreted
    const QString withTrailing = writeFile(dir, "trailing.skn", trailing);
    const QString lower =
        writeFile(dir, "lower.skn", themeFileBytes(sampleEntries(), "tessora_TB"));
    const QString tiny = writeFile(dir, "tiny.skn", QByteArray("Tessora_TB"));
    EXPECT_TRUE(TskFileTheme::IsValidThemeFile(good));
    EXPECT_TRUE(TskFileTheme::IsValidThemeFile(withTrailing));
    EXPECT_FALSE(TskFileTheme::IsValidThemeFile(lower));
    EXPECT_FALSE(TskFileTheme::IsValidThemeFile(tiny));
    EXPECT_FALSE(TskFileTheme::IsValidThemeFile(dir.filePath("absent.skn")));

    TskFileTheme theme;
    theme.SetThemeFile(good);
    try {
        theme.SetThemeFile(lower);
        FAIL() << "a wrong signature was accepted";
    } catch (const ESkinError& error) {
        EXPECT_STREQ(error.what(), "Invalid skin file for Tessora!");
    }
    // The refused file changed nothing.
    EXPECT_EQ(theme.ThemeFile(), good);
    EXPECT_TRUE(theme.CanUse());
    EXPECT_EQ(theme.GetInteger(13), 270);
    // A file found nowhere is ignored.
    theme.SetThemeFile(dir.filePath("absent.skn"));
    EXPECT_EQ(theme.ThemeFile(), good);
}

TEST(ThemeFile, TheChainEndsAtTheTerminatorAndLoopsOrStraysEndIt) {
    QTemporaryDir dir;
    const QList<ThemeFileEntry> three = {{"FormMinWidthInt", 1, int32Bytes(1)},
                                         {"FormRoundCornerInt", 1, int32Bytes(2)},
                                         {"FormBorderWidthInt", 1, int32Bytes(3)}};
    QByteArray bytes = themeFileBytes(three);
    // Turn the third record into the terminator: exactly two entries load.
    putUInt32(bytes, 24 + 2 * 77 + 73, 0);
    TskThemeFileReader twoEntries(writeFile(dir, "two.skn", bytes));
    EXPECT_EQ(twoEntries.IntegerEntries(),
              QStringList({"FormMinWidthInt=1", "FormRoundCornerInt=2"}));

    // The second record points back at the first: read once, then stop.
    bytes = themeFileBytes(three);
    putUInt32(bytes, 24 + 77 + 73, 24);
    TskThemeFileReader looped(writeFile(dir, "loop.skn", bytes));
    EXPECT_EQ(looped.IntegerEntries().size(), 2);
    EXPECT_FALSE(looped.Problems().isEmpty());

    // A next offset past the end, a data offset past the end, a huge size.
    bytes = themeFileBytes(three);
    putUInt32(bytes, 24 + 77 + 73, 0x7FFFFFF0);
    putUInt32(bytes, 24 + 65, 0xFFFFFFF0);
    TskThemeFileReader stray(writeFile(dir, "stray.skn", bytes));
    EXPECT_EQ(stray.IntegerEntries(), QStringList({"FormRoundCornerInt=2"}));

    // An integer whose size field claims a megabyte still reads 4 bytes; an
    // image whose size runs past the end is dropped.
    QList<ThemeFileEntry> sized = {{"FormMinWidthInt", 1, int32Bytes(7)},
                                   {"ButtonImage", 0, bmpBytes(threeColourStrip())}};
    bytes = themeFileBytes(sized);
    putUInt32(bytes, 24 + 69, 1 << 20);
    putUInt32(bytes, 24 + 77 + 69, 1 << 30);
    TskThemeFileReader oversized(writeFile(dir, "sizes.skn", bytes));
    EXPECT_EQ(oversized.GetIntegerValue("FormMinWidthInt"), 7);
    EXPECT_TRUE(oversized.ImageEntries().isEmpty());

    // A size field far beyond the file drops only its own entry; the entries
    // after it still load.
    QList<ThemeFileEntry> damagedFirst = {{"ButtonImage", 0, bmpBytes(threeColourStrip())},
                                          {"FormMinWidthInt", 1, int32Bytes(9)}};
    bytes = themeFileBytes(damagedFirst);
    putUInt32(bytes, 24 + 69, 0xFFFFFFF0);
    TskThemeFileReader damaged(writeFile(dir, "damaged.skn", bytes));
    EXPECT_TRUE(damaged.ImageEntries().isEmpty());
    EXPECT_EQ(damaged.GetIntegerValue("FormMinWidthInt"), 9);

    // A header that claims to be short or huge.
    bytes = themeFileBytes(three);
    putUInt32(bytes, 12, 16);
    EXPECT_TRUE(TskThemeFileReader(writeFile(dir, "short.skn", bytes)).IntegerEntries().isEmpty());
    putUInt32(bytes, 12, 0xFFFFFFFF);
    EXPECT_EQ(TskThemeFileReader(writeFile(dir, "huge.skn", bytes)).IntegerEntries().size(), 3);
}

TEST(ThemeFile, ABadImageLeavesTheElementAbsent) {
    QTemporaryDir dir;
    const QList<ThemeFileEntry> entries = {{"ButtonImage", 0, QByteArray("BM not a bitmap")},
                                           {"CheckBoxImage", 0, QByteArray()}};
    TskFileTheme theme;
    theme.SetThemeFile(writeFile(dir, "bad.skn", themeFileBytes(entries)));
    ASSERT_TRUE(theme.CanUse());
    QImage target(3, 3, QImage::Format_RGB32);
    EXPECT_FALSE(theme.GetImage(1, &target));
    EXPECT_FALSE(theme.GetImage(3, &target));
    EXPECT_FALSE(theme.GetImageFrame(1, &target, 3, 1));
    EXPECT_EQ(target.size(), QSize(3, 3));
}

TEST(ThemeFile, ABareNameIsFoundInTheProgramFolderAndTheSameNameIsNotReloaded) {
    const QString name = QStringLiteral("skin-test-%1.skn").arg(QCoreApplication::applicationPid());
    const QString inProgramFolder = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    {
        QFile file(inProgramFolder);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(themeFileBytes(sampleEntries()));
    }
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    TskFileTheme theme;
    theme.SetThemeFile(name);
    QDir::setCurrent(previous);
    EXPECT_TRUE(theme.CanUse());
    EXPECT_EQ(theme.ThemeFile(), inProgramFolder);

    // Now spoil the file: setting the same text again must not touch it.
    {
        QFile file(inProgramFolder);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(themeFileBytes(sampleEntries(), "Spoiled"));
    }
    EXPECT_NO_THROW(theme.SetThemeFile(inProgramFolder));
    EXPECT_EQ(theme.GetInteger(13), 270);
    QFile::remove(inProgramFolder);
}

// Text entries are kept as wide characters joined with their key, so the
// bound on what one file may make us keep counts them at that size: a text of
// 33 MiB would take 66 MiB and ends the reading; the entries before it stay.
TEST(ThemeFile, TheBoundCountsTextsAsTheyAreKept) {
    QTemporaryDir dir;
    const QList<ThemeFileEntry> entries = {{"FormMinWidthInt", 1, int32Bytes(5)},
                                           {"Author", 3, QByteArray(4, 'a')},
                                           {"Notes", 3, QByteArray(33 << 20, 'n')},
                                           {"FormRoundCornerInt", 1, int32Bytes(6)}};
    TskThemeFileReader reader(writeFile(dir, "large.skn", themeFileBytes(entries)));
    EXPECT_EQ(reader.StringEntries(), QStringList({"Author=aaaa"}));
    EXPECT_EQ(reader.IntegerEntries(), QStringList({"FormMinWidthInt=5"}));
    EXPECT_FALSE(reader.Problems().isEmpty());

    const QList<ThemeFileEntry> fitting = {{"Notes", 3, QByteArray(16 << 20, 'n')},
                                           {"FormRoundCornerInt", 1, int32Bytes(6)}};
    TskThemeFileReader kept(writeFile(dir, "fitting.skn", themeFileBytes(fitting)));
    ASSERT_EQ(kept.StringEntries().size(), 1);
    EXPECT_EQ(kept.StringEntries().front().size(), (16 << 20) + 6);
    EXPECT_EQ(kept.GetIntegerValue("FormRoundCornerInt"), 6);
}

// Something other than a regular file under a theme's name (a FIFO swapped
// in, say) is never waited on: it is no theme and is passed over.
TEST(ThemeFile, AFifoIsPassedOverWithoutWaitingForAWriter) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.skn");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto checked =
        std::async(std::launch::async, [&] { return TskFileTheme::IsValidThemeFile(fifo); });
    if (checked.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Let the blocked opening go before failing.
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        FAIL() << "checking a FIFO waited for a writer";
    }
    EXPECT_FALSE(checked.get());
    TskFileThemeMgr manager;
    EXPECT_FALSE(manager.LoadTheme(fifo));
    TskFileTheme theme;
    EXPECT_NO_THROW(theme.SetThemeFile(fifo));
    EXPECT_FALSE(theme.CanUse());
    EXPECT_EQ(theme.ThemeFile(), QString());
}

// An image is decoded once per load, however often it is asked for; a new
// load decodes afresh.
TEST(ThemeFile, ImagesAreDecodedOncePerLoad) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "sample.skn", themeFileBytes(sampleEntries()));
    TskFileTheme theme;
    theme.SetThemeFile(path);
    QImage first;
    QImage second;
    ASSERT_TRUE(theme.GetImage(1, &first));
    ASSERT_TRUE(theme.GetImage(1, &second));
    EXPECT_EQ(first.cacheKey(), second.cacheKey());
    EXPECT_EQ(first.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);

    const QString copy = writeFile(dir, "copy.skn", themeFileBytes(sampleEntries()));
    theme.SetThemeFile(copy);
    QImage reloaded;
    ASSERT_TRUE(theme.GetImage(1, &reloaded));
    EXPECT_NE(reloaded.cacheKey(), first.cacheKey());
    EXPECT_EQ(reloaded, first);
}

// A short run of the theme-file fuzzer (fuzz/widgets/skin runs long ones):
// damaged files must neither crash, hang nor make the reader keep more than a
// theme may.
TEST(ThemeFile, SurvivesRandomlyDamagedFiles) {
    const FuzzReport report = theme_file_fuzz::Run(1500, 20261208);
    EXPECT_EQ(report.failure, "");
    EXPECT_GT(report.times("faces drawn"), 100u);
    EXPECT_GT(report.times("signatures refused"), 10u);
    EXPECT_GT(report.times("files with problems"), 100u);
}
