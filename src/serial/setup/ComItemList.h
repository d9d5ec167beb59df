#pragma once
// The item list of a port setup list: the texts to choose from, and for each
// a tooltip that says what it is (for a port: the USB adapter behind it).

#include <QStringList>
#include <QStringListModel>

class TComItemList : public QStringListModel {
    Q_OBJECT
public:
    using QStringListModel::QStringListModel;

    /// Replaces the items and their tooltips; an empty tooltip shows none.
    void SetItems(const QStringList& Texts, const QStringList& ToolTips = {});
    QString ToolTip(int Row) const { return m_toolTips.value(Row); }

    QVariant data(const QModelIndex& index, int role) const override;

private:
    QStringList m_toolTips;
};
