#include "widgets/skin/SkinMgr.h"

#include "widgets/skin/SkinThemes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <QWidget>
#include <cstring>

TskFileTheme::TskFileTheme(QObject* owner) : QObject(owner) {}

bool TskFileTheme::IsValidThemeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray probe = file.read(ThemeFileFormat::SignatureProbeSize);
    if (probe.size() < ThemeFileFormat::SignatureProbeSize) {
        return false;
    }
    const QByteArray field = probe.left(ThemeFileFormat::SignatureSize);
    const qsizetype end = field.indexOf('\0');
    return (end < 0 ? field : field.left(end)) == QByteArray(ThemeFileFormat::Signature);
}

QStringList TskFileTheme::CandidatePaths(const QString& value) {
    const QString fileName = QFileInfo(value).fileName();
    QStringList paths{value};
    if (fileName.isEmpty()) {
        return paths;
    }
    const QStringList folders{QCoreApplication::applicationDirPath(),
                              QString::fromLatin1(SystemDataFolder),
                              QString::fromLatin1(SystemConfigFolder)};
    for (const QString& folder : folders) {
        if (!folder.isEmpty()) {
            paths << QDir(folder).absoluteFilePath(fileName);
        }
    }
    return paths;
}

void TskFileTheme::SetThemeFile(const QString& value) {
    const bool wasEmpty = m_themeFile.isEmpty();
    if (value == m_themeFile) {
        return;
    }
    QString located;
    for (const QString& candidate : CandidatePaths(value)) {
        if (QFileInfo(candidate).isFile()) {
            located = candidate;
            break;
        }
    }
    if (located.isEmpty()) {
        return;
    }
    if (!IsValidThemeFile(located)) {
        throw ESkinError(InvalidFileMessage);
    }
    // LoadTheme throws before changing anything when the file cannot be read,
    // so the name is taken only once the new theme is in place.
    const bool loaded = m_manager.LoadTheme(located);
    m_themeFile = located;
    m_canUse = loaded;
    if (m_canUse) {
        reapplyToOwnerControls(wasEmpty);
    }
}

// Controls of the owning window that use this theme are told again, so that
// they re-read their look from the new file.
void TskFileTheme::reapplyToOwnerControls(bool wasEmpty) {
    auto* form = qobject_cast<QWidget*>(parent());
    if (form == nullptr || !form->isWindow()) {
        return;
    }
    QWidget* skinnedForm = nullptr;
    const QVariant self = QVariant::fromValue(this);
    for (QObject* component : form->findChildren<QObject*>()) {
        const QVariant current = component->property("FileTheme");
        if (!current.isValid() || current.value<TskFileTheme*>() != this) {
            continue;
        }
        if (component->inherits("TskForm")) {
            skinnedForm = qobject_cast<QWidget*>(component);
        }
        if (QByteArray(component->metaObject()->className()).startsWith("Tsk")) {
            component->setProperty("FileTheme", self);
        }
    }
    // A skinned form redraws its frame when one theme replaces another.
    if (skinnedForm != nullptr && !wasEmpty) {
        skinnedForm->update();
    }
}

bool TskFileTheme::GetImage(int index, QImage* target) const {
    return m_manager.GetImage(index, target);
}

bool TskFileTheme::GetImageFrame(int index, QImage* target, int frameCount, int frameIndex) const {
    QImage strip;
    if (!m_manager.GetImage(index, &strip)) {
        return false;
    }
    CutFrame(strip, target, frameCount, frameIndex);
    return target != nullptr && !target->isNull();
}
