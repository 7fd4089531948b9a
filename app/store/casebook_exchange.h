#pragma once
// The casebook as data: the whole casebook, or one folder with everything
// below it, written out as JSON (to be read back, by this program or any
// other) or as CSV (for a spreadsheet), and a JSON file read back into a
// folder. docs/casebook-json.md describes the JSON.
//
// What goes out is the live casebook: folders and records in the recycle
// bin stay behind (the bin is where deletions wait to be undone or purged;
// they are no part of the casebook's content, and an import would bring
// them back to life). Texts go out exactly as stored, character for
// character: NUL, U+FFFE and U+FFFF, texts of any length, characters beyond
// the Basic Multilingual Plane; the store has already turned every
// surrogate without its partner into U+FFFD.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

#include "record_fields.h"
#include "store_types.h"

class CasebookStore;
class QIODevice;

// A folder with what it holds.
struct ExchangeFolder {
  QString name;
  std::vector<RecordFields> records;    // oldest first
  std::vector<ExchangeFolder> folders;  // in the tree's order
};

// What a JSON file holds: folders to go under the folder it is imported
// into, and records to go into that folder itself.
struct CasebookData {
  std::vector<ExchangeFolder> folders;
  std::vector<RecordFields> records;
  int FolderCount() const;  // every folder, sub-folders included
  int RecordCount() const;  // every record, in the sub-folders too
};

enum class ExchangeFormat {
  Json,  // UTF-8, docs/casebook-json.md
  Csv,   // UTF-8 with a byte-order mark; 分类,标题,求占人,时间,反馈,内容
};

struct ExchangeCount {
  int folders = 0;
  int records = 0;
};

// The JSON file's marks: "format" and "version".
inline const char kCasebookFormatName[] = "Hexalore casebook";
inline constexpr int kCasebookFormatVersion = 1;
// The deepest nesting of folders an import takes (the folder tree shows no
// deeper ones).
inline constexpr int kMaxImportDepth = 100;

// Writes folder folderId with everything below it (0: the whole casebook,
// every top-level folder) to `out`, records oldest first. Returns an empty
// string on success, else the message of the write error. Throws
// StoreError when the casebook cannot be read. *count: what was written.
QString ExportCasebook(CasebookStore& store, RowId folderId, ExchangeFormat format, QIODevice& out,
                       ExchangeCount* count = nullptr);

// Reads a JSON file written by ExportCasebook (or by anyone following
// docs/casebook-json.md). A file that is not one, or holds something the
// casebook cannot keep as it is (a blank folder name, a title longer than
// the casebook's 100 GBK bytes, a date that does not exist ...), gives
// nothing and *error says what and where, in Chinese.
std::optional<CasebookData> ReadCasebookJson(const QByteArray& json, QString* error);
