#include "pdf_text_layer.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// The file's objects, found through its cross-reference table

struct XrefEntry {
  int object = 0;
  qsizetype offset = 0;  // of "N G obj"
  qsizetype at = 0;      // where the entry's ten digits stand
};

struct Xref {
  std::vector<XrefEntry> entries;  // objects in use
  qsizetype startxrefValueAt = 0;  // the digits after "startxref"
  qsizetype startxrefValueEnd = 0;
  qsizetype xrefAt = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }

qsizetype SkipSpace(const QByteArray& b, qsizetype i) {
  while (i < b.size() && IsSpace(b[i])) ++i;
  return i;
}

// A decimal number at i (after white space); its end in *end.
std::optional<qint64> NumberAt(const QByteArray& b, qsizetype i, qsizetype* end) {
  i = SkipSpace(b, i);
  qsizetype j = i;
  while (j < b.size() && b[j] >= '0' && b[j] <= '9') ++j;
  if (j == i || j - i > 15) return std::nullopt;
  bool ok = false;
  const qint64 n = b.mid(i, j - i).toLongLong(&ok);
  if (!ok) return std::nullopt;
  if (end) *end = j;
  return n;
}

// The classic table Qt writes ("xref", subsections of 20-byte entries);
// nothing for a cross-reference stream or a file that is not laid out so.
std::optional<Xref> ReadXref(const QByteArray& pdf) {
  Xref x;
  const qsizetype start = pdf.lastIndexOf("startxref");
  if (start < 0) return std::nullopt;
  x.startxrefValueAt = SkipSpace(pdf, start + 9);
  const auto pos = NumberAt(pdf, x.startxrefValueAt, &x.startxrefValueEnd);
  if (!pos || *pos <= 0 || *pos >= pdf.size()) return std::nullopt;
  x.xrefAt = *pos;
  if (pdf.mid(x.xrefAt, 4) != "xref") return std::nullopt;
  qsizetype i = x.xrefAt + 4;
  for (;;) {
    i = SkipSpace(pdf, i);
    if (pdf.mid(i, 7) == "trailer") break;
    qsizetype e = 0;
    const auto first = NumberAt(pdf, i, &e);
    if (!first) return std::nullopt;
    const auto count = NumberAt(pdf, e, &e);
    if (!count || *count < 0 || *count > 10000000) return std::nullopt;
    // The entries begin on the next line.
    while (e < pdf.size() && (pdf[e] == ' ' || pdf[e] == '\t')) ++e;
    if (e < pdf.size() && pdf[e] == '\r') ++e;
    if (e < pdf.size() && pdf[e] == '\n') ++e;
    for (qint64 k = 0; k < *count; ++k) {
      const qsizetype at = e + k * 20;
      if (at + 20 > pdf.size()) return std::nullopt;
      const QByteArray entry = pdf.mid(at, 18);
      bool ok = false;
      const qint64 offset = entry.left(10).toLongLong(&ok);
      if (!ok || entry[10] != ' ' || entry[16] != ' ') return std::nullopt;
      if (entry[17] == 'n') x.entries.push_back({static_cast<int>(*first + k), offset, at});
      else if (entry[17] != 'f') return std::nullopt;
    }
    i = e + *count * 20;
  }
  return x;
}

// An object's dictionary text: from "N G obj" to its stream or its end.
QByteArray ObjectHead(const QByteArray& pdf, qsizetype offset) {
  qsizetype end = pdf.indexOf("endobj", offset);
  if (end < 0) end = pdf.size();
  const qsizetype stream = pdf.indexOf("stream", offset);
  if (stream >= 0 && stream < end) end = stream;
  return pdf.mid(offset, end - offset);
}

// ---------------------------------------------------------------------------
// ToUnicode maps

struct Token {
  QByteArray text;
  qsizetype start = 0;
  qsizetype end = 0;
};

