// The casebook's texts: their GBK byte sizes, the characters kept, and how
// texts are bound to statements and read back.

#include "casebook_text.h"

#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include "store_internal.h"

int GbkByteCount(const QString& text) noexcept {
  int n = 0;
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = text.at(i).unicode();
    if (c < 0x80) {
      n += 1;
    } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
               QChar::isLowSurrogate(text.at(i + 1).unicode())) {
      n += 4;
      ++i;
    } else {
      n += 2;
    }
  }
  return n;
}

QString CutToGbkBytes(const QString& text, int maxBytes) {
  if (maxBytes <= 0) return QString();
  if (GbkByteCount(text) <= maxBytes) return text;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  qsizetype start = 0;
  int used = 0;
  for (qsizetype end = finder.toNextBoundary(); end != -1;
       end = finder.toNextBoundary()) {
    const int cost = GbkByteCount(text.mid(start, end - start));
    if (used + cost > maxBytes) break;
    used += cost;
    start = end;
  }
  return text.left(start);
}

QString TrimControls(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text.at(begin).unicode() <= 0x20) ++begin;
  while (end > begin && text.at(end - 1).unicode() <= 0x20) --end;
  return text.mid(begin, end - begin);
}

QString StorableText(const QString& text) {
  QString s = text;
  const qsizetype size = s.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = s.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(s.at(i + 1).unicode())) {
      ++i;  // a pair, kept
    } else if (QChar::isSurrogate(c)) {
      s[i] = QChar(QChar::ReplacementCharacter);
    }
  }
  return s;
}

namespace store_detail {

QVariant TextParameter(const QString& text) {
  if (text.isNull()) return QVariant(QMetaType(QMetaType::QString));
  if (text.isEmpty()) return QVariant(QString(QLatin1String("")));
  return QVariant(StorableText(text).toUtf8());
}

// A text read as CAST(X AS BLOB): its UTF-8 bytes exactly as stored. (Read
// as UTF-16, SQLite would turn U+FFFE and U+FFFF into U+FFFD.) NULL gives a
// null string.
QString TextColumn(const QVariant& value) {
  if (value.isNull()) return QString();
  const QByteArray bytes = value.toByteArray();
  if (bytes.isEmpty()) return QString(QLatin1String(""));
  // Decoded without taking a U+FEFF at the start for a byte-order mark (as
  // QString::fromUtf8 does).
  QStringDecoder decode(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
  return decode(bytes);
}

}  // namespace store_detail

bool IsBlankName(const QString& name) {
  for (const QChar c : name)
    if (!c.isSpace()) return false;
  return true;
}
