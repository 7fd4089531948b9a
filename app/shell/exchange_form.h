#pragma once
// "导出…" and "导入…" of the 文件 menu: the casebook, or one folder with
// everything below it, written out as JSON or CSV, and a JSON file read
// back into a folder (casebook_exchange.h; docs/casebook-json.md).

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

#include "casebook_exchange.h"
#include "store_types.h"

class CasebookStore;
class QRadioButton;
class QWidget;

// What to export, as the export window asks it.
struct ExportChoice {
  bool wholeCasebook = true;  // else the selected folder with everything below it
  ExchangeFormat format = ExchangeFormat::Json;
};

// The export window "导出": 范围 (整个数据库, or 分类“…”及其子分类 when a folder
// is selected) and 格式 (JSON, to be imported again; CSV, for a
// spreadsheet), with 确定 and 取消.
class TExportForm : public QDialog {
  Q_OBJECT

 public:
  // folderName: the selected folder's name; empty when none is selected
  // (then only the whole casebook is offered).
  explicit TExportForm(const QString& folderName, QWidget* parent = nullptr);
  ExportChoice Choice() const;

 private:
  QRadioButton* whole_ = nullptr;
  QRadioButton* folder_ = nullptr;
  QRadioButton* json_ = nullptr;
  QRadioButton* csv_ = nullptr;
};

// "导出…": asks what and how (TExportForm; the selected folder is offered
// when selectedFolder is a folder, not the root), then where (the save
// dialog: "JSON 文件(*.json)" or "CSV 文件(*.csv)"; an existing file is
// replaced only when the user says so), and writes the file atomically: a
// failed export leaves no half file and an existing file whole. Says how
// many folders and records went out, or why it failed. Returns true when a
// file was written.
bool ExportCasebookTo(QWidget* parent, CasebookStore& store, RowId selectedFolder);

// "导入…": asks for a JSON file ("JSON 文件(*.json)"), reads it (a bad file
// is refused with a message saying what and where; nothing is written),
// asks which folder to import into (the folder picker; the root
// "分类目录" too unless the file has records outside its folders), shows
// what will be imported where and asks to go on, and imports it all in one
// transaction (on failure: nothing). Returns the folder imported into, or
// std::nullopt when nothing was imported.
std::optional<RowId> ImportCasebookFrom(QWidget* parent, CasebookStore& store);

// Files larger than this are not imported (1 GiB).
inline constexpr qint64 kMaxImportBytes = qint64(1) << 30;

// Test hooks. While set, the export window and the open dialog are not
// shown: the first gets the offered folder's name and returns the choice
// (std::nullopt for 取消), the second gets the filter and returns the
// chosen file (empty for 取消).
using ExportChoiceHook = std::function<std::optional<ExportChoice>(const QString& folderName)>;
void SetExportChoiceHook(ExportChoiceHook hook);
using OpenDialogHook = std::function<QString(const QString& filter)>;
void SetOpenDialogHook(OpenDialogHook hook);
