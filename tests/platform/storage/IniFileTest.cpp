#include "platform/storage/IniFile.h"
#include "tests/support/TemporaryConfig.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(IniFile, ReadsLikeTheClassicProfileFunctions) {
    TemporaryConfig config;
    const QString path = config.file("port.ini");
    writeContent(path, "; comment=not a key\r\n"
                       "loose=before any section\n"
                       "  [ ComPort ]  \n"
                       "  Port  =  COM3  \r\n"
                       "Quoted=\"  spaced  \"\n"
                       "Single='x'\n"
                       "Half=\"open\n"
                       "BaudRate=9600\n"
                       "Negative=-12\n"
                       "Blank=\n"
                       "TooBig=2147483648\n"
                       "Words=12 monkeys\n"
                       "Hex=0x10\n"
                       "port=second spelling loses\n"
                       "[comport]\n"
                       "Extra=in the second section of the same name\n"
                       "[Other]\n"
                       "Port=COM9\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.loadError(), 0);
    EXPECT_EQ(ini.readString("comport", "PORT", "d"), "COM3");
    EXPECT_EQ(ini.readString("ComPort", "Quoted", "d"), "  spaced  ");
    EXPECT_EQ(ini.readString("ComPort", "Single", "d"), "x");
    EXPECT_EQ(ini.readString("ComPort", "Half", "d"), "\"open");
    EXPECT_EQ(ini.readString("ComPort", "Blank", "d"), "");
    EXPECT_EQ(ini.readString("ComPort", "Extra", "d"), "d");
    EXPECT_EQ(ini.readString("ComPort", "; comment", "d"), "d");
    EXPECT_EQ(ini.readString("Other", "Port", "d"), "COM9");
    EXPECT_EQ(ini.readString("Missing", "Port", "d"), "d");
    EXPECT_EQ(ini.readInteger("ComPort", "BaudRate", 1), 9600);
    EXPECT_EQ(ini.readInteger("ComPort", "Negative", 1), -12);
    for (const char* bad : {"Blank", "TooBig", "Words", "Hex", "Port", "Absent"})
        EXPECT_EQ(ini.readInteger("ComPort", bad, 77), 77) << bad;
    EXPECT_TRUE(ini.valueExists("COMPORT", "blank"));
    EXPECT_FALSE(ini.sectionExists("Nowhere"));

    const IniFile missing(config.file("never-written.ini"));
    EXPECT_EQ(missing.loadError(), 0);
    EXPECT_EQ(missing.readString("ComPort", "Port", "kept"), "kept");
}

