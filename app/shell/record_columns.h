#pragma once
// How the main window shows the record list: the store's record list seen
// through a proxy that titles the columns ("标题", "求占人", "时间", "反馈")
// and writes the date as "yyyy-MM-dd" and the feedback as "√" or "×" (an
// empty cell for an empty field). Rows and columns are the record list's own.

#include <QIdentityProxyModel>

class TRecordColumns : public QIdentityProxyModel {
  Q_OBJECT

 public:
  explicit TRecordColumns(QObject* parent = nullptr);

  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
};
