#pragma once
// The tooltip of each control of the main window that has one, by the control's name.
#include <array>
#include <string_view>

namespace lumora {

struct ControlToolTip {
  std::string_view control;
  std::string_view text;
};

inline constexpr std::array<ControlToolTip, 18> kControlToolTips{{
    {"图形按钮_上一曲", "上一曲（Ctrl + Left）"},
    {"图形按钮_下一曲", "下一曲（Ctrl + Right）"},
    {"图形按钮_播放", "播放（Ctrl + P）"},
    {"图形按钮_暂停", "暂停（Ctrl + P）"},
    {"图形按钮_歌词", "打开歌词（Ctrl + D）"},
    {"图形按钮_私人FM", "私人FM"},
    {"图形按钮_列表", "歌单列表"},
    {"图形按钮_下载", "下载"},
    {"图形按钮_设置", "设置"},
    {"图形按钮_退出", "退出"},
    {"图形按钮_查询", "歌单搜索"},
    {"首页", "歌单首页"},
    {"下一页", "歌单下一页"},
    {"选择框_开机自启", "开机自启动"},
    {"透明标签4", "开机自启动"},
    {"选择框_侧边隐藏", "侧边自动隐藏"},
    {"透明标签2", "侧边自动隐藏"},
    {"预设方案", "歌词颜色预设方案"},
}};

}  // namespace lumora
