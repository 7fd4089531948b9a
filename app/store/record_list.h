#pragma once
// The record list: the store's one result set over the records, a read-only
// table model that the main window shows and navigates (see THE RECORD LIST
// in casebook_store.h).

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

#include "store_types.h"

namespace store_detail {
struct ListRow;
}

class CasebookStore;

class RecordList : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Model columns, in the order of the main window's list. ID, FL and LR are
  // meant to be hidden by the view. Column LR's data() is always empty (the
  // text is not held by the list; ask text()).
  // ColFolder: the name of the record's folder (shown with search hits).
  enum Column { ColID = 0, ColBT, ColQZR, ColSJ, ColFL, ColFK, ColLR, ColFolder, ColumnCount };

  ~RecordList() override;

  // ---- state
  // Open after a successful ListFolderRecords / SearchRecords (even with no
  // rows); closed before the first listing, while and after a modifying
  // statement, and after a failed listing.
  bool isOpen() const noexcept;
  int count() const noexcept;    // number of rows (0 when closed)
  bool isEmpty() const noexcept { return count() == 0; }
  int currentRow() const noexcept;  // 0-based; -1 when there are no rows

  // bof(): there are no rows, or the current row is the first.
  // eof(): there are no rows, or the current row is the last.
  bool bof() const noexcept;
  bool eof() const noexcept;

  // ---- moves. Each move that changes the current row emits currentChanged
  // once, after the move. A move that cannot go anywhere (prior() on the
  // first row, next() on the last, anything on an empty list) does nothing
  // and emits nothing.
  void first() noexcept;
  void prior() noexcept;
  void next() noexcept;
  void last() noexcept;
  // Makes the row current (0 <= row < count()); returns false and does
  // nothing when out of range. Selecting the row that is already current
  // returns true and emits nothing.
  bool setCurrentRow(int row) noexcept;
  // Makes the row whose ID equals id current and returns true; returns false
  // and leaves the current row where it is when no row has that ID.
  bool locate(RowId id) noexcept;
  // The row whose ID equals id, or -1.
  int rowOfId(RowId id) const noexcept;

  // ---- the rows' fields. A row out of range gives an empty value (0, a
  // null string or date, no feedback). The fields never throw; the text is
  // read from the database on asking (the current row's is kept until the
  // next move or re-opening) and may throw StoreError.
  RowId id(int row) const noexcept;
  QString title(int row) const;
  QString querent(int row) const;
  QDate date(int row) const;                  // null: the record has no date
  std::optional<bool> feedback(int row) const;  // none: the field is empty
  RowId folder(int row) const noexcept;
  QString folderName(int row) const;          // the name of the record's folder
  QString text(int row) const;
  // The same for the current row; 0 / empty when there is none.
  RowId currentId() const noexcept;
  QString currentTitle() const { return title(currentRow()); }
  QString currentQuerent() const { return querent(currentRow()); }
  QDate currentDate() const { return date(currentRow()); }
  std::optional<bool> currentFeedback() const { return feedback(currentRow()); }
  RowId currentFolder() const noexcept { return folder(currentRow()); }
  QString currentText() const;  // may throw StoreError
  // Every field of the current record, its text read (may throw StoreError).
  RecordFields currentFields() const;
  // What the record's checksum said when its text was last read
  // (Unchecked before that).
  RecordIntegrity currentIntegrity() const noexcept;
  // ---- QAbstractTableModel (read-only; never throws)
  // DisplayRole and EditRole: the raw values of the fields (ID and FL
  // numbers, BT and QZR texts, SJ a QDate, FK a bool, null when the field is
  // empty); column LR holds nothing (the list holds no texts). How they are
  // shown is the window's business.
  // Horizontal header DisplayRole: the field names "ID", "BT", "QZR", "SJ",
  // "FL", "FK", "LR".
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Sorts by a column (a click on its title): the store lists again in that
  // order (CasebookStore::SetListOrder); a store error is swallowed, the
  // list then stays as it was. Column ID is newest first (descending).
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  // The list order a column stands for (Newest for the columns without one).
  static ListOrder OrderOfColumn(int column);
  static int ColumnOfOrder(ListOrder order);

 signals:
  // After every change of the current row: a move, the first row becoming
  // current when a list with rows is opened, and -1 when a list is opened
  // with no rows or the list is closed. The preview refresh hangs here.
  void currentChanged(int row);

 private:
  friend class CasebookStore;
  struct Data;
  explicit RecordList(CasebookStore* store);
  void open(std::unique_ptr<Data> data);  // model reset + first row current
  void close() noexcept;                  // model reset + currentChanged(-1)
  // Forgets the cached text (the connection it was read through is gone).
  void dropCachedText() noexcept;
  void setCurrent(int row) noexcept;
  const store_detail::ListRow* row(int index) const noexcept;

  CasebookStore* store_;
  std::unique_ptr<Data> d_;
  bool open_ = false;
};
