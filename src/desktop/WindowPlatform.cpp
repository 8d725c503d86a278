#include "desktop/WindowPlatform.h"

#include <QtGlobal>

namespace lumora {

void PreferX11WhereThereIsAnX11Server() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
}

QString WindowPlacementLimits(const QString& platformName) {
  if (!platformName.startsWith(QStringLiteral("wayland"))) return {};
  return QString::fromUtf8(
      "这个桌面会话只有 Wayland，播放器不能摆放自己的窗口：窗口的位置、贴边隐藏、"
      "桌面歌词的位置和总在最前都不起作用。有 X 服务器（XWayland）的会话里它们都能用。");
}

}  // namespace lumora