std::vector<Token> Tokens(const QByteArray& s) {
  std::vector<Token> tokens;
  qsizetype i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    if (c == '%') {  // a comment, to the end of the line
      while (i < s.size() && s[i] != '\n' && s[i] != '\r') ++i;
      continue;
    }
    qsizetype j = i + 1;
    if ((c == '<' || c == '>') && j < s.size() && s[j] == c) {
      ++j;  // << or >>
    } else if (c == '<') {
      while (j < s.size() && s[j] != '>') ++j;
      if (j < s.size()) ++j;
    } else if (c == '[' || c == ']' || c == '{' || c == '}') {
      // one character
    } else {
      while (j < s.size() && !IsSpace(s[j]) && !QByteArray("<>[]{}/%").contains(s[j])) ++j;
    }
    tokens.push_back({s.mid(i, j - i), i, j});
    i = j;
  }
  return tokens;
}

bool IsHex(const QByteArray& t) { return t.size() >= 2 && t.front() == '<' && t.back() == '>' && t != "<<"; }

// A hex string's bytes as UTF-16BE units.
QString Utf16Of(const QByteArray& hexToken) {
  const QByteArray bytes = QByteArray::fromHex(hexToken.mid(1, hexToken.size() - 2));
  QString s;
  for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
    s += QChar(static_cast<char16_t>((static_cast<uchar>(bytes[i]) << 8) | static_cast<uchar>(bytes[i + 1])));
  return s;
}

quint32 CodeOf(const QByteArray& hexToken) { return hexToken.mid(1, hexToken.size() - 2).toUInt(nullptr, 16); }

QByteArray HexOf(const QString& text) {
  QByteArray bytes;
  for (const QChar c : text) {
    bytes += static_cast<char>(c.unicode() >> 8);
    bytes += static_cast<char>(c.unicode() & 0xff);
  }
  return '<' + bytes.toHex().toUpper() + '>';
}

struct CMap {
  qsizetype middleStart = -1;  // the first "N beginbf…" and the end of the last "endbf…"
  qsizetype middleEnd = -1;
  int codeBytes = 2;
  QMap<quint32, QString> map;  // code → text
};

// The bfchar and bfrange entries of a ToUnicode map; nothing when it holds
// something else than those and the code space.
std::optional<CMap> ReadCMap(const QByteArray& s) {
  CMap m;
  const std::vector<Token> t = Tokens(s);
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].text == "begincodespacerange" && i + 1 < t.size() && IsHex(t[i + 1].text))
      m.codeBytes = static_cast<int>((t[i + 1].text.size() - 2) / 2);
    const bool chars = t[i].text == "beginbfchar";
    const bool ranges = t[i].text == "beginbfrange";
    if (!chars && !ranges) continue;
    if (m.middleStart < 0) m.middleStart = i > 0 ? t[i - 1].start : t[i].start;
    size_t k = i + 1;
    const QByteArray end = chars ? "endbfchar" : "endbfrange";
    while (k < t.size() && t[k].text != end) {
      if (chars) {
        if (k + 1 >= t.size() || !IsHex(t[k].text) || !IsHex(t[k + 1].text)) return std::nullopt;
        m.map[CodeOf(t[k].text)] = Utf16Of(t[k + 1].text);
        k += 2;
        continue;
      }
      if (k + 2 >= t.size() || !IsHex(t[k].text) || !IsHex(t[k + 1].text)) return std::nullopt;
      const quint32 lo = CodeOf(t[k].text), hi = CodeOf(t[k + 1].text);
      if (hi < lo || hi - lo > 0xffff) return std::nullopt;
      if (IsHex(t[k + 2].text)) {
        // Consecutive texts: the last unit counts up.
        const QString first = Utf16Of(t[k + 2].text);
        if (first.isEmpty()) return std::nullopt;
        for (quint32 code = lo; code <= hi; ++code) {
          QString text = first;
          text.back() = QChar(static_cast<char16_t>(first.back().unicode() + (code - lo)));
          m.map[code] = text;
        }
        k += 3;
      } else if (t[k + 2].text == "[") {
        size_t j = k + 3;
        quint32 code = lo;
        while (j < t.size() && t[j].text != "]") {
          if (!IsHex(t[j].text)) return std::nullopt;
          m.map[code++] = Utf16Of(t[j].text);
          ++j;
        }
        if (j >= t.size()) return std::nullopt;
        k = j + 1;
      } else {
        return std::nullopt;
      }
    }
    if (k >= t.size()) return std::nullopt;
    m.middleEnd = t[k].end;
    i = k;
  }
  if (m.middleStart < 0) return std::nullopt;
  return m;
}

