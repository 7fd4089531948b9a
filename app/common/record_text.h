#pragma once
// The line ends of a record's text. The casebook stores a record's text with
// CR LF line ends, as the engine writes its charts; Qt's text controls and
// documents work with LF alone.

#include <QString>

// The text with CR LF, and a lone CR, turned into LF: as the editor, the
// preview and the print window hold it.
inline QString ToDisplayText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

// A text of LF lines with CR LF line ends, as it is stored.
inline QString ToStoredText(QString text) {
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}
