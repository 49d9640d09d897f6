// The program's identity at run time.

#include "qt/Identity.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>

TEST(RuntimeIdentity, NamesVersionIconAndChineseQtTexts)
{
    auto& app = *qApp;
    kestivo::applyIdentity(static_cast<QApplication&>(app));
    EXPECT_EQ(QApplication::applicationName(), "Kestivo1");
    EXPECT_EQ(QApplication::applicationVersion(), KESTIVO_VERSION_TEXT) << "the project's version";
    EXPECT_EQ(QApplication::organizationName(), "Zorvelt");
    EXPECT_EQ(QApplication::desktopFileName(), "com.zorvelt.Kestivo1");
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    EXPECT_EQ(QLocale().territory(), QLocale::China);

    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull()) << "the icons are compiled into the program";
    for (int size : {16, 32, 48, 256})
        EXPECT_EQ(icon.pixmap(size, size).width(), size);

    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(translations + "/qtbase_zh_CN.qm"))
        GTEST_SKIP() << "Qt's Chinese translations are not installed (qt6-translations-l10n)";
    QMessageBox box(QMessageBox::Critical, "Kestivo1", "x", QMessageBox::Ok);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QString::fromUtf8("确定"));
}
