#include "desktop/CoverFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <filesystem>
#include <fstream>

namespace lumora {

namespace {

// The picture's own format ("jpeg", "png", ...), empty when Qt cannot read it.
std::string pictureFormat(const std::string& bytes) {
  if (bytes.empty()) return {};
  QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  if (!reader.canRead() || reader.size().isEmpty()) return {};
  return reader.format().toStdString();
}

// Song ids are decimal text; anything else must not climb out of the folder.
std::string fileSafe(const std::string& id) {
  std::string safe;
  for (const char c : id) safe += (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ? c : '_';
  return safe;
}

}  // namespace

CoverFile::~CoverFile() { remove(); }

void CoverFile::remove() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
  path_.clear();
}

std::string CoverFile::write(const std::string& songId, const std::string& bytes) {
  remove();
  const std::string format = pictureFormat(bytes);
  if (format.empty()) return {};
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (error) return {};
  const std::string path = folder_ + "/cover-" + fileSafe(songId) + "." + format;
  // Written beside and renamed, so a client never opens half a picture.
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::filesystem::remove(partial, error);
      return {};
    }
  }
  std::filesystem::rename(partial, path, error);
  if (error) {
    std::filesystem::remove(partial, error);
    return {};
  }
  path_ = path;
  return path_;
}

}  // namespace lumora
