// The standard dialogs speak the interface's language.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>

#include "app/Translations.h"

namespace lumora::test {
namespace {

TEST(Translations, MessageBoxAndColourDialogSpeakChinese) {
  ASSERT_TRUE(installChineseTranslations());
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), QStringLiteral("测试"),
                  QMessageBox::Ok);
  EXPECT_EQ(box.button(QMessageBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("确定"));
  EXPECT_NE(QCoreApplication::translate("QColorDialog", "&Basic colors"),
            QStringLiteral("&Basic colors"));
}

}  // namespace
}  // namespace lumora::test
