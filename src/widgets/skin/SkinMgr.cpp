#include "widgets/skin/SkinMgr.h"

#include "widgets/skin/SkinThemes.h"

#include "platform/storage/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <QWidget>
#include <cstring>

TskFileTheme::TskFileTheme(QObject* owner) : QObject(owner) {}

bool TskFileTheme::IsValidThemeFile(const QString& path) {
    const OpenedRegularFile opened = openRegularFileForReading(path);
    return opened.outcome == OpenedRegularFile::Outcome::Opened && HasSignature(*opened.file);
}

bool TskFileTheme::HasSignature(QFile& file) {
    if (!file.seek(0)) {
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
    // Each candidate is opened before it is looked at, and the open file is
    // what is checked and read, so nothing can be swapped in between.
    QString located;
    OpenedRegularFile opened;
    for (const QString& candidate : CandidatePaths(value)) {
        opened = openRegularFileForReading(candidate);
        if (opened.outcome == OpenedRegularFile::Outcome::Opened ||
            opened.outcome == OpenedRegularFile::Outcome::Refused) {
            located = candidate;
            break;
        }
    }
    if (located.isEmpty()) {
        return;
    }
    // A file that exists but cannot be opened fails the check as well.
    if (opened.file == nullptr || !HasSignature(*opened.file)) {
        throw ESkinError(InvalidFileMessage);
    }
    m_manager.LoadTheme(*opened.file);
    m_themeFile = located;
    m_canUse = true;
    reapplyToOwnerControls(wasEmpty);
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

ThemeImageLookup TskFileTheme::FindImageFrame(int index, QImage* target, int frameCount,
                                              int frameIndex) const {
    QImage strip;
    const ThemeImageLookup found = m_manager.FindImage(index, &strip);
    if (found == ThemeImageLookup::Found) {
        CutFrame(strip, target, frameCount, frameIndex);
    }
    return found;
}

bool TskFileTheme::GetImageFrame(int index, QImage* target, int frameCount, int frameIndex) const {
    return FindImageFrame(index, target, frameCount, frameIndex) == ThemeImageLookup::Found &&
           target != nullptr && !target->isNull();
}
