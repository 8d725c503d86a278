#include "app/Fonts.h"

#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QFont>
#include <QStringList>

#include "lyrics/LyricStyle.h"

namespace lumora {

// The toolkit reads the same configuration when it first needs a font; reading it is safe on
// any thread, and a second reader finds it done.
void ReadFontConfiguration() { FcInit(); }

// Each face of the form stands for the installed faces of its style, the same ones the desktop
// lyrics use, and then for any face that draws Chinese at all.
void installFontFallbacks() {
  for (const LyricFace& face : kLyricFaces) {
    QStringList fallbacks;
    for (const char* installed : face.installed) fallbacks << QString::fromUtf8(installed);
    fallbacks << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("Droid Sans Fallback");
    QFont::insertSubstitutions(QString::fromUtf8(face.designed), fallbacks);
  }
  QFont font(QString::fromUtf8("微软雅黑"));
  font.setPointSize(9);
  QApplication::setFont(font);
}

}  // namespace lumora
