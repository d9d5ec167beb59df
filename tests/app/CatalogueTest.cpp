// Each catalogue translates exactly the texts of the program: lupdate reads
// src/ into a copy of it, and the copy must hold no text without a
// translation (one new in the program) and none the program no longer has.
// A catalogue for another language than Chinese holds no Chinese character.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

bool hasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF) ||
               (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
    });
}

// What is wrong with the catalogue at path, one line a message.
QStringList problemsOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {QStringLiteral("cannot read ") + path};
    }
    QStringList problems;
    QXmlStreamReader reader(&file);
    bool chinese = false;
    QString source;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (reader.name() == QLatin1String("TS")) {
            chinese = reader.attributes().value("language").startsWith(QLatin1String("zh"));
        } else if (reader.name() == QLatin1String("source")) {
            source = reader.readElementText();
        } else if (reader.name() == QLatin1String("translation")) {
            const QString type = reader.attributes().value("type").toString();
            const QString text = reader.readElementText();
            if (!type.isEmpty() || text.isEmpty()) {
                problems << QStringLiteral("%1 (%2)").arg(source, type.isEmpty() ? "empty" : type);
            } else if (!chinese && hasChinese(text)) {
                problems << QStringLiteral("%1 -> %2 (Chinese left)").arg(source, text);
            }
        }
    }
    if (reader.hasError()) {
        problems << reader.errorString();
    }
    return problems;
}

} // namespace

TEST(Catalogues, TranslateExactlyTheTextsOfTheProgram) {
    const QStringList catalogues =
        QDir(QStringLiteral(KESTRO_SOURCE_DIR "/translations")).entryList({"*.ts"}, QDir::Files);
    ASSERT_FALSE(catalogues.isEmpty());
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    for (const QString& name : catalogues) {
        const QString copy = work.filePath(name);
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRO_SOURCE_DIR "/translations/") + name, copy));
        QProcess lupdate;
        lupdate.start(
            QStringLiteral(KESTRO_LUPDATE_PATH),
            {"-locations", "none", QStringLiteral(KESTRO_SOURCE_DIR "/src"), "-ts", copy});
        ASSERT_TRUE(lupdate.waitForFinished(60000));
        ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
        const QStringList problems = problemsOf(copy);
        EXPECT_TRUE(problems.isEmpty())
            << name.toStdString() << " needs updating (cmake --build BUILD --target "
            << "update_translations) and translating:\n"
            << problems.join('\n').toStdString();
    }
}
