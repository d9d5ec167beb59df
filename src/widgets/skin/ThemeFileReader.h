#pragma once
// Reads a skin theme file into four keyed lists: images (owned byte copies of
// whole bitmap files), integers, booleans and texts. A theme file is a 24-byte
// header followed by a chain of 77-byte entry records; the record whose
// next-entry offset is 0 ends the chain and is not loaded itself.
//
// Everything is read within the file: the record and header sizes are fixed
// whatever their size fields claim, an integer takes 4 bytes and a boolean 1,
// and a chain that leaves the file or comes back to a record already read ends
// the reading. What was wrong with a file is kept in Problems().

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>

class QFile;

namespace ThemeFileFormat {
inline constexpr int SignatureSize = 12;
inline constexpr int SignatureProbeSize = 16;
inline constexpr int HeaderSize = 24;
inline constexpr int HeaderSizeField = 12;
inline constexpr int FirstEntryField = 20;
inline constexpr int RecordSize = 77;
inline constexpr int KeySize = 64;
inline constexpr int KindField = 64;
inline constexpr int DataOffsetField = 65;
inline constexpr int DataSizeField = 69;
inline constexpr int NextEntryField = 73;
inline constexpr char Signature[] = "Tessora_TB";

enum class EntryKind : std::uint8_t { Image = 0, Integer = 1, Boolean = 2, Text = 3 };

// Bounds on what one file may make us keep in memory, counted as it is kept
// (texts as wide characters with their key); a genuine theme holds about
// fifty entries and well under a megabyte of images.
inline constexpr int MaximumRecords = 65536;
inline constexpr qint64 MaximumKeptBytes = 64 * 1024 * 1024;
} // namespace ThemeFileFormat

class TskThemeFileReader {
public:
    /// Opens and reads `path`. Throws ESkinError when it cannot be opened or
    /// is not a regular file.
    explicit TskThemeFileReader(const QString& path);
    /// Reads a theme file that is open already.
    explicit TskThemeFileReader(QFile& file);

    TskThemeFileReader(const TskThemeFileReader&) = delete;
    TskThemeFileReader& operator=(const TskThemeFileReader&) = delete;

    /// The bytes of the first image stored under `key` (letter case ignored),
    /// or nothing when the key is absent.
    std::optional<QByteArray> GetImageStream(const QString& key) const;
    /// The boolean under `key`; false when absent or not a decimal number.
    bool GetBoolValue(const QString& key) const;
    /// The integer under `key`; -1 when absent or not a decimal number.
    int GetIntegerValue(const QString& key) const;

    const QList<std::pair<QString, QByteArray>>& ImageEntries() const { return m_imageEntries; }
    /// Lines "key=value" in file order.
    const QStringList& IntegerEntries() const { return m_integerEntries; }
    const QStringList& BooleanEntries() const { return m_booleanEntries; }
    const QStringList& StringEntries() const { return m_stringEntries; }

    /// Human-readable notes on malformed parts of the file; empty for a sound file.
    const QStringList& Problems() const { return m_problems; }

private:
    void LoadThemeFile(QFile& file);
    bool loadEntry(QFile& file, const QByteArray& record, qint64& keptBytes);
    /// Reads the entry's data and adds it to its list; false when the file
    /// no longer holds it.
    bool keepEntry(QFile& file, const QString& key, ThemeFileFormat::EntryKind kind, qint64 offset,
                   qint64 size);

    QList<std::pair<QString, QByteArray>> m_imageEntries;
    QStringList m_integerEntries;
    QStringList m_booleanEntries;
    QStringList m_stringEntries;
    QStringList m_problems;
};

/// The value part of the first "key=value" line whose key matches, ignoring case.
std::optional<QString> ThemeListValue(const QStringList& lines, const QString& key);
