#pragma once
// Choosing a folder: where a record or folder from the recycle bin goes
// back to when its own place is gone.

#include <QString>

#include <functional>
#include <optional>

#include "store_types.h"

class CasebookStore;
class QWidget;

// A modal dialog with the tree of live folders; returns the chosen folder's
// ID (0 for the root "分类目录", offered only when allowRoot), or
// std::nullopt when the user cancels. A store error is shown and counts as
// a cancel.
std::optional<RowId> ChooseFolder(QWidget* parent, CasebookStore& store, const QString& caption,
                                  const QString& prompt, bool allowRoot);

// Test hook: while set, no dialog is shown; the hook gets the caption and
// returns the choice.
using FolderPickerHook = std::function<std::optional<RowId>(const QString& caption)>;
void SetFolderPickerHook(FolderPickerHook hook);
