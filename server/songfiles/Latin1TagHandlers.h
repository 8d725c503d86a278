#pragma once
// Tag text from years of Windows tools: GBK, Big5 or Shift-JIS bytes behind ID3's Latin-1
// encoding byte. Read as Latin-1 they come out as mojibake, so the library reads them in their
// code page where that is the plausible reading.
// The reading itself is ReadLatin1TagText (TextEncodings.h).

namespace lumora::server {

// From now on TagLib reads ID3v2 Latin-1 frames and ID3v1 tags through ReadLatin1TagText.
void InstallLatin1TagHandlers();

}  // namespace lumora::server
