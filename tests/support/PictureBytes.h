#pragma once
// A one-colour picture as the bytes a server would send.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QSize>
#include <string>

namespace lumora::test {

inline std::string pictureBytes(QSize size, QColor colour, const char* format = "PNG") {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

}  // namespace lumora::test
