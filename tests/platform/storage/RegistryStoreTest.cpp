#include "platform/storage/RegistryStore.h"
#include "tests/support/TemporaryConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(RegistryStore, RootsAreChosenByNameAndKeptInSeparateFiles) {
    TemporaryConfig config;
    EXPECT_EQ(registryRootFromName("hkey_local_machine"), RegistryRoot::LocalMachine);
    EXPECT_EQ(registryRootFromName("HKEY_CURRENT_USER"), RegistryRoot::CurrentUser);
    EXPECT_FALSE(registryRootFromName("HKLM").has_value());
    EXPECT_EQ(registryRootFile(RegistryRoot::LocalMachine),
              config.file("HKEY_LOCAL_MACHINE.registry"));

    {
        RegistryStore machine(RegistryRoot::LocalMachine);
        ASSERT_EQ(machine.openKey("Software\\A", true), RegistryError::None);
        ASSERT_EQ(machine.writeText("Where", "machine"), RegistryError::None);
        ASSERT_EQ(machine.closeKey(), RegistryError::None);
        RegistryStore user(RegistryRoot::CurrentUser);
        ASSERT_EQ(user.openKey("Software\\A", true), RegistryError::None);
        ASSERT_EQ(user.writeText("Where", "user"), RegistryError::None);
    } // the destructor writes as well

    RegistryStore reader(RegistryRoot::LocalMachine);
    QString text;
    ASSERT_EQ(reader.openKey("software\\a", false), RegistryError::None);
    EXPECT_EQ(reader.readText("WHERE", text), RegistryError::None);
    EXPECT_EQ(text, "machine");
    reader.setRoot(RegistryRoot::CurrentUser);
    ASSERT_EQ(reader.openKey("Software\\A", false), RegistryError::None);
    reader.readText("Where", text);
    EXPECT_EQ(text, "user");
}

TEST(RegistryStore, OddNamesAndValuesSurviveTheFile) {
    TemporaryConfig config;
    const QString oddKey = QString::fromUtf8("Key with %41 spaces\t和 tabs");
    const QStringList names = {"plain",       "with space", "100%",
                               "back\\slash", "new\nline",  QString::fromUtf8("名字"),
                               "#13",         "="};
    {
        RegistryStore store(RegistryRoot::LocalMachine);
        ASSERT_EQ(store.openKey("Software\\" + oddKey + "\\Deeper\\Still", true),
                  RegistryError::None);
        for (const QString& name : names)
            ASSERT_EQ(store.writeText(name, name + " =%\r\n\x01" + QChar(0x7F)),
                      RegistryError::None);
        ASSERT_EQ(store.writeText("empty", ""), RegistryError::None);
        ASSERT_EQ(store.writeNumber("lowest", INT32_MIN), RegistryError::None);
        ASSERT_EQ(store.writeNumber("highest", INT32_MAX), RegistryError::None);
        ASSERT_EQ(store.closeKey(), RegistryError::None);
    }
    const QByteArray content = fileContent(registryRootFile(RegistryRoot::LocalMachine));
    EXPECT_TRUE(content.startsWith("KESTRO-REGISTRY 1\n"));
    EXPECT_EQ(content.count('\n'), 5 + names.size() + 3) << content.toStdString();

    RegistryStore store(RegistryRoot::LocalMachine);
    ASSERT_EQ(store.openKey("\\Software\\" + oddKey.toUpper() + "\\deeper\\still\\", false),
              RegistryError::None);
    for (const QString& name : names) {
        QString text;
        EXPECT_EQ(store.readText(name.toUpper(), text), RegistryError::None);
        EXPECT_EQ(text, name + " =%\r\n\x01" + QChar(0x7F));
    }
    QString empty = "not yet";
    EXPECT_EQ(store.readText("empty", empty), RegistryError::None);
    EXPECT_TRUE(empty.isEmpty());
    std::int32_t number = 0;
    EXPECT_EQ(store.readNumber("lowest", number), RegistryError::None);
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_EQ(store.readNumber("highest", number), RegistryError::None);
    EXPECT_EQ(number, INT32_MAX);
    // The keys between root and value exist in their own right, spelled as created.
    ASSERT_EQ(store.openKey("SOFTWARE", false), RegistryError::None);
}

