// Choosing the language of the built program: the command line, the
// environment and the desktop, and what a missing or damaged catalogue does.
// The runner's message about a port it cannot open shows which texts are in force.

#include "tests/runner/ToolProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <map>

using namespace tooltest;

namespace {

const QString Chinese = QStringLiteral("串口打开失败，串口号可能不存在，请检查设置");
const QString English =
    QStringLiteral("The port could not be opened; it may not exist. Check the settings.");
const QStringList MissingPort{"--headless", "--port", "/nonexistent/ttyUSB9"};

// Sets environment variables for one run of the program and restores them.
class Environment {
public:
    explicit Environment(const std::map<QByteArray, QByteArray>& values) {
        for (const QByteArray& name :
             {QByteArray("KESTRO_LANG"), QByteArray("KESTRO_CATALOGUE_FILE"),
              QByteArray("LANGUAGE"), QByteArray("LC_ALL")}) {
            m_saved[name] = qgetenv(name.constData());
            const auto given = values.find(name);
            if (given == values.end()) {
                qunsetenv(name.constData());
            } else {
                qputenv(name.constData(), given->second);
            }
        }
    }
    ~Environment() {
        for (const auto& [name, value] : m_saved) {
            value.isNull() ? qunsetenv(name.constData()) : qputenv(name.constData(), value);
        }
    }

private:
    std::map<QByteArray, QByteArray> m_saved;
};

RunResult runWith(const std::map<QByteArray, QByteArray>& environment,
                  const QStringList& arguments) {
    const Environment scoped(environment);
    return runTool(arguments);
}

} // namespace

TEST(LanguageChoice, CommandLineEnvironmentAndDesktopChooseTheTexts) {
    struct Case {
        std::map<QByteArray, QByteArray> environment;
        QStringList language;
        QString expected;
    };
    const std::vector<Case> cases{
        {{{"LC_ALL", "en_US.UTF-8"}}, {}, Chinese}, // Chinese unless asked
        {{}, {"--lang", "en"}, English},
        {{}, {"--lang=en"}, English},
        {{{"KESTRO_LANG", "en"}}, {}, English},
        {{{"KESTRO_LANG", "en"}}, {"--lang", "zh"}, Chinese}, // the command line wins
        {{{"LC_ALL", "en_GB.UTF-8"}}, {"--lang", "auto"}, English},
        {{{"LC_ALL", "de_DE.UTF-8"}}, {"--lang", "auto"}, Chinese},
        {{{"LANGUAGE", "fr:en"}, {"LC_ALL", "fr_FR.UTF-8"}}, {"--lang", "auto"}, English},
        {{{"LC_ALL", "zh_CN.UTF-8"}, {"KESTRO_LANG", "auto"}}, {}, Chinese},
    };
    for (const Case& run : cases) {
        const RunResult result = runWith(run.environment, run.language + MissingPort);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.errors.section('\n', 0, 0), run.expected)
            << run.language.join(' ').toStdString() << "\n"
            << result.errors.toStdString();
    }
}

TEST(LanguageChoice, AnUnknownLanguageIsAUsageError) {
    const std::vector<std::pair<std::map<QByteArray, QByteArray>, QStringList>> refused{
        {{}, {"--lang", "fr"}},
        {{}, {"--lang=EN"}},
        {{}, {"--lang"}},
        {{{"KESTRO_LANG", "klingon"}}, {}},
    };
    for (const auto& [environment, language] : refused) {
        const RunResult result = runWith(environment, MissingPort + language);
        EXPECT_EQ(result.exitCode, 2) << language.join(' ').toStdString();
        EXPECT_TRUE(result.errors.contains("zh, en or auto")) << result.errors.toStdString();
        EXPECT_TRUE(result.errors.contains("usage: kestro-modbus-m"))
            << result.errors.toStdString();
    }
}

TEST(LanguageChoice, AMissingOrDamagedCatalogueLeavesTheChineseTextsWithOneWarning) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile built(QStringLiteral(KESTRO_CATALOGUE_EN_PATH));
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    const QByteArray catalogue = built.readAll();
    const std::map<QString, QByteArray> damaged{
        {"garbage.qm", "not a catalogue at all\n"},
        {"cut.qm", catalogue.left(catalogue.size() / 2)},
        {"header-only.qm", catalogue.left(16)},
        {"empty.qm", {}},
    };
    QStringList files{folder.filePath("missing.qm")};
    for (const auto& [name, bytes] : damaged) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        files.append(file.fileName());
    }
    for (const QString& file : files) {
        const RunResult result = runWith({{"KESTRO_CATALOGUE_FILE", file.toUtf8()}},
                                         MissingPort + QStringList{"--lang", "en"});
        const QStringList lines = result.errors.split('\n');
        ASSERT_GE(lines.size(), 2) << result.errors.toStdString();
        EXPECT_TRUE(lines[0].contains(file) && lines[0].contains("the texts stay in Chinese"))
            << result.errors.toStdString();
        EXPECT_EQ(result.errors.count("catalogue"), 1) << result.errors.toStdString();
        EXPECT_EQ(lines[1], Chinese);
    }
    // The same variable leads to a sound catalogue as well.
    const RunResult sound = runWith({{"KESTRO_CATALOGUE_FILE", KESTRO_CATALOGUE_EN_PATH}},
                                    MissingPort + QStringList{"--lang", "en"});
    EXPECT_EQ(sound.errors.section('\n', 0, 0), English) << sound.errors.toStdString();
}
