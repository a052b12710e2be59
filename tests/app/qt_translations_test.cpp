// Qt's own dialogs speak the user's language: on a Japanese desktop a message box's buttons
// are Japanese like the player's texts; where Qt has no translation nothing changes.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>

#include "app/QtTranslations.h"
#include "tests/support/QtTestApp.h"

namespace {

QString CancelButtonText() {
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

TEST(QtTranslationsTest, JapaneseLocaleTranslatesQtsStandardTexts) {
    QApplication& app = TestApplication();
    ASSERT_EQ(CancelButtonText(), "Cancel");
    QTranslator* japanese = InstallQtTranslations(app, QLocale(QLocale::Japanese, QLocale::Japan));
    ASSERT_NE(japanese, nullptr) << "qtbase_ja.qm (qt6-translations-l10n) is missing";
    EXPECT_EQ(CancelButtonText(), QString::fromUtf8("キャンセル"));
    QCoreApplication::removeTranslator(japanese);
    delete japanese;

    EXPECT_EQ(InstallQtTranslations(app, QLocale(QLocale::English, QLocale::UnitedStates)), nullptr);
    EXPECT_EQ(CancelButtonText(), "Cancel");
}

}  // namespace