TEST(RegistryStore, MissingAndMistypedValuesAreReported) {
    TemporaryConfig config;
    RegistryStore store(RegistryRoot::CurrentUser);
    QString text = "stale";
    std::int32_t number = 7;
    EXPECT_EQ(store.readText("Port", text), RegistryError::NoOpenKey);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(store.readNumber("CustomBaudRate", number), RegistryError::NoOpenKey);
    EXPECT_EQ(store.writeText("Port", "COM1"), RegistryError::NoOpenKey);
    EXPECT_EQ(store.openKey("Software\\Nothing", false), RegistryError::KeyMissing);
    EXPECT_FALSE(store.hasOpenKey());
    EXPECT_FALSE(QFile::exists(registryRootFile(RegistryRoot::CurrentUser)));

    ASSERT_EQ(store.openKey("Software\\Typed", true), RegistryError::None);
    store.writeText("Text", "12");
    store.writeNumber("Number", 12);
    text = "stale";
    EXPECT_EQ(store.readText("Absent", text), RegistryError::ValueMissing);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(store.readNumber("Absent", number), RegistryError::ValueMissing);
    EXPECT_EQ(store.readNumber("Text", number), RegistryError::WrongType);
    EXPECT_EQ(store.readText("Number", text), RegistryError::WrongType);
    EXPECT_EQ(store.writeText(QString(256, 'x'), "long"), RegistryError::InvalidName);
    EXPECT_EQ(store.valueNames(), QStringList({"Number", "Text"}));
    EXPECT_EQ(store.openKey(QString("A\\").repeated(513), true), RegistryError::InvalidName);
}

TEST(RegistryStore, DamagedFilesAreReportedAndReplacedCleanOnWrite) {
    const QList<QByteArray> damaged = {
        "garbage",
        QByteArray("\x00\x01\x02\xFF\xFE binary", 13),
        "KESTRO-REGISTRY 1",                                  // no final line break
        "KESTRO-REGISTRY 2\n",                                // unknown version
        "KESTRO-REGISTRY 1\ntext Port COM1\n",                // value before any key
        "KESTRO-REGISTRY 1\nkey A\ntext Port COM1 extra\n",   // too many fields
        "KESTRO-REGISTRY 1\nkey A\ntext Port  COM1\n",        // double blank
        "KESTRO-REGISTRY 1\nkey A\ntext Port %4\n",           // short escape
        "KESTRO-REGISTRY 1\nkey A\ntext Port %GG\n",          // bad escape
        "KESTRO-REGISTRY 1\nkey A\ntext Port \xC3\x28\n",     // broken UTF-8
        "KESTRO-REGISTRY 1\nkey A\ntext Port a\tb\n",         // raw control byte
        "KESTRO-REGISTRY 1\nkey A\nnumber Baud 2147483648\n", // out of range
        "KESTRO-REGISTRY 1\nkey A\nnumber Baud 12x\n",        // not a number
        "KESTRO-REGISTRY 1\nkey A\nnumber Baud -\n",          // sign alone
        "KESTRO-REGISTRY 1\nkey A\nbinary Blob 00\n",         // unknown kind
        "KESTRO-REGISTRY 1\nkey A\\\\B\n",                    // empty key element
        "KESTRO-REGISTRY 1\r\nkey A\r\n",                     // foreign line breaks
        // keys nested far too deep
        "KESTRO-REGISTRY 1\nkey A" + QByteArray(600000, '\\').replace("\\", "\\A") + "\n",
        "KESTRO-REGISTRY 1\nkey A\ntext Port " + QByteArray(5 * 1024 * 1024, 'x') + "\n",
    };
    for (const QByteArray& content : damaged) {
        SCOPED_TRACE(content.left(60).toStdString());
        TemporaryConfig config;
        const QString file = registryRootFile(RegistryRoot::LocalMachine);
        writeContent(file, content);

        RegistryStore store(RegistryRoot::LocalMachine);
        EXPECT_EQ(store.openKey("A", false), RegistryError::Damaged);
        EXPECT_FALSE(store.hasOpenKey());

        EXPECT_EQ(store.openKey("A", true), RegistryError::Damaged);
        ASSERT_TRUE(store.hasOpenKey());
        QString text = "stale";
        EXPECT_EQ(store.readText("Port", text), RegistryError::ValueMissing);
        ASSERT_EQ(store.writeText("Port", "COM2"), RegistryError::None);
        ASSERT_EQ(store.closeKey(), RegistryError::None);

        EXPECT_EQ(fileContent(file), "KESTRO-REGISTRY 1\nkey A\ntext Port COM2\n");
        EXPECT_EQ(fileContent(file + ".damaged"), content);
        ASSERT_EQ(store.openKey("A", false), RegistryError::None);
        store.readText("Port", text);
        EXPECT_EQ(text, "COM2");
    }
}

