#pragma once
// Shared pieces of the window tests: a private settings and data location per
// test program, and a recorder that answers the modal message and input boxes.

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include "skin.h"

namespace testing_support {

// Settings and the per-user data location go to a temporary directory, so
// that tests never read or write the user's real ones. The program's names
// are set as its main() sets them, for the default QSettings().
inline QTemporaryDir& ConfigDir() {
  static QTemporaryDir dir;
  return dir;
}

inline void IsolateSettings() {
  QStandardPaths::setTestModeEnabled(true);
  QCoreApplication::setOrganizationName(QStringLiteral("vesk"));
  QCoreApplication::setApplicationName(QStringLiteral("Omenry"));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ConfigDir().path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, ConfigDir().path());
}

// Colour of every character of every line of the preview: 'R' pure red,
// '.' black (explicit or default), '?' anything else.
inline QStringList ColourMask(QTextEdit* preview) {
  QStringList lines;
  QTextDocument* doc = preview->document();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    QString mask;
    for (int i = 0; i < b.length() - 1; ++i) {
      QTextCursor c(doc);
      c.setPosition(b.position() + i);
      c.setPosition(b.position() + i + 1, QTextCursor::KeepAnchor);
      const QBrush brush = c.charFormat().foreground();
      if (brush.style() == Qt::NoBrush || brush.color() == QColor(0, 0, 0))
        mask += QLatin1Char('.');
      else if (brush.color() == QColor(255, 0, 0))
        mask += QLatin1Char('R');
      else
        mask += QLatin1Char('?');
    }
    lines << mask;
  }
  return lines;
}

// Types text into a widget one character at a time, as key presses that
// carry the character (QTest::keyClicks knows Latin-1 only).
inline void TypeText(QWidget* widget, const QString& text) {
  for (const QChar ch : text) {
    QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

// The SHA-256 of a file's bytes, in hex (empty when it cannot be read): to
// see that a file was left exactly as it was.
inline QByteArray FileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

inline void ClearSettings() {
  QSettings settings;
  settings.clear();
  settings.sync();
}

// Records every message box and input box and answers them from queues.
// Without a queued answer a message box is answered with its first button's
// meaning for one-button boxes and with Cancel otherwise; an input box is
// cancelled.
class Boxes {
 public:
  struct Shown {
    QString caption;
    QString text;
    skin::Buttons buttons;
  };

  Boxes() {
    skin::SetMessageHook([this](const QString& caption, const QString& text, skin::Buttons b) {
      shown.append({caption, text, b});
      if (!answers.isEmpty()) return answers.takeFirst();
      return b == skin::Buttons::Ok ? skin::Answer::Ok : skin::Answer::Cancel;
    });
    skin::SetInputHook([this](const QString& caption, const QString& prompt, QString* text) {
      inputs.append({caption, prompt, skin::Buttons::OkCancel});
      if (names.isEmpty()) return false;
      const QString name = names.takeFirst();
      if (name.isNull()) return false;  // a null entry stands for Cancel
      *text = name;
      return true;
    });
  }
  ~Boxes() {
    skin::SetMessageHook({});
    skin::SetInputHook({});
  }
  Boxes(const Boxes&) = delete;
  Boxes& operator=(const Boxes&) = delete;

  QList<Shown> shown;           // message boxes, in order
  QList<Shown> inputs;          // input boxes (caption, prompt)
  QList<skin::Answer> answers;  // answers for the next message boxes
  QList<QString> names;         // texts for the next input boxes (null: Cancel)
};

}  // namespace testing_support
