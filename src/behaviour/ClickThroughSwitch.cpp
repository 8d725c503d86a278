#include "behaviour/ClickThroughSwitch.h"

#include <QAction>
#include <QComboBox>
#include <QWidget>

#include "behaviour/LiveWindowFlags.h"
#include "widgets/WindowShape.h"

namespace lumora {

ClickThroughSwitch::ClickThroughSwitch(QWidget* window, QAction* item, QComboBox* opacity,
                                       ClickThroughHeights heights)
    : QObject(window), window_(window), item_(item), opacity_(opacity), heights_(heights) {
  // The menu toggles an item's check before it reports the click.
  connect(item_, &QAction::triggered, this, &ClickThroughSwitch::apply);
}

bool ClickThroughSwitch::on() const { return item_->isChecked(); }

void ClickThroughSwitch::toggle() {
  item_->setChecked(!item_->isChecked());
  apply(item_->isChecked());
}

void ClickThroughSwitch::offer(bool offered) { item_->setVisible(offered); }

void ClickThroughSwitch::apply(bool on) {
  const ClickThroughLook look =
      clickThroughLook(on, opacity_->currentText().toStdString(), heights_);
  window_->setWindowOpacity(look.alpha / 255.0);
  window_->resize(window_->width(), look.height);
  roundWindowCorners(window_, 2, 2);
  setLiveWindowFlag(window_, Qt::WindowTransparentForInput, look.inputTransparent);
}

}  // namespace lumora
