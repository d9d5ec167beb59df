#pragma once
// Points the settings folder at a fresh temporary folder for the lifetime of
// one test, so that no test ever touches the user's real settings.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <gtest/gtest.h>

class TemporaryConfig {
public:
    TemporaryConfig() : m_previous(qgetenv("KESTRO_CONFIG_DIR")) {
        m_hadPrevious = qEnvironmentVariableIsSet("KESTRO_CONFIG_DIR");
        qputenv("KESTRO_CONFIG_DIR", QFile::encodeName(m_folder.path()));
    }
    ~TemporaryConfig() {
        if (m_hadPrevious)
            qputenv("KESTRO_CONFIG_DIR", m_previous);
        else
            qunsetenv("KESTRO_CONFIG_DIR");
    }
    TemporaryConfig(const TemporaryConfig&) = delete;
    TemporaryConfig& operator=(const TemporaryConfig&) = delete;

    QString path() const { return m_folder.path(); }
    QString file(const QString& name) const { return m_folder.filePath(name); }

private:
    QTemporaryDir m_folder;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

/// The whole content of a file, empty when it cannot be read.
inline QByteArray fileContent(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Replaces a file's content; fails the test when the file cannot be written.
inline void writeContent(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}
