#pragma once
// The language of the texts people see. The texts are written in Chinese in
// the code, and Chinese is what the program shows unless another language is
// chosen; every other language is a catalogue compiled into the program from
// its translation file (translations/kestro-modbus-m_<language>.ts).

#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

class QCoreApplication;

/// The language the texts are written in, which needs no catalogue.
inline const QString SourceLanguage = QStringLiteral("zh");

/// The languages with a catalogue in the program, e.g. "en".
QStringList CatalogueLanguages();

/// The values --lang takes, as the usage names them: "zh, en or auto".
QString LanguageValues();

struct LanguageArguments {
    /// SourceLanguage or one of CatalogueLanguages(); empty when refused.
    std::optional<QString> language;
    QString error;       ///< set when language is empty
    QStringList options; ///< the arguments without --lang and its value
};

/// Takes --lang LANG (or --lang=LANG) out of the arguments; without it the
/// environment's value (KESTRO_LANG) chooses, and without either Chinese.
/// LANG is "zh", a catalogue's language, or "auto": the first of the
/// desktop's languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) that the program
/// has texts for, otherwise Chinese. Anything else is refused with a message
/// naming where it came from.
LanguageArguments ChooseLanguage(const QStringList& arguments, const QString& environmentValue,
                                 const QLocale& desktop);

/// Puts the language's catalogue in force for the application, as a child of
/// it: the one compiled into the program, or the file KESTRO_CATALOGUE_FILE
/// names (to try a translation without building). The source language needs
/// none. A catalogue that is missing, damaged
/// or empty leaves the source texts in force and is told in one line on
/// warnings; returns whether the chosen language is in force. A text the
/// catalogue holds no translation for (or an empty one) keeps its source text.
bool InstallCatalogue(QCoreApplication& application, const QString& language, std::FILE* warnings);
