#pragma once
// An INI file accessor with the semantics of the classic profile functions:
// "[Section]" lines start sections, "Key=Value" lines give values, section and
// key names are compared without regard to letter case (the first match
// counts), blanks around names and values are ignored, one pair of matching
// quotes around a value is removed, lines starting with ";" and lines that are
// neither are kept but never match. A relative file name is taken relative to
// the settings folder (as the classic functions take it relative to the system
// folder), so a bare "tool.ini" lands beside the other settings.
//
// The file is read once when the accessor is made; changes are kept in memory
// and written by save(), which replaces the file atomically and keeps every
// other line as it was. A missing file reads as empty and is created by
// save(). Lines that are not text (control bytes, broken UTF-8) are dropped
// when saving, so a damaged file comes back clean.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

class IniFile {
public:
    static constexpr std::size_t kMaximumFileSize = 1024 * 1024;

    explicit IniFile(const QString& fileName);

    /// The path actually used (relative names resolved).
    const QString& path() const { return m_path; }

    /// 0 when the file was read or does not exist; EFBIG when too large,
    /// otherwise the errno of the failed read. Reads then give the defaults.
    int loadError() const { return m_loadError; }

    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    /// The default when the key is missing or its text is not a decimal
    /// 32-bit integer.
    std::int32_t readInteger(const QString& section, const QString& key,
                             std::int32_t defaultValue) const;

    /// False (and nothing changed) when a name or value cannot be written
    /// without breaking the file's line structure: line breaks or control
    /// characters anywhere, "]" in a section name, "=" or a leading "[" or ";"
    /// in a key, an empty key, blanks around a key.
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, std::int32_t value);

    /// Writes the file if anything changed. 0 or the errno of the failure.
    int save();

    /// Resolves a file name as the constructor does.
    static QString resolvePath(const QString& fileName);

private:
    struct Position {
        qsizetype section = -1; // index of the section's header line
        qsizetype key = -1;     // index of the key's line
    };

    Position find(const QString& section, const QString& key) const;
    qsizetype findSection(const QString& section) const;
    qsizetype sectionEnd(qsizetype header) const;

    QString m_path;
    QStringList m_lines;
    int m_loadError = 0;
    bool m_loadedDamaged = false;
    bool m_changed = false;
};
