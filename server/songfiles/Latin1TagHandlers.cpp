#include "songfiles/Latin1TagHandlers.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>

#include "songfiles/CodePages.h"
#include "songfiles/TextEncodings.h"

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

// ID3v1 fields are padded with NULs or spaces. A field filled to its end may end in the first
// byte of a character cut off there, which no code page reads.
class Id3v1Handler : public TagLib::ID3v1::StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override {
    const std::string_view bytes(data.data(), data.size());
    const bool cut = !bytes.empty() && bytes.find('\0') == std::string_view::npos &&
                     static_cast<unsigned char>(bytes.back()) >= 0x80 &&
                     !ReadEastAsianCodePage(bytes) &&
                     ReadEastAsianCodePage(bytes.substr(0, bytes.size() - 1));
    return ToTagLib(cut ? data.mid(0, data.size() - 1) : data).stripWhiteSpace();
  }
};

}  // namespace

void InstallLatin1TagHandlers() {
  // TagLib keeps the handlers for the life of the process.
  static const Id3v2Handler id3v2;
  static const Id3v1Handler id3v1;
  TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
  TagLib::ID3v1::Tag::setStringHandler(&id3v1);
}

}  // namespace lumora::server
