// The record list: the rows of one listing or search, the current row and
// the text of the current record, read on demand.

#include "record_list.h"

#include "casebook_store.h"
#include "store_internal.h"

namespace {

// The fields' names, in the order of the columns (the model's header).
const char* const kFieldNames[RecordList::ColumnCount] = {"ID", "BT", "QZR", "SJ", "FL", "FK", "LR", "Folder"};

QVariant RawValue(const store_detail::ListRow& r, int column) {
  switch (column) {
    case RecordList::ColID: return QVariant::fromValue<qint64>(r.id);
    case RecordList::ColBT: return r.bt;
    case RecordList::ColQZR: return r.qzr;
    case RecordList::ColSJ: return r.sj;
    case RecordList::ColFL: return QVariant::fromValue<qint64>(r.fl);
    case RecordList::ColFK: return r.fk;
    case RecordList::ColFolder: return r.folderName;
    default: return QVariant();
  }
}

}  // namespace

RecordList::RecordList(CasebookStore* store)
    : QAbstractTableModel(store), store_(store), d_(new Data) {}

RecordList::~RecordList() = default;

bool RecordList::isOpen() const noexcept { return open_; }
int RecordList::count() const noexcept { return static_cast<int>(d_->rows.size()); }
int RecordList::currentRow() const noexcept { return d_->current; }
bool RecordList::bof() const noexcept { return d_->rows.empty() || d_->current <= 0; }
bool RecordList::eof() const noexcept {
  return d_->rows.empty() || d_->current >= count() - 1;
}

void RecordList::first() noexcept {
  if (!d_->rows.empty()) setCurrent(0);
}
void RecordList::prior() noexcept {
  if (!bof()) setCurrent(d_->current - 1);
}
void RecordList::next() noexcept {
  if (!eof()) setCurrent(d_->current + 1);
}
void RecordList::last() noexcept {
  if (!d_->rows.empty()) setCurrent(count() - 1);
}

bool RecordList::setCurrentRow(int row) noexcept {
  if (row < 0 || row >= count()) return false;
  setCurrent(row);
  return true;
}

int RecordList::rowOfId(RowId id) const noexcept {
  for (int i = 0; i < count(); ++i)
    if (d_->rows[static_cast<size_t>(i)].id == id) return i;
  return -1;
}

bool RecordList::locate(RowId id) noexcept {
  const int row = rowOfId(id);
  if (row < 0) return false;
  setCurrent(row);
  return true;
}

void RecordList::setCurrent(int row) noexcept {
  if (row == d_->current) return;
  d_->current = row;
  d_->cached = false;
  d_->cachedText = QVariant();
  emit currentChanged(row);
}

const store_detail::ListRow* RecordList::row(int index) const noexcept {
  if (index < 0 || index >= count()) return nullptr;
  return &d_->rows[static_cast<size_t>(index)];
}

RowId RecordList::id(int index) const noexcept {
  const auto* r = row(index);
  return r ? r->id : 0;
}
QString RecordList::title(int index) const {
  const auto* r = row(index);
  return r ? r->bt : QString();
}
QString RecordList::querent(int index) const {
  const auto* r = row(index);
  return r ? r->qzr : QString();
}
QDate RecordList::date(int index) const {
  const auto* r = row(index);
  return r ? r->sj.toDate() : QDate();
}
std::optional<bool> RecordList::feedback(int index) const {
  const auto* r = row(index);
  if (!r || r->fk.isNull()) return std::nullopt;
  return r->fk.toBool();
}
RowId RecordList::folder(int index) const noexcept {
  const auto* r = row(index);
  return r ? r->fl : 0;
}
QString RecordList::folderName(int index) const {
  const auto* r = row(index);
  return r ? r->folderName : QString();
}

QString RecordList::text(int index) const {
  const auto* r = row(index);
  if (!r) return QString();
  if (d_->cached && d_->cachedId == r->id) return d_->cachedText.toString();
  RecordIntegrity integrity = RecordIntegrity::Unchecked;
  const QVariant text = store_->readText(r->id, &integrity);
  if (index == d_->current) {
    d_->cached = true;
    d_->cachedId = r->id;
    d_->cachedText = text;
    d_->cachedIntegrity = integrity;
  }
  return text.toString();
}

RowId RecordList::currentId() const noexcept { return id(d_->current); }

QString RecordList::currentText() const { return text(d_->current); }

RecordFields RecordList::currentFields() const {
  RecordFields f;
  f.title = currentTitle();
  f.querent = currentQuerent();
  f.date = currentDate();
  f.feedback = currentFeedback().value_or(false);
  f.text = currentText();
  return f;
}

RecordIntegrity RecordList::currentIntegrity() const noexcept {
  return d_->cached && d_->cachedId == currentId() ? d_->cachedIntegrity : RecordIntegrity::Unchecked;
}

void RecordList::dropCachedText() noexcept {
  d_->cached = false;
  d_->cachedText = QVariant();
}

int RecordList::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count();
}

int RecordList::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordList::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count() || index.column() >= ColumnCount)
    return QVariant();
  if (role != Qt::DisplayRole && role != Qt::EditRole) return QVariant();
  return RawValue(d_->rows[static_cast<size_t>(index.row())], index.column());
}

QVariant RecordList::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= ColumnCount)
    return QVariant();
  return QString::fromLatin1(kFieldNames[section]);
}

Qt::ItemFlags RecordList::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void RecordList::open(std::unique_ptr<Data> data) {
  beginResetModel();
  d_ = std::move(data);
  d_->current = -1;
  open_ = true;
  endResetModel();
  if (!d_->rows.empty())
    setCurrent(0);
  else
    emit currentChanged(-1);
}

void RecordList::close() noexcept {
  const bool hadRows = !d_->rows.empty();
  const bool wasOpen = open_;
  beginResetModel();
  d_->rows.clear();
  d_->rows.shrink_to_fit();
  d_->current = -1;
  d_->cached = false;
  d_->cachedText = QVariant();
  open_ = false;
  endResetModel();
  if (hadRows || wasOpen) emit currentChanged(-1);
}

ListOrder RecordList::OrderOfColumn(int column) {
  switch (column) {
    case ColBT: return ListOrder::Title;
    case ColQZR: return ListOrder::Querent;
    case ColSJ: return ListOrder::Date;
    case ColFK: return ListOrder::Feedback;
    case ColFolder: return ListOrder::Folder;
    default: return ListOrder::Newest;
  }
}

int RecordList::ColumnOfOrder(ListOrder order) {
  switch (order) {
    case ListOrder::Title: return ColBT;
    case ListOrder::Querent: return ColQZR;
    case ListOrder::Date: return ColSJ;
    case ListOrder::Feedback: return ColFK;
    case ListOrder::Folder: return ColFolder;
    case ListOrder::Newest: break;
  }
  return ColID;
}

void RecordList::sort(int column, Qt::SortOrder order) {
  const ListOrder by = OrderOfColumn(column);
  if (by == store_->listOrder() && order == store_->listDirection()) return;
  try {
    store_->SetListOrder(by, order);
  } catch (const StoreError&) {
    // Qt's model interface cannot throw; the list is left closed or as it
    // was, and the next listing tells the error.
  }
}
