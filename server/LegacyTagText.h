#pragma once
// Tag text from years of Windows tools: GBK bytes behind ID3's Latin-1 encoding byte. Read as
// Latin-1 they come out as mojibake, so the library reads them as GBK where they are GBK.
// The reading itself is ReadLatin1TagText (TextEncodings.h).

namespace lumora::server {

// From now on TagLib reads ID3v2 Latin-1 frames and ID3v1 tags through ReadLatin1TagText.
void ReadLegacyGbkTags();

}  // namespace lumora::server
