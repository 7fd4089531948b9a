#pragma once
// What the record editor needs from the window that opens it: the selected
// folder, the casebook store, the re-listing of the record list, and the
// chart commands (whose dialogs live as long as the program and belong to
// the main window).

#include "casebook_store.h"
#include "chart_kind.h"

#include <optional>

class TEditForm;

class TEditHost {
 public:
  virtual ~TEditHost() = default;
  // The folder selected in the tree: its ID, 0 for the root, -1 when no
  // folder is selected.
  virtual RowId SelectedFolderId() const = 0;
  virtual CasebookStore& Store() = 0;
  // Re-opens the record list with the folder's records (newest first).
  // Throws StoreError.
  virtual void ListFolderRecords(RowId folderId) = 0;
  // A record has just been saved (inserted or updated): the record list
  // shows it as it is now. By default the selected folder is listed again
  // with the record current (when it is there). Throws StoreError.
  virtual void RecordSaved(RowId id) {
    ListFolderRecords(SelectedFolderId());
    Store().records()->locate(id);
  }
  // Where to file what an editor holds when the record's own place is gone:
  // the record was deleted (it is in the recycle bin), or the folder a new
  // record was begun in was. std::nullopt when the user declines. By
  // default the selected folder, when one is selected.
  virtual std::optional<RowId> FolderForOrphan(TEditForm& editor) {
    (void)editor;
    const RowId folder = SelectedFolderId();
    return folder > 0 ? std::optional<RowId>(folder) : std::nullopt;
  }
  // A chart command of the editor: ask for the method's inputs, have the
  // engine draw the chart and insert it with editor.InsertChartText().
  // Returns true when a chart was inserted. Does nothing until the chart
  // dialogs exist.
  virtual bool RunChart(TEditForm& editor, ChartKind kind) {
    (void)editor;
    (void)kind;
    return false;
  }
  // Where the engine library is looked for first when a kept cast is cast
  // again: the directory the chart commands look in first. Empty: the
  // program's own directory, as for the chart commands.
  virtual QString EngineLibraryDir() const { return QString(); }
};
