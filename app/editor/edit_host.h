#pragma once
// What the record editor needs from the window that opens it: the selected
// folder, the casebook store, the re-listing of the record list, and the
// chart commands (whose dialogs live as long as the program and belong to
// the main window).

#include "casebook_store.h"
#include "chart_kind.h"

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
  // A chart command of the editor: ask for the method's inputs, have the
  // engine draw the chart and insert it with editor.InsertChartText().
  // Returns true when a chart was inserted. Does nothing until the chart
  // dialogs exist.
  virtual bool RunChart(TEditForm& editor, ChartKind kind) {
    (void)editor;
    (void)kind;
    return false;
  }
};
