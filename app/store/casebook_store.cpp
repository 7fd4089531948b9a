// Placeholder bodies so that the interface compiles; the store follows.
#include "casebook_store.h"

namespace {
[[noreturn]] void NotYet() { throw StoreError(QStringLiteral("casebook store not built yet")); }
}  // namespace

StoreError::StoreError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

int GbkByteCount(const QString& text) noexcept {
  int n = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c.unicode() < 0x80) n += 1;
    else if (c.isHighSurrogate()) { n += 4; if (i + 1 < text.size()) ++i; }
    else n += 2;
  }
  return n;
}
QString CutToGbkBytes(const QString& text, int maxBytes) {
  if (maxBytes <= 0) return QString();
  return text;
}

struct RecordList::Data {};
RecordList::RecordList(CasebookStore* store) : store_(store) {}
RecordList::~RecordList() = default;
bool RecordList::isOpen() const noexcept { return false; }
int RecordList::count() const noexcept { return 0; }
int RecordList::currentRow() const noexcept { return -1; }
bool RecordList::bof() const noexcept { return true; }
bool RecordList::eof() const noexcept { return true; }
void RecordList::first() noexcept {}
void RecordList::prior() noexcept {}
void RecordList::next() noexcept {}
void RecordList::last() noexcept {}
bool RecordList::setCurrentRow(int) noexcept { return false; }
bool RecordList::locate(RowId) noexcept { return false; }
int RecordList::rowOfId(RowId) const noexcept { return -1; }
QVariant RecordList::value(const QString&) const { return {}; }
QVariant RecordList::value(int, const QString&) const { return {}; }
RowId RecordList::currentId() const noexcept { return 0; }
QString RecordList::currentText() const { return {}; }
int RecordList::rowCount(const QModelIndex&) const { return 0; }
int RecordList::columnCount(const QModelIndex&) const { return ColumnCount; }
QVariant RecordList::data(const QModelIndex&, int) const { return {}; }
QVariant RecordList::headerData(int, Qt::Orientation, int) const { return {}; }
Qt::ItemFlags RecordList::flags(const QModelIndex&) const { return Qt::ItemIsEnabled | Qt::ItemIsSelectable; }
void RecordList::open(std::unique_ptr<Data>) {}
void RecordList::close() noexcept {}
void RecordList::setCurrent(int) noexcept {}

struct CasebookStore::Impl {};
CasebookStore::CasebookStore(QObject* parent) : QObject(parent), d_(new Impl) {}
CasebookStore::~CasebookStore() = default;
QString CasebookStore::DefaultDataDir() { return QString(); }
QString CasebookStore::DatabaseFileName() { return QStringLiteral("casebook.sqlite"); }
void CasebookStore::OpenStore(const QString&) { NotYet(); }
bool CasebookStore::isOpen() const noexcept { return false; }
QString CasebookStore::dataDir() const { return {}; }
QString CasebookStore::databasePath() const { return {}; }
void CasebookStore::close() noexcept {}
QList<FolderRow> CasebookStore::FolderChildren(RowId) { NotYet(); }
RowId CasebookStore::AddFolder(RowId, const QString&) { NotYet(); }
std::optional<QString> CasebookStore::RenameFolder(RowId, const QString&) { NotYet(); }
bool CasebookStore::DeleteFolder(RowId) { NotYet(); }
void CasebookStore::ListFolderRecords(RowId) { NotYet(); }
void CasebookStore::SearchRecords(const QString&) { NotYet(); }
RecordList* CasebookStore::records() noexcept { return nullptr; }
RowId CasebookStore::InsertRecord(const QString&, const QString&, bool, const QString&, const QDate&, RowId) { NotYet(); }
void CasebookStore::UpdateRecord(const QString&, const QString&, bool, const QDate&, const QString&, RowId) { NotYet(); }
void CasebookStore::DeleteRecord(RowId) { NotYet(); }
