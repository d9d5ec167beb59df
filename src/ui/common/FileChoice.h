#pragma once
// Asking the operator where to save a file.

#include <QString>

class QWidget;

/// A modal save dialog over parent with the caption and the name filter
/// ("CSV 文件 (*.csv)"); a name without a suffix gets `suffix`. Returns the
/// chosen path, or an empty text when the operator cancels.
QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& suffix);
