#include "skin.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <utility>

namespace skin {
namespace {

MessageHook& messageHook() {
  static MessageHook hook;
  return hook;
}

InputHook& inputHook() {
  static InputHook hook;
  return hook;
}

// The theme: rice paper and ink, with a cinnabar accent.
constexpr const char* kPaper = "#f6f1e7";      // window background
constexpr const char* kSheet = "#fffdf8";      // text areas, lists
constexpr const char* kBar = "#ebe2d2";        // menu bar, tool bar, headers
constexpr const char* kLine = "#c8b89c";       // frames and grid lines
constexpr const char* kInk = "#000000";        // text
constexpr const char* kAccent = "#9e3b2c";     // selection, focus
constexpr const char* kAccentSoft = "#e9cfc4"; // hover
constexpr const char* kMuted = "#8a8070";      // disabled text
constexpr const char* kHandle = "#9a8b72";     // scroll bar handle
constexpr const char* kHandleHover = "#7a6c55";

}  // namespace

QString StyleSheet() {
  QString css = QStringLiteral(R"(
QWidget { color: %INK%; }
QMainWindow, QDialog, QMessageBox { background: %PAPER%; }
QMenuBar { background: %BAR%; border-bottom: 1px solid %LINE%; }
QMenuBar::item { padding: 3px 9px; background: transparent; }
QMenuBar::item:selected { background: %ACCENTSOFT%; }
QMenu { background: %SHEET%; border: 1px solid %LINE%; }
QMenu::item { padding: 4px 24px 4px 22px; }
QMenu::item:selected { background: %ACCENT%; color: white; }
QMenu::item:disabled { color: %MUTED%; }
QMenu::separator { height: 1px; background: %LINE%; margin: 3px 6px; }
QToolBar { background: %BAR%; border: none; border-bottom: 1px solid %LINE%; spacing: 2px; padding: 2px; }
QToolBar::separator { width: 1px; background: %LINE%; margin: 4px 5px; }
QToolButton { padding: 3px 8px; border: 1px solid transparent; border-radius: 3px; }
QToolButton:hover { background: %ACCENTSOFT%; border-color: %LINE%; }
QToolButton:pressed { background: %ACCENT%; color: white; }
QToolButton:disabled { color: %MUTED%; }
QToolButton:checked { background: %ACCENT%; color: white; border-color: %ACCENT%; }
QToolButton:checked:hover { background: %ACCENT%; }
QStatusBar { background: %BAR%; border-top: 1px solid %LINE%; }
QStatusBar::item { border: none; }
QStatusBar QLabel { border: 1px solid %LINE%; padding: 0px 4px; background: %PAPER%; }
QSplitter::handle { background: %BAR%; }
QTreeView, QTableView, QTextEdit, QPlainTextEdit, QLineEdit, QComboBox, QListView {
  background: %SHEET%; border: 1px solid %LINE%;
  selection-background-color: %ACCENT%; selection-color: white;
}
QTreeView:focus, QTableView:focus, QTextEdit:focus, QPlainTextEdit:focus, QLineEdit:focus, QComboBox:focus {
  border: 1px solid %ACCENT%;
}
QTableView { gridline-color: %LINE%; }
QHeaderView::section { background: %BAR%; border: none; border-right: 1px solid %LINE%;
  border-bottom: 1px solid %LINE%; padding: 2px 4px; }
QLineEdit, QComboBox { padding: 2px 4px; min-height: 20px; }
QComboBox QAbstractItemView { background: %SHEET%; border: 1px solid %LINE%; }
QPushButton { background: %BAR%; border: 1px solid %LINE%; border-radius: 3px; padding: 4px 16px; min-width: 60px; }
QPushButton:hover { background: %ACCENTSOFT%; }
QPushButton:pressed { background: %ACCENT%; color: white; }
QPushButton:default { border: 1px solid %ACCENT%; }
QLabel { background: transparent; }
QGroupBox { border: 1px solid %LINE%; margin-top: 8px; padding-top: 6px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }
QScrollBar:vertical { background: %PAPER%; width: 14px; margin: 0; border: none; border-left: 1px solid %LINE%; }
QScrollBar:horizontal { background: %PAPER%; height: 14px; margin: 0; border: none; border-top: 1px solid %LINE%; }
QScrollBar::handle { background: %HANDLE%; border-radius: 4px; }
QScrollBar::handle:vertical { min-height: 24px; margin: 2px 2px 2px 3px; }
QScrollBar::handle:horizontal { min-width: 24px; margin: 3px 2px 2px 2px; }
QScrollBar::handle:hover { background: %HANDLEHOVER%; }
QScrollBar::handle:pressed { background: %ACCENT%; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
)");
  css.replace("%PAPER%", kPaper)
      .replace("%SHEET%", kSheet)
      .replace("%BAR%", kBar)
      .replace("%LINE%", kLine)
      .replace("%INK%", kInk)
      .replace("%ACCENTSOFT%", kAccentSoft)
      .replace("%ACCENT%", kAccent)
      .replace("%MUTED%", kMuted)
      .replace("%HANDLEHOVER%", kHandleHover)
      .replace("%HANDLE%", kHandle);
  return css;
}

void ApplyTheme(QApplication& app) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
  QPalette pal = app.palette();
  pal.setColor(QPalette::Window, QColor(kPaper));
  pal.setColor(QPalette::Base, QColor(kSheet));
  pal.setColor(QPalette::AlternateBase, QColor(kPaper));
  pal.setColor(QPalette::Button, QColor(kBar));
  pal.setColor(QPalette::WindowText, QColor(kInk));
  pal.setColor(QPalette::Text, QColor(kInk));
  pal.setColor(QPalette::ButtonText, QColor(kInk));
  pal.setColor(QPalette::Highlight, QColor(kAccent));
  pal.setColor(QPalette::HighlightedText, Qt::white);
  pal.setColor(QPalette::Disabled, QPalette::Text, QColor(kMuted));
  pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(kMuted));
  pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(kMuted));
  app.setPalette(pal);
  QFont ui(QStringLiteral("Noto Sans CJK SC"));
  ui.setPixelSize(13);
  app.setFont(ui);
  app.setStyleSheet(StyleSheet());
}

