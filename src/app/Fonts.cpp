#include "app/Fonts.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

namespace lumora {

void installFontFallbacks() {
  const QStringList fallbacks = {QStringLiteral("WenQuanYi Micro Hei"),
                                 QStringLiteral("Noto Sans CJK SC"),
                                 QStringLiteral("Droid Sans Fallback")};
  for (const char* face : {"微软雅黑", "黑体", "楷体", "宋体"})
    QFont::insertSubstitutions(QString::fromUtf8(face), fallbacks);
  QFont font(QString::fromUtf8("微软雅黑"));
  font.setPointSize(9);
  QApplication::setFont(font);
}

}  // namespace lumora
