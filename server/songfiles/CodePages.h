#pragma once
// Text that Windows tools of East Asia wrote in their own code page: GBK (mainland China), Big5
// (Taiwan, Hong Kong) and Shift-JIS (Japan). The same bytes are often valid in two of them and in
// Latin-1, so a reading is chosen by what it gives: the characters people write every day in that
// script, or the rare ones and symbols that only a wrong guess makes.
#include <optional>
#include <string>
#include <string_view>

namespace lumora::server {

struct CodePageText {
  std::string utf8;
  const char* page;  // its iconv name: "GBK", "CP950" (Big5), "CP932" (Shift-JIS)
};

// bytes as UTF-8 from the code page whose reading gives the most everyday characters beyond the
// rare ones, the most used of Chinese counting twice. A reading is refused when it gives more rare
// than everyday characters, fails to convert, puts a lone character between two ASCII letters (as
// "Canção" is çã in all three), or gives no more everyday characters than the bytes have accented
// Latin-1 letters beside ASCII ones ("Åsa"); nullopt when every reading is.
std::optional<CodePageText> ReadEastAsianCodePage(std::string_view bytes);

}  // namespace lumora::server
