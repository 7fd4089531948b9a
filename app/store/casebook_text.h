#pragma once
// The casebook's texts: the byte sizes of its short fields in the GBK code
// page, and the characters it keeps (see TEXT SIZES and CHARACTERS in
// casebook_store.h).

#include <QString>

inline constexpr int kTitleBytes = 100;      // Omenry.BT
inline constexpr int kQuerentBytes = 20;     // Omenry.QZR
inline constexpr int kFolderNameBytes = 30;  // Folder.Name

// The number of bytes the text takes in the GBK code page: 1 for an ASCII
// character (U+0000..U+007F), 2 for any other character of the Basic
// Multilingual Plane (every Chinese character and full-width symbol), 4 for a
// character beyond it (as GB18030 writes those). Never less than the text's
// real GBK size.
int GbkByteCount(const QString& text) noexcept;

// The longest prefix of the text whose GbkByteCount is at most maxBytes,
// ending at a character boundary (a user-perceived character: a surrogate
// pair or a base letter with its combining marks is kept whole or dropped
// whole). Text that already fits is returned unchanged. maxBytes <= 0 gives
// an empty string.
QString CutToGbkBytes(const QString& text, int maxBytes);

// The text as the store keeps it: every surrogate that is not part of a pair
// replaced by U+FFFD, everything else unchanged.
QString StorableText(const QString& text);

// The text without the blanks and control characters (everything up to
// U+0020) at either end; a full-width space is a character like any other.
// What a search looks for is trimmed so.
QString TrimControls(const QString& text);

// A folder name that is empty or holds nothing but white space (spaces,
// full-width spaces, tabs, line breaks) names nothing and is refused.
bool IsBlankName(const QString& name);
