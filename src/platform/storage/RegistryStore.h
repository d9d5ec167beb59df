#pragma once
// A registry-shaped settings store: a few roots (HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER, ...), each a tree of keys created on demand, each key
// holding named text and signed 32-bit number values. Key and value names are
// compared without regard to letter case and keep the spelling they were
// created with.
//
// On Windows the store is the registry itself, and all of it is the user's
// own, as the files below are on Linux: the current user's root is
// HKEY_CURRENT_USER, and every other root is a key named after it under
// HKEY_CURRENT_USER\Software\KESTRO-MODBUS-M (a user without administrator
// rights may not write HKEY_LOCAL_MACHINE). With KESTRO_REGISTRY_KEY set
// (tests), every root, the current user's too, is a key named after it under
// HKEY_CURRENT_USER\<that key> instead. Texts are REG_SZ values, numbers
// REG_DWORD; a value of another type or size in the opened key counts as
// damage and is reported as a damaged file is. Changes are written when the
// key is closed, value by value.
//
// On Linux each root lives in one file, <folder>/<ROOT NAME>.registry, where the folder
// is $KESTRO_CONFIG_DIR when set, else $XDG_CONFIG_HOME/kestro-modbus-m, else
// ~/.config/kestro-modbus-m. The file is UTF-8 text, one record per line:
//
//     KESTRO-REGISTRY 1
//     key Software\KESTRO_MODBUS_M\ComPort
//     text Port COM3
//     number CustomBaudRate 115200
//
// The first line names the format. "key" starts a key (its path, elements
// separated by backslashes); "text" and "number" lines give the values of the
// key above them. Fields are separated by one space. Inside a field every
// byte below 0x21, DEL, "%" and "\" is written as "%" and two upper-case hex
// digits, and an empty field is written as a lone "%". Numbers are decimal,
// from -2147483648 to 2147483647. Anything else makes the file damaged: it is
// reported, never guessed at. Changes are written when the key is closed, by
// re-reading the file under a lock, applying the changes and replacing the
// file atomically, so that two programs saving different keys lose nothing.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

/// The root for a name such as "HKEY_LOCAL_MACHINE", in any letter case.
std::optional<RegistryRoot> registryRootFromName(const QString& name);
QString registryRootName(RegistryRoot root);

/// The folder of the program's settings files (on Linux the root files
/// too): $KESTRO_CONFIG_DIR when set, else the user's configuration folder.
QString registryFolder();
/// Where a root is kept, for people: its file on Linux, its registry key on
/// Windows.
QString registryRootFile(RegistryRoot root);

enum class RegistryValueKind { Text, Number };

struct RegistryValue {
    QString name;
    RegistryValueKind kind = RegistryValueKind::Text;
    QString text;
    std::int32_t number = 0;
};

enum class RegistryError {
    None,
    NoOpenKey,    // no key is open, or opening it failed
    KeyMissing,   // the key does not exist and was not to be created
    ValueMissing, // the named value does not exist
    WrongType,    // the value exists with the other kind
    InvalidName,  // an empty key path element or an over-long name
    Damaged,      // the root's file is not in the format above
    SystemError,  // reading or writing the file failed; see systemCode()
};

/// One root's keys and values in memory, with the file format above.
class RegistryTree {
public:
    struct Key {
        QString name;
        std::map<QString, Key> children;         // by case-folded name
        std::map<QString, RegistryValue> values; // by case-folded name
    };

    /// Replaces the content with the parsed file; false (and empty) if damaged.
    bool parse(const QByteArray& content);
    QByteArray serialize() const;

    /// The key at the path (elements already split), or nullptr.
    const Key* find(const QStringList& path) const;
    Key& create(const QStringList& path);
    /// Creates the key at the path when missing and sets the value in it,
    /// replacing one of the same name in any letter case.
    void setValue(const QStringList& path, const RegistryValue& value);

private:
    bool parseLines(const QByteArray& content);
    static std::optional<RegistryValue>
    parseValue(const QByteArray& kind, const QByteArray& nameField, const QByteArray& dataField);

    Key m_root;
};

/// Accessor in the manner of a registry API: choose a root, open a key path
/// (optionally creating it), read and write values, close.
class RegistryStore {
public:
    static constexpr int kMaximumNameLength = 255;
    // Keys nest at most this deep, which also bounds the recursion over the tree.
    static constexpr int kMaximumDepth = 512;
    static constexpr std::size_t kMaximumFileSize = 4 * 1024 * 1024;

    explicit RegistryStore(RegistryRoot root = RegistryRoot::CurrentUser);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    RegistryRoot root() const { return m_root; }
    /// Choosing another root closes the open key first.
    void setRoot(RegistryRoot root);

    /// Opens the key at path (elements separated by backslashes) under the
    /// root. With canCreate, missing keys are created, and a damaged file is
    /// reported as Damaged but the key is still opened on an empty tree, so
    /// that saving can replace the file with a clean one.
    RegistryError openKey(const QString& path, bool canCreate);
    bool hasOpenKey() const { return m_keyOpen; }
    /// Writes pending changes and closes the key; the result of the write.
    RegistryError closeKey();
    /// Forgets pending changes and closes the key without writing.
    void discardChanges();

    /// A missing text value reads as the empty text with ValueMissing.
    RegistryError readText(const QString& name, QString& text) const;
    RegistryError readNumber(const QString& name, std::int32_t& number) const;
    bool valueExists(const QString& name) const;
    std::optional<RegistryValue> value(const QString& name) const;
    QStringList valueNames() const;

    RegistryError writeText(const QString& name, const QString& text);
    RegistryError writeNumber(const QString& name, std::int32_t number);

    /// The system's code behind the last SystemError: an errno where the
    /// roots are files, a Windows error code where they are registry keys.
    int systemCode() const { return m_systemCode; }

    /// Splits a key path into its elements; empty elements are dropped.
    static QStringList splitPath(const QString& path);

private:
    struct Change {
        QStringList path;
        std::optional<RegistryValue> value; // empty: only create the key
    };

    // Where the store keeps its roots is the system's part (linux/ keeps a
    // file per root, win32/ the registry itself): loadTree reads what the
    // root holds at least for the key at keyPath, flush writes m_pending.
    RegistryError loadTree(RegistryTree& tree, const QStringList& keyPath);
    RegistryError writeValue(const RegistryValue& value);
    RegistryError flush();

    RegistryRoot m_root = RegistryRoot::CurrentUser;
    RegistryTree m_tree;
    QStringList m_keyPath;
    bool m_keyOpen = false;
    std::vector<Change> m_pending;
    int m_systemCode = 0;
};
