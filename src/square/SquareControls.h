#pragma once
// The controls of the playlist square, 外形框1, as the main window's form builds them.
class QAbstractButton;
class QComboBox;
class QFrame;
class QLineEdit;
class QTreeWidget;

namespace lumora {

struct SquareControls {
  QFrame* frame = nullptr;                  // 外形框1
  QTreeWidget* rows = nullptr;              // 超级列表框1
  QComboBox* categories = nullptr;          // 组合框1
  QAbstractButton* firstPage = nullptr;     // 首页
  QAbstractButton* nextPage = nullptr;      // 下一页
  QAbstractButton* searchToggle = nullptr;  // 图形按钮_查询
  QFrame* searchBox = nullptr;              // 外形框3
  QLineEdit* searchEdit = nullptr;          // 编辑框_歌单ID
  QAbstractButton* searchButton = nullptr;  // 查询结果
};

}  // namespace lumora