QByteArray WriteEntries(const QMap<quint32, QString>& map, int codeBytes) {
  QByteArray out;
  auto it = map.cbegin();
  while (it != map.cend()) {
    // At most 100 entries a block.
    QByteArray block;
    int n = 0;
    for (; it != map.cend() && n < 100; ++it, ++n)
      block += '<' + QByteArray::number(it.key(), 16).toUpper().rightJustified(codeBytes * 2, '0') +
               "> " + HexOf(it.value()) + '\n';
    out += QByteArray::number(n) + " beginbfchar\n" + block + "endbfchar\n";
  }
  return out;
}

// ---------------------------------------------------------------------------
// Which drawn character a glyph was drawn for

char32_t SingleCodePoint(const QString& text) {
  const QList<uint> ucs4 = text.toUcs4();
  return ucs4.size() == 1 ? ucs4.first() : 0;
}

quint32 GlyphOf(const QRawFont& font, char32_t c) {
  const QList<quint32> glyphs = font.glyphIndexesForString(QString::fromUcs4(&c, 1));
  return glyphs.size() == 1 ? glyphs.first() : 0;
}

// Of the drawn characters that share a glyph, the one a reader should get:
// a character of its own (no decomposition: not a radical standing for an
// ideograph, not a compatibility form) before others, then the lowest.
char32_t Preferred(const QList<char32_t>& candidates) {
  char32_t best = 0;
  bool bestPlain = false;
  for (const char32_t c : candidates) {
    const bool plain = QChar::decomposition(c).isEmpty();
    if (best == 0 || (plain && !bestPlain) || (plain == bestPlain && c < best)) {
      best = c;
      bestPlain = plain;
    }
  }
  return best;
}

struct Edit {
  qsizetype start;
  qsizetype end;
  QByteArray with;
};

}  // namespace

QString PostScriptName(const QRawFont& font) {
  const QByteArray name = font.fontTable("name");
  if (name.size() < 6) return QString();
  const auto u16 = [&](qsizetype at) -> int {
    return at + 2 <= name.size() ? qFromBigEndian<quint16>(name.constData() + at) : -1;
  };
  const int count = u16(2), strings = u16(4);
  for (int i = 0; i < count; ++i) {
    const qsizetype r = 6 + qsizetype(i) * 12;
    const int platform = u16(r), id = u16(r + 6), length = u16(r + 8), offset = u16(r + 10);
    if (id != 6 || length < 0 || offset < 0) continue;
    const qsizetype at = qsizetype(strings) + offset;
    if (at + length > name.size()) continue;
    const QByteArray bytes = name.mid(at, length);
    if (platform == 1) return QString::fromLatin1(bytes);
    if (platform == 3 || platform == 0) {
      QString s;
      for (qsizetype k = 0; k + 1 < bytes.size(); k += 2)
        s += QChar(static_cast<char16_t>((static_cast<uchar>(bytes[k]) << 8) | static_cast<uchar>(bytes[k + 1])));
      return s;
    }
  }
  return QString();
}

