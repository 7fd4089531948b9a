#include "text_export.h"

#include <QFileDialog>
#include <QSaveFile>
#include <QStringEncoder>

#include "skin.h"

namespace {

SaveDialogHook& Hook() {
  static SaveDialogHook hook;
  return hook;
}

QString AskFileName(QWidget* parent) {
  const QString filter = QString::fromUtf16(kTextFilter);
  const QString suffix = QString::fromLatin1(kTextSuffix);
  if (Hook()) return Hook()(filter, suffix);
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(suffix);
  // The replace question is the platform's; the file is replaced anyway.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

}  // namespace

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

bool SaveAsText(QWidget* parent, const QString& text) {
  const QString fileName = AskFileName(parent);
  if (fileName.isEmpty()) return false;
  const QString error = WriteTextFile(fileName, text);
  if (!error.isEmpty()) {
    skin::ShowError(parent, error);
    return false;
  }
  return true;
}
