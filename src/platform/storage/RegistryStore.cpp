#include "platform/storage/RegistryStore.h"

#include <QStringDecoder>
#include <array>
#include <utility>

namespace {

constexpr char kHeader[] = "KESTRO-REGISTRY 1";
constexpr char kEmptyField = '%';

struct RootName {
    RegistryRoot root;
    const char* name;
};

constexpr std::array<RootName, 5> kRootNames{{
    {RegistryRoot::ClassesRoot, "HKEY_CLASSES_ROOT"},
    {RegistryRoot::CurrentUser, "HKEY_CURRENT_USER"},
    {RegistryRoot::LocalMachine, "HKEY_LOCAL_MACHINE"},
    {RegistryRoot::Users, "HKEY_USERS"},
    {RegistryRoot::CurrentConfig, "HKEY_CURRENT_CONFIG"},
}};

QString folded(const QString& name) {
    return name.toCaseFolded();
}

bool mustEscape(unsigned char byte) {
    return byte <= 0x20 || byte == 0x7F || byte == '%' || byte == '\\';
}

QByteArray encodeField(const QString& text) {
    if (text.isEmpty())
        return QByteArray(1, kEmptyField);
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray result;
    for (const char character : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(character);
        if (mustEscape(byte)) {
            result.append('%');
            result.append(kHex[byte >> 4]);
            result.append(kHex[byte & 0x0F]);
        } else {
            result.append(character);
        }
    }
    return result;
}

int hexDigit(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    return -1;
}

// Decodes one field; nullopt when it breaks the format (a stray control byte,
// a bad escape, or bytes that are not UTF-8).
std::optional<QString> decodeField(const QByteArray& field) {
    if (field.size() == 1 && field[0] == kEmptyField)
        return QString();
    if (field.isEmpty())
        return std::nullopt;
    QByteArray bytes;
    for (qsizetype index = 0; index < field.size(); ++index) {
        const auto byte = static_cast<unsigned char>(field[index]);
        if (byte == '%') {
            if (index + 2 >= field.size())
                return std::nullopt;
            const int high = hexDigit(field[index + 1]);
            const int low = hexDigit(field[index + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            bytes.append(static_cast<char>(high * 16 + low));
            index += 2;
        } else if (mustEscape(byte)) {
            return std::nullopt;
        } else {
            bytes.append(static_cast<char>(byte));
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<std::int32_t> parseNumber(const QByteArray& field) {
    // Only a plain decimal with an optional minus sign: no blanks, no plus.
    if (field.isEmpty() || field.size() > 11)
        return std::nullopt;
    qsizetype index = field[0] == '-' ? 1 : 0;
    if (index == field.size())
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (; index < field.size(); ++index) {
        if (field[index] < '0' || field[index] > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (field[index] - '0');
    }
    const std::int64_t number = field[0] == '-' ? -magnitude : magnitude;
    if (number < INT32_MIN || number > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(number);
}

std::optional<QStringList> decodePath(const QByteArray& field) {
    if (field.size() == 1 && field[0] == kEmptyField)
        return QStringList();
    const QList<QByteArray> elements = field.split('\\');
    if (elements.size() > RegistryStore::kMaximumDepth)
        return std::nullopt;
    QStringList path;
    for (const QByteArray& element : elements) {
        std::optional<QString> name = decodeField(element);
        if (!name || name->isEmpty() || name->size() > RegistryStore::kMaximumNameLength)
            return std::nullopt;
        path.append(*name);
    }
    return path;
}

QByteArray encodePath(const QStringList& path) {
    if (path.isEmpty())
        return QByteArray(1, kEmptyField);
    QByteArray result;
    for (const QString& element : path) {
        if (!result.isEmpty())
            result.append('\\');
        result.append(encodeField(element));
    }
    return result;
}

void serializeKey(const RegistryTree::Key& key, QStringList& path, QByteArray& out) {
    out.append("key ").append(encodePath(path)).append('\n');
    for (const auto& [foldedName, value] : key.values) {
        if (value.kind == RegistryValueKind::Text)
            out.append("text ")
                .append(encodeField(value.name))
                .append(' ')
                .append(encodeField(value.text));
        else
            out.append("number ")
                .append(encodeField(value.name))
                .append(' ')
                .append(QByteArray::number(value.number));
        out.append('\n');
    }
    for (const auto& [foldedName, child] : key.children) {
        path.append(child.name);
        serializeKey(child, path, out);
        path.removeLast();
    }
}

bool validName(const QString& name) {
    return name.size() <= RegistryStore::kMaximumNameLength;
}

} // namespace

std::optional<RegistryRoot> registryRootFromName(const QString& name) {
    for (const RootName& entry : kRootNames)
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.root;
    return std::nullopt;
}

QString registryRootName(RegistryRoot root) {
    for (const RootName& entry : kRootNames)
        if (entry.root == root)
            return QString::fromLatin1(entry.name);
    return QString();
}

bool RegistryTree::parse(const QByteArray& content) {
    m_root = Key();
    if (!parseLines(content)) {
        m_root = Key();
        return false;
    }
    return true;
}

bool RegistryTree::parseLines(const QByteArray& content) {
    QList<QByteArray> lines = content.split('\n');
    // A complete file ends with a line break, which leaves one empty piece.
    if (lines.size() < 2 || !lines.last().isEmpty() || lines.first() != kHeader)
        return false;
    lines.removeLast();
    Key* current = nullptr;
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QList<QByteArray> fields = lines[index].split(' ');
        const QByteArray& kind = fields.first();
        if (kind == "key" && fields.size() == 2) {
            const std::optional<QStringList> path = decodePath(fields[1]);
            if (!path)
                return false;
            current = &create(*path);
            continue;
        }
        if (current == nullptr || fields.size() != 3)
            return false;
        const std::optional<RegistryValue> value = parseValue(kind, fields[1], fields[2]);
        if (!value)
            return false;
        current->values[folded(value->name)] = *value;
    }
    return true;
}

std::optional<RegistryValue> RegistryTree::parseValue(const QByteArray& kind,
                                                      const QByteArray& nameField,
                                                      const QByteArray& dataField) {
    const std::optional<QString> name = decodeField(nameField);
    if (!name || !validName(*name))
        return std::nullopt;
    RegistryValue value;
    value.name = *name;
    if (kind == "text") {
        const std::optional<QString> text = decodeField(dataField);
        if (!text)
            return std::nullopt;
        value.text = *text;
        return value;
    }
    if (kind == "number") {
        const std::optional<std::int32_t> number = parseNumber(dataField);
        if (!number)
            return std::nullopt;
        value.kind = RegistryValueKind::Number;
        value.number = *number;
        return value;
    }
    return std::nullopt;
}

QByteArray RegistryTree::serialize() const {
    QByteArray out(kHeader);
    out.append('\n');
    QStringList path;
    for (const auto& [foldedName, child] : m_root.children) {
        path.append(child.name);
        serializeKey(child, path, out);
        path.removeLast();
    }
    if (!m_root.values.empty()) {
        // Values of the root itself come last under an empty path, so that the
        // child keys above never inherit them when read back.
        Key valuesOnly;
        valuesOnly.values = m_root.values;
        serializeKey(valuesOnly, path, out);
    }
    return out;
}

const RegistryTree::Key* RegistryTree::find(const QStringList& path) const {
    const Key* key = &m_root;
    for (const QString& element : path) {
        const auto child = key->children.find(folded(element));
        if (child == key->children.end())
            return nullptr;
        key = &child->second;
    }
    return key;
}

void RegistryTree::setValue(const QStringList& path, const RegistryValue& value) {
    create(path).values[folded(value.name)] = value;
}

RegistryTree::Key& RegistryTree::create(const QStringList& path) {
    Key* key = &m_root;
    for (const QString& element : path) {
        Key& child = key->children[folded(element)];
        if (child.name.isEmpty())
            child.name = element;
        key = &child;
    }
    return *key;
}

RegistryStore::RegistryStore(RegistryRoot root) : m_root(root) {}

RegistryStore::~RegistryStore() {
    // Errors here have nobody to go to; callers that care close explicitly.
    closeKey();
}

void RegistryStore::setRoot(RegistryRoot root) {
    if (root == m_root)
        return;
    closeKey();
    m_root = root;
}

QStringList RegistryStore::splitPath(const QString& path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

RegistryError RegistryStore::openKey(const QString& path, bool canCreate) {
    closeKey();
    const QStringList elements = splitPath(path);
    if (elements.size() > kMaximumDepth)
        return RegistryError::InvalidName;
    for (const QString& element : elements)
        if (!validName(element))
            return RegistryError::InvalidName;
    RegistryTree tree;
    const RegistryError loaded = loadTree(tree, elements);
    if (loaded == RegistryError::SystemError)
        return loaded;
    if (loaded == RegistryError::Damaged && !canCreate)
        return loaded;
    if (tree.find(elements) == nullptr) {
        if (!canCreate)
            return RegistryError::KeyMissing;
        tree.create(elements);
        m_pending.push_back(Change{elements, std::nullopt});
    }
    m_tree = std::move(tree);
    m_keyPath = elements;
    m_keyOpen = true;
    return loaded;
}

RegistryError RegistryStore::closeKey() {
    if (!m_keyOpen)
        return RegistryError::None;
    const RegistryError written = m_pending.empty() ? RegistryError::None : flush();
    m_pending.clear();
    m_tree = RegistryTree();
    m_keyPath.clear();
    m_keyOpen = false;
    return written;
}

void RegistryStore::discardChanges() {
    m_pending.clear();
    closeKey();
}

std::optional<RegistryValue> RegistryStore::value(const QString& name) const {
    if (!m_keyOpen)
        return std::nullopt;
    const RegistryTree::Key* key = m_tree.find(m_keyPath);
    if (key == nullptr)
        return std::nullopt;
    const auto found = key->values.find(folded(name));
    if (found == key->values.end())
        return std::nullopt;
    return found->second;
}

bool RegistryStore::valueExists(const QString& name) const {
    return value(name).has_value();
}

QStringList RegistryStore::valueNames() const {
    QStringList names;
    if (!m_keyOpen)
        return names;
    if (const RegistryTree::Key* key = m_tree.find(m_keyPath))
        for (const auto& [foldedName, value] : key->values)
            names.append(value.name);
    return names;
}

RegistryError RegistryStore::readText(const QString& name, QString& text) const {
    text.clear();
    if (!m_keyOpen)
        return RegistryError::NoOpenKey;
    const std::optional<RegistryValue> found = value(name);
    if (!found)
        return RegistryError::ValueMissing;
    if (found->kind != RegistryValueKind::Text)
        return RegistryError::WrongType;
    text = found->text;
    return RegistryError::None;
}

RegistryError RegistryStore::readNumber(const QString& name, std::int32_t& number) const {
    number = 0;
    if (!m_keyOpen)
        return RegistryError::NoOpenKey;
    const std::optional<RegistryValue> found = value(name);
    if (!found)
        return RegistryError::ValueMissing;
    if (found->kind != RegistryValueKind::Number)
        return RegistryError::WrongType;
    number = found->number;
    return RegistryError::None;
}

RegistryError RegistryStore::writeText(const QString& name, const QString& text) {
    RegistryValue value;
    value.name = name;
    value.text = text;
    return writeValue(value);
}

RegistryError RegistryStore::writeNumber(const QString& name, std::int32_t number) {
    RegistryValue value;
    value.name = name;
    value.kind = RegistryValueKind::Number;
    value.number = number;
    return writeValue(value);
}

RegistryError RegistryStore::writeValue(const RegistryValue& value) {
    if (!m_keyOpen)
        return RegistryError::NoOpenKey;
    if (!validName(value.name))
        return RegistryError::InvalidName;
    m_tree.setValue(m_keyPath, value);
    m_pending.push_back(Change{m_keyPath, value});
    return RegistryError::None;
}
