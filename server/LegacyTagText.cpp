#include "LegacyTagText.h"

#include <iconv.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>

#include <algorithm>

namespace lumora::server {
namespace {

TagLib::String ToTagLib(const TagLib::ByteVector& data) {
  return TagLib::String(ReadLatin1TagText(std::string_view(data.data(), data.size())),
                        TagLib::String::UTF8);
}

class Id3v2Handler : public TagLib::ID3v2::Latin1StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override { return ToTagLib(data); }
};

// ID3v1 fields are padded with NULs or spaces.
class Id3v1Handler : public TagLib::ID3v1::StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override {
    return ToTagLib(data).stripWhiteSpace();
  }
};

}  // namespace

std::optional<std::string> StrictGbkToUtf8(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // No GBK byte becomes more than three bytes of UTF-8.
  std::string out(bytes.size() * 3, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const bool whole = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!whole || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

std::string ReadLatin1TagText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  const bool ascii =
      std::all_of(bytes.begin(), bytes.end(), [](unsigned char c) { return c < 0x80; });
  if (ascii) return std::string(bytes);
  if (std::optional<std::string> gbk = StrictGbkToUtf8(bytes)) return *gbk;
  return TagLib::String(TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size())),
                        TagLib::String::Latin1)
      .to8Bit(true);
}

void ReadLegacyGbkTags() {
  // TagLib keeps the handlers for the life of the process.
  static const Id3v2Handler id3v2;
  static const Id3v1Handler id3v1;
  TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
  TagLib::ID3v1::Tag::setStringHandler(&id3v1);
}

}  // namespace lumora::server
