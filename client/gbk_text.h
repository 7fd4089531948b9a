#pragma once
// The engine's texts are GBK (code page 936); its callers read them as
// UTF-8.

#include <string>
#include <string_view>

// The GBK text in UTF-8. Line ends stay as they are (CR LF); a byte that
// does not begin a GBK character, or a lead byte at the very end, becomes
// U+FFFD. Throws std::runtime_error when the system has no GBK converter.
std::string GbkToUtf8(std::string_view gbk);
