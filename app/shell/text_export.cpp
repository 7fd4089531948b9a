#include "text_export.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>

#include "skin.h"

namespace {

SaveDialogHook& Hook() {
  static SaveDialogHook hook;
  return hook;
}

}  // namespace

QString AskSaveFileName(QWidget* parent, const QString& filter, const QString& suffix,
                        bool confirmOverwrite) {
  if (Hook()) return Hook()(filter, suffix);
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(suffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

void SetSaveDialogHook(SaveDialogHook hook) { Hook() = std::move(hook); }

QString WriteTextFile(const QString& fileName, const QString& text) {
  QStringEncoder encode(QStringConverter::System);
  const QByteArray bytes = encode(text);
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  if (file.write(bytes) != bytes.size()) {
    const QString error = file.errorString();
    file.cancelWriting();
    return error;
  }
  if (!file.commit()) return file.errorString();
  return QString();
}

QString ChooseTargetFile(QWidget* parent, const QString& filter, const QString& suffix) {
  // The dialog's own question would come in the dialog's words; the program
  // asks in its own, with 取消 the default.
  const QString fileName = AskSaveFileName(parent, filter, suffix, false);
  if (fileName.isEmpty()) return QString();
  if (QFileInfo(fileName).isDir()) {
    skin::ShowError(parent, QStringLiteral("不能保存到这里，它是一个目录：\n%1").arg(QDir::toNativeSeparators(fileName)));
    return QString();
  }
  if (QFileInfo::exists(fileName) &&
      skin::Message(parent, QStringLiteral("确认"),
                    QStringLiteral("文件已存在，要替换它吗？\n%1").arg(QDir::toNativeSeparators(fileName)),
                    skin::Buttons::OkCancelDestructive, skin::Icon::Question) != skin::Answer::Ok)
    return QString();
  return fileName;
}

bool SaveAsText(QWidget* parent, const QString& text) {
  const QString fileName =
      ChooseTargetFile(parent, QString::fromUtf16(kTextFilter), QString::fromLatin1(kTextSuffix));
  if (fileName.isEmpty()) return false;
  const QString error = WriteTextFile(fileName, text);
  if (!error.isEmpty()) {
    skin::ShowError(parent, error);
    return false;
  }
  return true;
}
