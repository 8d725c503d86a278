#include "behaviour/SleepCountdown.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "behaviour/SleepTimer.h"

namespace lumora {

SleepCountdown::SleepCountdown(const SleepControls& controls, QMenu* menu, QAction* item,
                               std::function<void()> endProgram, QObject* parent)
    : QObject(parent), controls_(controls), item_(item) {
  connect(item_, &QAction::triggered, this,
          [this] { controls_.box->setVisible(controls_.box->isHidden()); });
  // A countdown under way shows what it has left on its own item.
  menu->setToolTipsVisible(true);
  connect(menu, &QMenu::aboutToShow, this, &SleepCountdown::showTimeLeft);
  connect(item_, &QAction::hovered, this, &SleepCountdown::showTimeLeft);
  connect(controls_.period, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (const auto caption = sleepButtonCaption(index))
      controls_.confirm->setText(
          QString::fromUtf8(caption->data(), static_cast<qsizetype>(caption->size())));
  });
  connect(controls_.confirm, &QAbstractButton::clicked, this, &SleepCountdown::confirm);
  connect(controls_.countdown, &QTimer::timeout, this, std::move(endProgram));
}

void SleepCountdown::stop() { controls_.countdown->stop(); }

void SleepCountdown::confirm() {
  if (const auto period = sleepPeriod(controls_.period->currentIndex())) {
    if (*period == 0)
      controls_.countdown->stop();
    else
      controls_.countdown->start(*period);
  }
  controls_.box->hide();
  showTimeLeft();
}

void SleepCountdown::showTimeLeft() {
  const QTimer* countdown = controls_.countdown;
  item_->setToolTip(countdown->isActive()
                        ? QString::fromStdString(sleepTimeLeftText(countdown->remainingTime()))
                        : QString());
}

}  // namespace lumora
