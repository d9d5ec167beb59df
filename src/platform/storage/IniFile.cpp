#include "platform/storage/IniFile.h"

#include "platform/storage/AtomicFile.h"
#include "platform/storage/RegistryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <optional>

namespace {

bool isControl(QChar character) {
    return (character.unicode() < 0x20 && character != QLatin1Char('\t')) ||
           character.unicode() == 0x7F;
}

bool hasControlCharacter(const QString& text) {
    for (const QChar character : text)
        if (isControl(character))
            return true;
    return false;
}

// The name inside "[...]" of a section header line, or nullopt.
std::optional<QString> sectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

struct KeyLine {
    QString key;
    QString value;
};

std::optional<KeyLine> keyLine(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
        trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return std::nullopt;
    return KeyLine{trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
}

QString withoutQuotes(const QString& value) {
    if (value.size() >= 2 &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

std::optional<std::int32_t> parseDecimal(const QString& text) {
    bool valid = false;
    const qint64 number = text.toLongLong(&valid, 10);
    if (!valid || text.contains(QLatin1Char(' ')) || number < INT32_MIN || number > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(number);
}

bool writableSection(const QString& section) {
    return !hasControlCharacter(section) && !section.contains(QLatin1Char(']')) &&
           section.trimmed() == section;
}

bool writableKey(const QString& key) {
    return !key.isEmpty() && !hasControlCharacter(key) && !key.contains(QLatin1Char('=')) &&
           !key.startsWith(QLatin1Char('[')) && !key.startsWith(QLatin1Char(';')) &&
           key.trimmed() == key;
}

} // namespace

QString IniFile::resolvePath(const QString& fileName) {
    if (QDir::isAbsolutePath(fileName))
        return fileName;
    return QDir(registryFolder()).filePath(fileName);
}

IniFile::IniFile(const QString& fileName) : m_path(resolvePath(fileName)) {
    const FileReadResult file = readWholeFile(m_path, kMaximumFileSize);
    if (file.error == ENOENT)
        return;
    if (file.error != 0) {
        m_loadError = file.error;
        m_loadedDamaged = true;
        return;
    }
    // Each line is decoded on its own, so one broken line costs only itself.
    for (QByteArray line : file.content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(line);
        if (decoder.hasError() || hasControlCharacter(text)) {
            m_loadedDamaged = true;
            continue;
        }
        m_lines.append(text);
    }
    // The final line break leaves an empty last piece that is not a line.
    if (!m_lines.isEmpty() && m_lines.last().isEmpty() && file.content.endsWith('\n'))
        m_lines.removeLast();
}

qsizetype IniFile::findSection(const QString& section) const {
    for (qsizetype index = 0; index < m_lines.size(); ++index) {
        const std::optional<QString> name = sectionName(m_lines[index]);
        if (name && name->compare(section, Qt::CaseInsensitive) == 0)
            return index;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const {
    qsizetype index = header + 1;
    while (index < m_lines.size() && !sectionName(m_lines[index]))
        ++index;
    return index;
}

IniFile::Position IniFile::find(const QString& section, const QString& key) const {
    Position position;
    position.section = findSection(section);
    if (position.section < 0)
        return position;
    const qsizetype end = sectionEnd(position.section);
    for (qsizetype index = position.section + 1; index < end; ++index) {
        const std::optional<KeyLine> line = keyLine(m_lines[index]);
        if (line && line->key.compare(key, Qt::CaseInsensitive) == 0) {
            position.key = index;
            break;
        }
    }
    return position;
}

bool IniFile::sectionExists(const QString& section) const {
    return findSection(section) >= 0;
}

bool IniFile::valueExists(const QString& section, const QString& key) const {
    return find(section, key).key >= 0;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const Position position = find(section, key);
    if (position.key < 0)
        return defaultValue;
    return withoutQuotes(keyLine(m_lines[position.key])->value);
}

std::int32_t IniFile::readInteger(const QString& section, const QString& key,
                                  std::int32_t defaultValue) const {
    const Position position = find(section, key);
    if (position.key < 0)
        return defaultValue;
    return parseDecimal(keyLine(m_lines[position.key])->value).value_or(defaultValue);
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    if (!writableSection(section) || !writableKey(key) || hasControlCharacter(value))
        return false;
    const QString line = key + QLatin1Char('=') + value;
    const Position position = find(section, key);
    if (position.key >= 0) {
        if (m_lines[position.key] != line) {
            m_lines[position.key] = line;
            m_changed = true;
        }
        return true;
    }
    if (position.section >= 0) {
        // New keys go after the section's last non-blank line.
        qsizetype insertAt = sectionEnd(position.section);
        while (insertAt > position.section + 1 && m_lines[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        m_lines.insert(insertAt, line);
    } else {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(line);
    }
    m_changed = true;
    return true;
}

bool IniFile::writeInteger(const QString& section, const QString& key, std::int32_t value) {
    return writeString(section, key, QString::number(value));
}

int IniFile::save() {
    if (!m_changed && !m_loadedDamaged)
        return 0;
    if (m_loadError != 0 && m_loadError != EFBIG)
        return m_loadError; // an unreadable file is not overwritten blindly
    QByteArray content;
    for (const QString& line : m_lines)
        content.append(line.toUtf8()).append('\n');
    if (const int error = makeFolderPath(QFileInfo(m_path).absolutePath()); error != 0)
        return error;
    if (m_loadError == EFBIG) {
        // An oversized file could not be read; it is kept aside, not lost.
        const QString aside = m_path + QLatin1String(".damaged");
        QFile::remove(aside);
        QFile::copy(m_path, aside);
    }
    if (const int error = writeFileAtomically(m_path, content); error != 0)
        return error;
    m_changed = false;
    m_loadedDamaged = false;
    m_loadError = 0;
    return 0;
}
