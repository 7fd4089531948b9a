#pragma once
// The main window's widgets, found by their object names: the window keeps
// them to itself, the tests look at them as the user sees them.

#include <QAction>
#include <QLabel>
#include <QSplitter>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidgetItemIterator>
#include <QtTest>
#include <memory>

#include "folder_tree.h"
#include "main_form.h"

namespace main_form_parts {

// The main window on the casebook in dataDir, shown at 1000 × 700 as a user
// would see it; null when the window did not come up.
inline std::unique_ptr<TMainForm> ShownMainForm(const QString& dataDir) {
  auto form = std::make_unique<TMainForm>(dataDir);
  form->showNormal();
  form->resize(1000, 700);
  if (!QTest::qWaitForWindowExposed(form.get())) return nullptr;
  return form;
}

template <typename W>
W* Part(const TMainForm& form, const QString& name) {
  return form.findChild<W*>(name);
}

inline TFolderTree* Tree(const TMainForm& form) {
  return Part<TFolderTree>(form, QStringLiteral("tvFolders"));
}
inline QTableView* RecordView(const TMainForm& form) {
  return Part<QTableView>(form, QStringLiteral("lvRecords"));
}
inline QTextEdit* Preview(const TMainForm& form) {
  return Part<QTextEdit>(form, QStringLiteral("rePreview"));
}
inline QToolBar* ToolBar(const TMainForm& form) {
  return Part<QToolBar>(form, QStringLiteral("tbMain"));
}
inline QSplitter* MainSplitter(const TMainForm& form) {
  return Part<QSplitter>(form, QStringLiteral("splitMain"));
}
inline QSplitter* RightSplitter(const TMainForm& form) {
  return Part<QSplitter>(form, QStringLiteral("splitRight"));
}
// The window's (or dialog's) command of that object name.
inline QAction* Action(QWidget* w, const char* name) {
  return w->findChild<QAction*>(QString::fromLatin1(name));
}
// The one tree node of that caption, or null (none, or several).
inline QTreeWidgetItem* Node(const TMainForm& form, const QString& caption) {
  const auto found = Tree(form)->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
  return found.size() == 1 ? found.first() : nullptr;
}
// The tree as "caption(depth)" in tree order.
inline QStringList TreeShape(const TMainForm& form) {
  QStringList out;
  for (QTreeWidgetItemIterator it(Tree(form)); *it; ++it) {
    int depth = 0;
    for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
    out << QStringLiteral("%1(%2)").arg((*it)->text(0)).arg(depth);
  }
  return out;
}
// The folders of the tree below its root, in tree order.
inline QStringList FolderNames(const TMainForm& form) {
  QStringList names;
  for (QTreeWidgetItemIterator it(Tree(form)); *it; ++it)
    if ((*it)->parent()) names << (*it)->text(0);
  return names;
}

// Status panel 0 … 3.
inline QLabel* StatusPanel(const TMainForm& form, int index) {
  return Part<QLabel>(form, QStringLiteral("StatusPanel%1").arg(index));
}

}  // namespace main_form_parts
