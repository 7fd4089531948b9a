#include "folder_picker.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "casebook_store.h"
#include "skin.h"

namespace {

FolderPickerHook& Hook() {
  static FolderPickerHook hook;
  return hook;
}

constexpr int kIdRole = Qt::UserRole;
// The deepest nesting followed (a damaged Folder table may hold a loop).
constexpr int kMaxDepth = 256;

void Fill(CasebookStore& store, QTreeWidgetItem* node, RowId id, int depth) {
  if (depth >= kMaxDepth) return;
  for (const FolderRow& row : store.FolderChildren(id)) {
    if (row.id == id || row.id == 0) continue;
    auto* child = new QTreeWidgetItem(node, QStringList{row.name});
    child->setData(0, kIdRole, QVariant::fromValue<qint64>(row.id));
    Fill(store, child, row.id, depth + 1);
  }
}

}  // namespace

void SetFolderPickerHook(FolderPickerHook hook) { Hook() = std::move(hook); }

std::optional<RowId> ChooseFolder(QWidget* parent, CasebookStore& store, const QString& caption,
                                  const QString& prompt, bool allowRoot) {
  if (Hook()) return Hook()(caption);
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("FolderPicker"));
  dialog.setWindowTitle(caption);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(prompt, &dialog));
  auto* tree = new QTreeWidget(&dialog);
  tree->setObjectName(QStringLiteral("tvPickFolder"));
  tree->setHeaderHidden(true);
  auto* root = new QTreeWidgetItem(tree, QStringList{QStringLiteral("分类目录")});
  root->setData(0, kIdRole, QVariant::fromValue<qint64>(0));
  if (!allowRoot) root->setFlags(Qt::ItemIsEnabled);  // shown, not chosen
  try {
    Fill(store, root, 0, 0);
  } catch (const StoreError& e) {
    skin::ShowError(parent, e.message());
    return std::nullopt;
  }
  tree->expandAll();
  tree->setMinimumSize(320, 300);
  layout->addWidget(tree, 1);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setEnabled(false);
  QObject::connect(tree, &QTreeWidget::currentItemChanged, &dialog, [ok](QTreeWidgetItem* item) {
    ok->setEnabled(item && (item->flags() & Qt::ItemIsSelectable));
  });
  QObject::connect(tree, &QTreeWidget::itemDoubleClicked, &dialog, [&dialog](QTreeWidgetItem* item) {
    if (item->flags() & Qt::ItemIsSelectable) dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted || !tree->currentItem() ||
      !(tree->currentItem()->flags() & Qt::ItemIsSelectable))
    return std::nullopt;
  return tree->currentItem()->data(0, kIdRole).toLongLong();
}
