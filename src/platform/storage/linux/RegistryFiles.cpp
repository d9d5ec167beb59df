#include "platform/storage/RegistryStore.h"

#include "platform/storage/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <cerrno>

// Each root is one file in the user's configuration folder (see the header).

QString registryFolder() {
    const QString overridden = qEnvironmentVariable("KESTRO_CONFIG_DIR");
    if (!overridden.isEmpty())
        return overridden;
    // The XDG base directory rules say a relative XDG_CONFIG_HOME is to be ignored.
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configHome.isEmpty() && QDir::isAbsolutePath(configHome))
        return configHome + QStringLiteral("/kestro-modbus-m");
    return QDir::homePath() + QStringLiteral("/.config/kestro-modbus-m");
}

QString registryRootFile(RegistryRoot root) {
    return registryFolder() + QLatin1Char('/') + registryRootName(root) +
           QStringLiteral(".registry");
}

RegistryError RegistryStore::loadTree(RegistryTree& tree, const QStringList&) {
    // The whole root is one file, so the whole tree is read whatever the key.
    const FileReadResult file = readWholeFile(registryRootFile(m_root), kMaximumFileSize);
    if (file.error == ENOENT) {
        tree = RegistryTree();
        return RegistryError::None;
    }
    if (file.error == EFBIG)
        return RegistryError::Damaged;
    if (file.error != 0) {
        m_systemCode = file.error;
        return RegistryError::SystemError;
    }
    return tree.parse(file.content) ? RegistryError::None : RegistryError::Damaged;
}

RegistryError RegistryStore::flush() {
    const QString folder = registryFolder();
    if (const int error = makeFolderPath(folder); error != 0) {
        m_systemCode = error;
        return RegistryError::SystemError;
    }
    const QString file = registryRootFile(m_root);
    const FileLock lock(folder + QLatin1String("/.") + registryRootName(m_root) +
                        QLatin1String(".lock"));
    if (lock.error() != 0) {
        m_systemCode = lock.error();
        return RegistryError::SystemError;
    }
    // A writer killed mid-save leaves its temporary file; under the lock no
    // other save is running, so anything of that shape is such a leftover.
    removeLeftoverTemporaries(file);
    // Re-read under the lock, so that keys another program saved since this
    // one opened its key survive.
    RegistryTree current;
    const RegistryError loaded = loadTree(current, m_keyPath);
    if (loaded == RegistryError::SystemError)
        return loaded;
    if (loaded == RegistryError::Damaged) {
        // Nothing in a damaged file can be read back, but it is kept aside for
        // whoever wants to look at it rather than silently thrown away.
        const QString aside = file + QLatin1String(".damaged");
        QFile::remove(aside);
        QFile::copy(file, aside);
        current = RegistryTree();
    }
    for (const Change& change : m_pending) {
        if (change.value)
            current.setValue(change.path, *change.value);
        else
            current.create(change.path);
    }
    const QByteArray content = current.serialize();
    if (static_cast<std::size_t>(content.size()) > kMaximumFileSize) {
        m_systemCode = EFBIG;
        return RegistryError::SystemError;
    }
    if (const int error = writeFileAtomically(file, content); error != 0) {
        m_systemCode = error;
        return RegistryError::SystemError;
    }
    return RegistryError::None;
}
