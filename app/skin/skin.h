#pragma once
// The skin of the program: colour theme, text font, message boxes and the
// one-line input box. Every window and every message box goes through here,
// so that they all look alike and so that tests can answer the modal boxes
// without a user (SetMessageHook, SetInputHook).

#include <QString>
#include <functional>
#include <memory>

class QApplication;
class QValidator;
class QFont;
class QMessageBox;
class QWidget;

namespace skin {

// Product name: application title and caption of plain message boxes.
inline const char kProductName[] = "Hexalore";

// OkCancelDestructive: "确定" and "取消" for a question whose 确定 destroys
// something; 取消 is the default button, so Enter keeps what there is.
// SaveDiscardCancel: "保存" (Answer::Yes), "不保存" (Answer::No) and "取消",
// for unsaved changes when more than one window may hold them.
enum class Buttons { Ok, OkCancel, YesNoCancel, OkCancelDestructive, SaveDiscardCancel };
enum class Answer { Ok, Cancel, Yes, No };
enum class Icon { None, Information, Question, Warning, Critical };

// The style sheet of the theme (applied application-wide by ApplyTheme).
QString StyleSheet();

// Installs style, palette, user-interface font and style sheet on the
// application; afterwards every window and message box wears the theme.
void ApplyTheme(QApplication& app);

// Monospaced CJK font, 14 pixels high, in which a Chinese character is
// exactly as wide as two ASCII characters (chart texts line up in it).
QFont TextFont();

// Builds (does not show) a themed message box with the Chinese captions:
// Ok → "确定"; OkCancel → "确定", "取消"; YesNoCancel → "是", "否", "取消";
// OkCancelDestructive → "确定", "取消" with "取消" the default button.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& caption,
                                            const QString& text, Buttons buttons,
                                            Icon icon = Icon::None);

// Shows a modal message box and returns the answer. Closing the box by its
// title bar or Escape counts as Cancel (as Ok for a box with one button).
Answer Message(QWidget* parent, const QString& caption, const QString& text,
               Buttons buttons = Buttons::Ok, Icon icon = Icon::None);

// A plain message box: caption is the product name, one "确定" button.
void PlainMessage(QWidget* parent, const QString& text);

// Shows an error (from the casebook store, the runtime ...) with its own
// text; the program carries on.
void ShowError(QWidget* parent, const QString& text);

// Modal one-line input box with "确定" and "取消". Returns true on OK and
// stores the entered text in *text. A validator, when given, checks the
// field as the user types (the box does not take it over).
bool InputText(QWidget* parent, const QString& caption, const QString& prompt,
               QString* text, const QValidator* validator = nullptr);

// Test hooks. While a hook is set, no real box is shown: the hook gets what
// the box would have shown and returns the user's answer.
using MessageHook =
    std::function<Answer(const QString& caption, const QString& text, Buttons buttons)>;
using InputHook =
    std::function<bool(const QString& caption, const QString& prompt, QString* text)>;
void SetMessageHook(MessageHook hook);
void SetInputHook(InputHook hook);

}  // namespace skin