TEST(IniFile, WritesKeepEveryOtherLineAndLandAtomically) {
    TemporaryConfig config;
    const QString path = config.file("sub/folder/port.ini");
    {
        IniFile ini(path);
        ASSERT_TRUE(ini.writeString("ComPort", "Port", "COM3"));
        ASSERT_TRUE(ini.writeInteger("ComPort", "CustomBaudRate", -5));
        ASSERT_EQ(ini.save(), 0);
    }
    EXPECT_EQ(fileContent(path), "[ComPort]\nPort=COM3\nCustomBaudRate=-5\n");

    writeContent(path, "; keep me\n[ComPort]\nPort = COM3\n\n[Other]\nA=1\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.writeString("comport", "PORT", "ttyUSB0"));
    ASSERT_TRUE(ini.writeString("ComPort", "BaudRate", "Custom"));
    ASSERT_TRUE(ini.writeString("New", "Key", ""));
    EXPECT_EQ(ini.readString("ComPort", "Port", "d"), "ttyUSB0");
    EXPECT_EQ(fileContent(path), "; keep me\n[ComPort]\nPort = COM3\n\n[Other]\nA=1\n")
        << "nothing reaches the disk before save()";
    ASSERT_EQ(ini.save(), 0);
    EXPECT_EQ(fileContent(path), "; keep me\n[ComPort]\nPORT=ttyUSB0\nBaudRate=Custom\n\n"
                                 "[Other]\nA=1\n\n[New]\nKey=\n");
}

TEST(IniFile, RefusesWritesThatWouldBreakTheLines) {
    TemporaryConfig config;
    const QString path = config.file("port.ini");
    IniFile ini(path);
    EXPECT_FALSE(ini.writeString("ComPort", "Port", "COM1\n[Evil]\nPort=COM9"));
    EXPECT_FALSE(ini.writeString("ComPort", "Port", QString("a") + QChar(0) + "b"));
    EXPECT_FALSE(ini.writeString("ComPort", "Po=rt", "x"));
    EXPECT_FALSE(ini.writeString("ComPort", "", "x"));
    EXPECT_FALSE(ini.writeString("ComPort", " Port", "x"));
    EXPECT_FALSE(ini.writeString("ComPort", "[Port", "x"));
    EXPECT_FALSE(ini.writeString("ComPort", ";Port", "x"));
    EXPECT_FALSE(ini.writeString("Com]Port", "Port", "x"));
    EXPECT_FALSE(ini.writeString("Com\nPort", "Port", "x"));
    EXPECT_EQ(ini.save(), 0);
    EXPECT_FALSE(QFile::exists(path)) << "refused writes change nothing";
    EXPECT_TRUE(ini.writeString(QString::fromUtf8("串口"), "Port", QString::fromUtf8("端口 1")));
    EXPECT_EQ(ini.save(), 0);
    EXPECT_EQ(IniFile(path).readString(QString::fromUtf8("串口"), "port", ""),
              QString::fromUtf8("端口 1"));
}

TEST(IniFile, DamagedFilesAreReadSafelyAndSavedClean) {
    TemporaryConfig config;
    const QString path = config.file("port.ini");
    writeContent(path, QByteArray("[ComPort]\nPort=COM4\nJunk=\x01\x02\xFF\x00zz\n\xC3\x28\n", 35) +
                           QByteArray(100000, 'y') + "\nBaudRate=19200\n");
    {
        IniFile ini(path);
        EXPECT_EQ(ini.loadError(), 0);
        EXPECT_EQ(ini.readString("ComPort", "Port", "d"), "COM4");
        EXPECT_EQ(ini.readString("ComPort", "Junk", "d"), "d");
        EXPECT_EQ(ini.readInteger("ComPort", "BaudRate", 0), 19200);
        ASSERT_EQ(ini.save(), 0);
    }
    const QByteArray cleaned = fileContent(path);
    EXPECT_EQ(cleaned, "[ComPort]\nPort=COM4\n" + QByteArray(100000, 'y') + "\nBaudRate=19200\n");

    writeContent(path, "[ComPort]\nPort=" + QByteArray(IniFile::kMaximumFileSize, 'z') + "\n");
    IniFile huge(path);
    EXPECT_EQ(huge.loadError(), EFBIG);
    EXPECT_EQ(huge.readString("ComPort", "Port", "d"), "d");
    ASSERT_TRUE(huge.writeString("ComPort", "Port", "COM5"));
    ASSERT_EQ(huge.save(), 0);
    EXPECT_EQ(fileContent(path), "[ComPort]\nPort=COM5\n");
    EXPECT_TRUE(QFile::exists(path + ".damaged")) << "the oversized file is kept aside";

    // Something that is not a file at all is refused at once, never waited on.
    const QString fifo = config.file("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(IniFile(fifo).loadError(), EINVAL);
    EXPECT_EQ(IniFile(config.path()).loadError(), EISDIR);
}

TEST(IniFile, RelativeNamesLandInTheSettingsFolder) {
    TemporaryConfig config;
    IniFile ini("tool.ini");
    EXPECT_EQ(ini.path(), config.file("tool.ini"));
    ini.writeString("S", "K", "V");
    ASSERT_EQ(ini.save(), 0);
    EXPECT_TRUE(QFile::exists(config.file("tool.ini")));
}
