#pragma once
// The text layer of the PDF files the print window writes: what a PDF
// reader finds, copies and searches.
//
// Qt's PDF writer embeds each font as a subset and tells readers, in the
// font's ToUnicode map, which character each glyph stands for. It works
// that out from the font alone, backwards: for a glyph it takes the lowest
// code point that the font's character map sends to it. A CJK font draws
// many characters with one glyph: 月 U+6708 and the Kangxi radical ⽉
// U+2F49, 龙 U+9F99 and the radical ⻰ U+2EF0, the ideographic space U+3000
// and the em space U+2003. The radicals come first, so a chart's 月 read
// out of the PDF was ⽉, a search for 小耗 found nothing, and copied text
// was wrong.
//
// The print window knows what it drew. MendPdfTextLayer rewrites the
// ToUnicode map of each of its fonts so that a glyph stands for the
// character of the drawn text that the font draws with it. A glyph that
// stands for two characters that were both drawn (月 and ⽉ on one page)
// keeps one of them: a ToUnicode map cannot say more.

#include <QByteArray>
#include <QList>
#include <QRawFont>
#include <QString>

// The mended PDF. `pdf`: a file as Qt's PDF writer makes it (uncompressed
// ToUnicode maps, a classic cross-reference table); `drawn`: every
// character drawn on its pages; `fonts`: the fonts they were drawn in, told
// apart in the file by their PostScript names. A file that needs nothing,
// or that is not laid out that way, is returned unchanged (*mended false).
QByteArray MendPdfTextLayer(const QByteArray& pdf, const QString& drawn,
                            const QList<QRawFont>& fonts, bool* mended = nullptr);

// The PostScript name of a font (its name table's name 6), as the PDF
// names the font; empty when the font has none.
QString PostScriptName(const QRawFont& font);
