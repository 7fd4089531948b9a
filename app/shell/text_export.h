#pragma once
// Saving the current record's text as a plain-text file ("保存为文本(&S)").

#include <QString>
#include <functional>

class QWidget;

// Asks for a file name with the save dialog ("文本文档(*.txt)", default
// extension txt) and writes the text there; does nothing when the dialog is
// cancelled. The file holds the text exactly as stored (its CR LF line
// ends), in the system's locale encoding (UTF-8 on a Linux desktop). It is
// written atomically: a failed write never leaves a half file, and leaves
// an existing file whole. An existing file is replaced only after the user
// says so ("文件已存在，要替换它吗？", 取消 the default). Errors are shown with the
// system's text. Returns true when a file was written.
bool SaveAsText(QWidget* parent, const QString& text);

// Writes the text to the file as SaveAsText does, without a dialog. Returns
// an empty string on success, else the system's error text.
QString WriteTextFile(const QString& fileName, const QString& text);

// The platform's save dialog with one filter entry and a default extension;
// returns the chosen file name, empty when cancelled. The hook below answers
// it in tests. confirmOverwrite: the dialog asks before an existing file is
// chosen.
QString AskSaveFileName(QWidget* parent, const QString& filter, const QString& suffix,
                        bool confirmOverwrite);

// The save dialog as the program's commands use it: a chosen file that is
// a directory is refused with a message, and an existing file is replaced
// only after the user says so ("文件已存在，要替换它吗？", 取消 the default).
// Returns the file name, empty when the user cancelled or refused.
QString ChooseTargetFile(QWidget* parent, const QString& filter, const QString& suffix);

// The save dialog's filter and default extension.
inline const char16_t kTextFilter[] = u"文本文档(*.txt)";
inline const char kTextSuffix[] = "txt";

// Test hook: while set, the save dialog is not shown; the hook gets the
// filter and the default extension and returns the chosen file name (an
// empty string for Cancel).
using SaveDialogHook = std::function<QString(const QString& filter, const QString& suffix)>;
void SetSaveDialogHook(SaveDialogHook hook);
