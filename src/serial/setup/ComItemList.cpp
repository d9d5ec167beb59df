#include "serial/setup/ComItemList.h"

void TComItemList::SetItems(const QStringList& Texts, const QStringList& ToolTips) {
    m_toolTips = ToolTips;
    setStringList(Texts);
}

QVariant TComItemList::data(const QModelIndex& index, int role) const {
    if (role == Qt::ToolTipRole) {
        const QString tip = ToolTip(index.row());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    return QStringListModel::data(index, role);
}
