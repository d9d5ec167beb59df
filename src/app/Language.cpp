#include "app/Language.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTranslator>

namespace {

constexpr char LanguageOption[] = "--lang";
constexpr char AutomaticLanguage[] = "auto";

// The first of the desktop's languages that the program has texts for.
QString desktopLanguage(const QLocale& desktop) {
    const QStringList catalogues = CatalogueLanguages();
    for (const QString& name : desktop.uiLanguages()) {
        const QLocale::Language wanted = QLocale(name).language();
        if (wanted == QLocale(SourceLanguage).language()) {
            return SourceLanguage;
        }
        for (const QString& language : catalogues) {
            if (QLocale(language).language() == wanted) {
                return language;
            }
        }
    }
    return SourceLanguage;
}

std::optional<QString> resolve(const QString& value, const QLocale& desktop) {
    if (value == QLatin1String(AutomaticLanguage)) {
        return desktopLanguage(desktop);
    }
    if (value == SourceLanguage || CatalogueLanguages().contains(value)) {
        return value;
    }
    return std::nullopt;
}

QString catalogueFile(const QString& language) {
    const QString chosen = qEnvironmentVariable("KESTRO_CATALOGUE_FILE");
    if (!chosen.isEmpty()) {
        return chosen;
    }
    return QStringLiteral(":/i18n/kestro-modbus-m_%1.qm").arg(language);
}

} // namespace

QString LanguageValues() {
    QStringList values{SourceLanguage};
    values += CatalogueLanguages();
    return QCoreApplication::translate("Language", "%1 or %2")
        .arg(values.join(QStringLiteral(", ")), QLatin1String(AutomaticLanguage));
}

QStringList CatalogueLanguages() {
    // The build names the catalogues it compiles into the program.
    return QString::fromLatin1(KESTRO_CATALOGUE_LANGUAGES)
        .split(QLatin1Char(','), Qt::SkipEmptyParts);
}

LanguageArguments ChooseLanguage(const QStringList& arguments, const QString& environmentValue,
                                 const QLocale& desktop) {
    LanguageArguments result;
    std::optional<QString> given;
    const QString withValue = QLatin1String(LanguageOption) + QLatin1Char('=');
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (argument.startsWith(withValue)) {
            given = argument.mid(withValue.size());
        } else if (argument == QLatin1String(LanguageOption)) {
            if (index + 1 >= arguments.size()) {
                result.error = QCoreApplication::translate("Language", "--lang needs a value: %1")
                                   .arg(LanguageValues());
                return result;
            }
            given = arguments[++index];
        } else {
            result.options.append(argument);
        }
    }
    const QString source =
        given ? QString::fromLatin1(LanguageOption) : QStringLiteral("KESTRO_LANG");
    const QString value = given ? *given : environmentValue;
    if (value.isEmpty() && !given) {
        result.language = SourceLanguage;
        return result;
    }
    result.language = resolve(value, desktop);
    if (!result.language) {
        result.error = QCoreApplication::translate("Language", "%1 must be %2, got \"%3\"")
                           .arg(source, LanguageValues(), value);
    }
    return result;
}

bool InstallCatalogue(QCoreApplication& application, const QString& language, std::FILE* warnings) {
    if (language == SourceLanguage) {
        return true;
    }
    const QString file = catalogueFile(language);
    auto* catalogue = new QTranslator(&application);
    const char* problem = nullptr;
    if (!QFileInfo::exists(file)) {
        problem = QT_TRANSLATE_NOOP("Language", "kestro-modbus-m: the catalogue for \"%1\" is "
                                                "missing (%2); the texts stay in Chinese.");
    } else if (!catalogue->load(file)) {
        problem = QT_TRANSLATE_NOOP("Language", "kestro-modbus-m: the catalogue for \"%1\" is "
                                                "damaged (%2); the texts stay in Chinese.");
    } else if (catalogue->isEmpty()) {
        problem = QT_TRANSLATE_NOOP("Language", "kestro-modbus-m: the catalogue for \"%1\" "
                                                "holds no texts (%2); the texts stay in Chinese.");
    } else if (QCoreApplication::installTranslator(catalogue)) {
        return true;
    } else {
        problem = QT_TRANSLATE_NOOP("Language", "kestro-modbus-m: the catalogue for \"%1\" "
                                                "could not be used (%2); the texts stay in "
                                                "Chinese.");
    }
    delete catalogue;
    const QString warning =
        QCoreApplication::translate("Language", problem).arg(language, file) + QLatin1Char('\n');
    std::fputs(warning.toUtf8().constData(), warnings);
    std::fflush(warnings);
    return false;
}
