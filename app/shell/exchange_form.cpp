#include "exchange_form.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "casebook_store.h"
#include "folder_picker.h"
#include "skin.h"
#include "text_export.h"

namespace {

ExportChoiceHook& ChoiceHook() {
  static ExportChoiceHook hook;
  return hook;
}

OpenDialogHook& OpenHook() {
  static OpenDialogHook hook;
  return hook;
}

const char16_t kJsonFilter[] = u"JSON 文件(*.json)";
const char16_t kCsvFilter[] = u"CSV 文件(*.csv)";

// The wait cursor while a long piece of work runs.
class Busy {
 public:
  Busy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~Busy() { QApplication::restoreOverrideCursor(); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
};

QString Quoted(const QString& text) { return QStringLiteral("“%1”").arg(text); }

std::optional<ExportChoice> AskExportChoice(QWidget* parent, const QString& folderName) {
  if (ChoiceHook()) return ChoiceHook()(folderName);
  TExportForm form(folderName, parent);
  if (form.exec() != QDialog::Accepted) return std::nullopt;
  return form.Choice();
}

QString AskOpenFileName(QWidget* parent, const QString& filter) {
  if (OpenHook()) return OpenHook()(filter);
  QFileDialog dialog(parent, QStringLiteral("导入"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(filter);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

}  // namespace

void SetExportChoiceHook(ExportChoiceHook hook) { ChoiceHook() = std::move(hook); }
void SetOpenDialogHook(OpenDialogHook hook) { OpenHook() = std::move(hook); }

// ---------------------------------------------------------------------------
// The export window

TExportForm::TExportForm(const QString& folderName, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ExportForm"));
  setWindowTitle(QStringLiteral("导出"));
  auto* layout = new QVBoxLayout(this);

  auto* scope = new QGroupBox(QStringLiteral("范围"), this);
  auto* scopeLayout = new QVBoxLayout(scope);
  whole_ = new QRadioButton(QStringLiteral("整个数据库（不含回收站）"), scope);
  whole_->setObjectName(QStringLiteral("rbWholeCasebook"));
  folder_ = new QRadioButton(folderName.isEmpty() ? QStringLiteral("所选的分类及其子分类")
                                                  : QStringLiteral("分类%1及其子分类").arg(Quoted(folderName)),
                             scope);
  folder_->setObjectName(QStringLiteral("rbFolder"));
  folder_->setEnabled(!folderName.isEmpty());
  (folderName.isEmpty() ? whole_ : folder_)->setChecked(true);
  scopeLayout->addWidget(whole_);
  scopeLayout->addWidget(folder_);
  layout->addWidget(scope);

  auto* format = new QGroupBox(QStringLiteral("格式"), this);
  auto* formatLayout = new QVBoxLayout(format);
  json_ = new QRadioButton(QStringLiteral("JSON：可以再导入本程序"), format);
  json_->setObjectName(QStringLiteral("rbJson"));
  json_->setChecked(true);
  csv_ = new QRadioButton(QStringLiteral("CSV：用电子表格程序打开"), format);
  csv_->setObjectName(QStringLiteral("rbCsv"));
  formatLayout->addWidget(json_);
  formatLayout->addWidget(csv_);
  layout->addWidget(format);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

ExportChoice TExportForm::Choice() const {
  return ExportChoice{!folder_->isChecked(), csv_->isChecked() ? ExchangeFormat::Csv : ExchangeFormat::Json};
}

// ---------------------------------------------------------------------------
// The commands

bool ExportCasebookTo(QWidget* parent, CasebookStore& store, RowId selectedFolder) {
  std::optional<QString> folderName;
  try {
    if (selectedFolder > 0) folderName = store.FolderName(selectedFolder);
  } catch (const StoreError& e) {
    skin::ShowError(parent, e.message());
    return false;
  }
  const std::optional<ExportChoice> choice = AskExportChoice(parent, folderName.value_or(QString()));
  if (!choice) return false;
  const bool json = choice->format == ExchangeFormat::Json;
  const QString fileName = ChooseTargetFile(parent, QString::fromUtf16(json ? kJsonFilter : kCsvFilter),
                                            json ? QStringLiteral("json") : QStringLiteral("csv"));
  if (fileName.isEmpty()) return false;
  const RowId folder = choice->wholeCasebook || !folderName ? 0 : selectedFolder;
  QSaveFile file(fileName);
  ExchangeCount count;
  QString error;
  {
    Busy busy;
    try {
      if (!file.open(QIODevice::WriteOnly)) error = file.errorString();
      else error = ExportCasebook(store, folder, choice->format, file, &count);
    } catch (const StoreError& e) {
      error = e.message();
    }
    if (error.isEmpty() && !file.commit()) error = file.errorString();
  }
  if (!error.isEmpty()) {
    file.cancelWriting();
    skin::ShowError(parent, QStringLiteral("导出失败：%1\n%2").arg(QDir::toNativeSeparators(fileName), error));
    return false;
  }
  skin::Message(parent, QStringLiteral("提示"),
                QStringLiteral("已导出 %1 个分类、%2 条记录：\n%3")
                    .arg(count.folders)
                    .arg(count.records)
                    .arg(QDir::toNativeSeparators(fileName)));
  return true;
}

std::optional<RowId> ImportCasebookFrom(QWidget* parent, CasebookStore& store) {
  if (!store.isWritable()) {
    skin::Message(parent, QStringLiteral("提示"), QStringLiteral("数据库现在只能查看，不能导入。"));
    return std::nullopt;
  }
  const QString fileName = AskOpenFileName(parent, QString::fromUtf16(kJsonFilter));
  if (fileName.isEmpty()) return std::nullopt;
  const QString where = QDir::toNativeSeparators(fileName);
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    skin::ShowError(parent, QStringLiteral("无法读取文件：%1\n%2").arg(where, file.errorString()));
    return std::nullopt;
  }
  if (file.size() > kMaxImportBytes) {
    skin::ShowError(parent, QStringLiteral("文件太大（超过 1 GB），不能导入：%1").arg(where));
    return std::nullopt;
  }
  QString error;
  std::optional<CasebookData> data;
  {
    Busy busy;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) error = file.errorString();
    else data = ReadCasebookJson(bytes, &error);
  }
  if (!data) {
    skin::ShowError(parent, QStringLiteral("不能导入这个文件：%1\n%2").arg(where, error));
    return std::nullopt;
  }
  const int folders = data->FolderCount(), records = data->RecordCount();
  if (folders == 0 && records == 0) {
    skin::Message(parent, QStringLiteral("提示"), QStringLiteral("这个文件中没有分类，也没有记录：%1").arg(where));
    return std::nullopt;
  }
  const bool loose = !data->records.empty();
  const std::optional<RowId> into = ChooseFolder(
      parent, store, QStringLiteral("导入"),
      loose ? QStringLiteral("把文件中的分类和记录导入到哪个分类：")
            : QStringLiteral("把文件中的分类导入到哪个分类之下（“分类目录”即最上层）："),
      !loose);
  if (!into) return std::nullopt;
  QString target = QStringLiteral("分类目录");
  try {
    if (*into != 0) target = store.FolderName(*into).value_or(target);
  } catch (const StoreError& e) {
    skin::ShowError(parent, e.message());
    return std::nullopt;
  }
  if (skin::Message(parent, QStringLiteral("确认"),
                    QStringLiteral("要把 %1 个分类、%2 条记录导入到%3吗？").arg(folders).arg(records).arg(Quoted(target)),
                    skin::Buttons::OkCancel, skin::Icon::Question) != skin::Answer::Ok)
    return std::nullopt;
  ExchangeCount count;
  try {
    Busy busy;
    count = store.ImportData(*into, *data);
  } catch (const StoreError& e) {
    skin::ShowError(parent, QStringLiteral("导入失败，数据库没有改变。\n%1").arg(e.message()));
    return std::nullopt;
  }
  skin::Message(parent, QStringLiteral("提示"),
                QStringLiteral("已导入 %1 个分类、%2 条记录到%3。").arg(count.folders).arg(count.records).arg(Quoted(target)));
  return *into;
}