QFont TextFont() {
  QFont f(QStringLiteral("Noto Sans Mono CJK SC"));
  f.setPixelSize(14);
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setKerning(false);
  // Whole-pixel advances keep every column on the same pixel grid.
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& caption,
                                            const QString& text, Buttons buttons, Icon icon) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(caption);
  box->setText(text);
  switch (icon) {
    case Icon::None: box->setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box->setIcon(QMessageBox::Information); break;
    case Icon::Question: box->setIcon(QMessageBox::Question); break;
    case Icon::Warning: box->setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box->setIcon(QMessageBox::Critical); break;
  }
  switch (buttons) {
    case Buttons::Ok: {
      QPushButton* ok = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
      box->setDefaultButton(ok);
      box->setEscapeButton(ok);
      break;
    }
    case Buttons::OkCancel:
    case Buttons::OkCancelDestructive: {
      QPushButton* ok = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
      QPushButton* cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
      box->setDefaultButton(buttons == Buttons::OkCancel ? ok : cancel);
      box->setEscapeButton(cancel);
      break;
    }
    case Buttons::YesNoCancel:
    case Buttons::SaveDiscardCancel: {
      const bool save = buttons == Buttons::SaveDiscardCancel;
      QPushButton* yes = box->addButton(save ? QStringLiteral("保存") : QStringLiteral("是"), QMessageBox::YesRole);
      box->addButton(save ? QStringLiteral("不保存") : QStringLiteral("否"), QMessageBox::NoRole);
      QPushButton* cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
      box->setDefaultButton(yes);
      box->setEscapeButton(cancel);
      break;
    }
  }
  return box;
}

Answer Message(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
               Icon icon) {
  if (messageHook()) return messageHook()(caption, text, buttons);
  auto box = MakeMessageBox(parent, caption, text, buttons, icon);
  box->exec();
  QAbstractButton* clicked = box->clickedButton();
  const QMessageBox::ButtonRole role =
      clicked ? box->buttonRole(clicked) : QMessageBox::RejectRole;
  switch (role) {
    case QMessageBox::AcceptRole: return Answer::Ok;
    case QMessageBox::YesRole: return Answer::Yes;
    case QMessageBox::NoRole: return Answer::No;
    default: return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  }
}

void PlainMessage(QWidget* parent, const QString& text) {
  Message(parent, QString::fromLatin1(kProductName), text, Buttons::Ok);
}

void ShowError(QWidget* parent, const QString& text) {
  Message(parent, QString::fromLatin1(kProductName), text, Buttons::Ok, Icon::Critical);
}

bool InputText(QWidget* parent, const QString& caption, const QString& prompt, QString* text,
               const QValidator* validator) {
  if (inputHook()) return inputHook()(caption, prompt, text);
  QDialog dlg(parent);
  dlg.setWindowTitle(caption);
  auto* layout = new QVBoxLayout(&dlg);
  layout->addWidget(new QLabel(prompt, &dlg));
  auto* edit = new QLineEdit(&dlg);
  if (validator) edit->setValidator(validator);
  edit->setText(*text);
  edit->setMinimumWidth(280);
  layout->addWidget(edit);
  auto* box = new QDialogButtonBox(&dlg);
  QPushButton* ok = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  QObject::connect(box, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
  layout->addWidget(box);
  if (dlg.exec() != QDialog::Accepted) return false;
  *text = edit->text();
  return true;
}

void SetMessageHook(MessageHook hook) { messageHook() = std::move(hook); }
void SetInputHook(InputHook hook) { inputHook() = std::move(hook); }

}  // namespace skin