TEST(RegistryStore, ASettingsFileThatIsALinkStaysALink) {
    TemporaryConfig config;
    QTemporaryDir dotfiles;
    ASSERT_TRUE(dotfiles.isValid());
    const QString real = dotfiles.filePath("machine.registry");
    const QString file = registryRootFile(RegistryRoot::LocalMachine);
    writeContent(real, "KESTRO-REGISTRY 1\nkey A\ntext Port COM1\n");
    ASSERT_TRUE(QFile::link(real, file));

    for (const QString& port : {QStringLiteral("COM2"), QStringLiteral("COM3")}) {
        RegistryStore store(RegistryRoot::LocalMachine);
        ASSERT_EQ(store.openKey("A", true), RegistryError::None);
        ASSERT_EQ(store.writeText("Port", port), RegistryError::None);
        ASSERT_EQ(store.closeKey(), RegistryError::None);
        EXPECT_TRUE(QFileInfo(file).isSymLink());
        EXPECT_EQ(fileContent(real), "KESTRO-REGISTRY 1\nkey A\ntext Port " + port.toUtf8() + "\n");
        // No temporary file is left in either folder.
        EXPECT_EQ(QDir(dotfiles.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"machine.registry"});
    }

    // A link whose file is gone yet: the file is made where the link leads.
    ASSERT_TRUE(QFile::remove(real));
    RegistryStore store(RegistryRoot::LocalMachine);
    ASSERT_EQ(store.openKey("B", true), RegistryError::None);
    ASSERT_EQ(store.writeText("Port", "COM4"), RegistryError::None);
    ASSERT_EQ(store.closeKey(), RegistryError::None);
    EXPECT_TRUE(QFileInfo(file).isSymLink());
    EXPECT_EQ(fileContent(real), "KESTRO-REGISTRY 1\nkey B\ntext Port COM4\n");
}

TEST(RegistryStore, ChangesMergeWithWhatOthersSavedMeanwhile) {
    TemporaryConfig config;
    RegistryStore first(RegistryRoot::LocalMachine);
    RegistryStore second(RegistryRoot::LocalMachine);
    ASSERT_EQ(first.openKey("Software\\Tool\\PortA", true), RegistryError::None);
    ASSERT_EQ(second.openKey("Software\\Tool\\PortB", true), RegistryError::None);
    first.writeText("Port", "ttyUSB0");
    second.writeText("Port", "ttyUSB1");
    ASSERT_EQ(second.closeKey(), RegistryError::None);
    ASSERT_EQ(first.closeKey(), RegistryError::None);

    RegistryStore reader(RegistryRoot::LocalMachine);
    QString text;
    ASSERT_EQ(reader.openKey("Software\\Tool\\PortA", false), RegistryError::None);
    reader.readText("Port", text);
    EXPECT_EQ(text, "ttyUSB0");
    ASSERT_EQ(reader.openKey("Software\\Tool\\PortB", false), RegistryError::None);
    reader.readText("Port", text);
    EXPECT_EQ(text, "ttyUSB1");
    // Only the root file and its lock remain: no temporary files are left behind.
    EXPECT_EQ(QDir(config.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(RegistryStore, UnreadableOrUnwritablePlacesAreSystemErrors) {
    TemporaryConfig config;
    ASSERT_TRUE(QDir().mkpath(registryRootFile(RegistryRoot::CurrentUser)));
    RegistryStore store(RegistryRoot::CurrentUser);
    EXPECT_EQ(store.openKey("A", true), RegistryError::SystemError);
    EXPECT_EQ(store.systemCode(), EISDIR);

    // A folder that turns into something else between opening and closing
    // makes the write fail, and the failure reaches the caller.
    RegistryStore late(RegistryRoot::LocalMachine);
    ASSERT_EQ(late.openKey("A", true), RegistryError::None);
    late.writeNumber("N", 1);
    ASSERT_TRUE(QDir().mkpath(registryRootFile(RegistryRoot::LocalMachine) + "/inside"));
    EXPECT_EQ(late.closeKey(), RegistryError::SystemError);
    EXPECT_NE(late.systemCode(), 0);
}

TEST(RegistryStore, FolderFollowsTheEnvironment) {
    TemporaryConfig config;
    EXPECT_EQ(registryFolder(), config.path());
    qunsetenv("KESTRO_CONFIG_DIR");
    const QByteArray previousConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/config");
    EXPECT_EQ(registryFolder(), "/somewhere/config/kestro-modbus-m");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(registryFolder(), QDir::homePath() + "/.config/kestro-modbus-m");
    if (previousConfigHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", previousConfigHome);
}
