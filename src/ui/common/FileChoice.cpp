#include "ui/common/FileChoice.h"

#include <QFileDialog>

QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& suffix) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}
