#include "LegacyTagText.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>

#include "TextEncodings.h"

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

void ReadLegacyCodePageTags() {
  // TagLib keeps the handlers for the life of the process.
  static const Id3v2Handler id3v2;
  static const Id3v1Handler id3v1;
  TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
  TagLib::ID3v1::Tag::setStringHandler(&id3v1);
}

}  // namespace lumora::server