QByteArray MendPdfTextLayer(const QByteArray& pdf, const QString& drawn,
                            const QList<QRawFont>& fonts, bool* mended) {
  if (mended) *mended = false;
  const std::optional<Xref> xref = ReadXref(pdf);
  if (!xref) return pdf;
  QHash<int, qsizetype> offsets;
  for (const XrefEntry& e : xref->entries) offsets.insert(e.object, e.offset);

  // The fonts by PostScript name, each with its glyphs of the drawn
  // characters.
  QSet<char32_t> drawnSet;
  for (const uint c : drawn.toUcs4()) drawnSet.insert(c);
  struct FontGlyphs {
    const QRawFont* font;
    QHash<quint32, QList<char32_t>> drawnByGlyph;
  };
  QHash<QString, FontGlyphs> byName;
  for (const QRawFont& font : fonts) {
    const QString name = PostScriptName(font);
    if (name.isEmpty() || byName.contains(name)) continue;
    FontGlyphs g{&font, {}};
    for (const char32_t c : drawnSet)
      if (const quint32 glyph = GlyphOf(font, c)) g.drawnByGlyph[glyph].append(c);
    byName.insert(name, g);
  }

  static const QRegularExpression toUnicodeRe(QStringLiteral("/ToUnicode\\s+(\\d+)\\s+\\d+\\s+R"));
  static const QRegularExpression baseFontRe(QStringLiteral("/BaseFont\\s*/([^\\s/<>\\[\\]()]+)"));
  static const QRegularExpression lengthRe(QStringLiteral("/Length\\s+(\\d+)(\\s+\\d+\\s+R)?"));
  std::vector<Edit> edits;
  QSet<int> done;
  for (const XrefEntry& e : xref->entries) {
    const QString head = QString::fromLatin1(ObjectHead(pdf, e.offset));
    const auto use = toUnicodeRe.match(head);
    const auto base = baseFontRe.match(head);
    if (!use.hasMatch() || !base.hasMatch()) continue;
    QString fontName = base.captured(1);
    if (fontName.size() > 7 && fontName[6] == QLatin1Char('+')) fontName = fontName.mid(7);  // a subset's tag
    const auto font = byName.constFind(fontName);
    if (font == byName.cend()) continue;
    const int object = use.captured(1).toInt();
    if (done.contains(object) || !offsets.contains(object)) continue;
    done.insert(object);

    // The map's stream: a direct length, no filter.
    const qsizetype at = offsets.value(object);
    const QByteArray mapHead = ObjectHead(pdf, at);
    const auto length = lengthRe.match(QString::fromLatin1(mapHead));
    if (!length.hasMatch() || length.hasCaptured(2) || mapHead.contains("/Filter")) continue;
    qsizetype data = at + mapHead.size();
    if (pdf.mid(data, 6) != "stream") continue;
    data += 6;
    if (data < pdf.size() && pdf[data] == '\r') ++data;
    if (data < pdf.size() && pdf[data] == '\n') ++data;
    const qsizetype size = length.captured(1).toLongLong();
    if (data + size > pdf.size()) continue;
    const QByteArray stream = pdf.mid(data, size);
    std::optional<CMap> cmap = ReadCMap(stream);
    if (!cmap) continue;

    bool changed = false;
    for (auto it = cmap->map.begin(); it != cmap->map.end(); ++it) {
      if (it.key() == 0) continue;  // the missing glyph
      const char32_t now = SingleCodePoint(it.value());
      if (now == 0 || drawnSet.contains(now)) continue;
      const quint32 glyph = GlyphOf(*font->font, now);
      if (glyph == 0) continue;
      const char32_t wanted = Preferred(font->drawnByGlyph.value(glyph));
      if (wanted == 0 || wanted == now) continue;
      it.value() = QString::fromUcs4(&wanted, 1);
      changed = true;
    }
    if (!changed) continue;
    const QByteArray newStream = stream.left(cmap->middleStart) + WriteEntries(cmap->map, cmap->codeBytes) +
                                 stream.mid(cmap->middleEnd);
    const qsizetype lengthAt = at + length.capturedStart(1);
    edits.push_back({lengthAt, at + length.capturedEnd(1), QByteArray::number(newStream.size())});
    edits.push_back({data, data + size, newStream});
  }
  if (edits.empty()) return pdf;

  // The file with the edits, every offset after them moved on.
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.start < b.start; });
  auto moved = [&](qsizetype offset) {
    qsizetype shift = 0;
    for (const Edit& e : edits)
      if (e.end <= offset) shift += e.with.size() - (e.end - e.start);
    return offset + shift;
  };
  QByteArray out;
  out.reserve(pdf.size() + 4096);
  qsizetype from = 0;
  for (const Edit& e : edits) {
    out += pdf.mid(from, e.start - from);
    out += e.with;
    from = e.end;
  }
  out += pdf.mid(from);
  for (const XrefEntry& e : xref->entries) {
    const QByteArray digits = QByteArray::number(moved(e.offset)).rightJustified(10, '0');
    if (digits.size() != 10) return pdf;
    out.replace(moved(e.at), 10, digits);
  }
  const qsizetype valueAt = moved(xref->startxrefValueAt);
  out.replace(valueAt, xref->startxrefValueEnd - xref->startxrefValueAt,
              QByteArray::number(moved(xref->xrefAt)));
  if (mended) *mended = true;
  return out;
}
