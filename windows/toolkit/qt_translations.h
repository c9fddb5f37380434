#pragma once

class QCoreApplication;

// Loads Qt's own words in Chinese (qtbase_zh_CN from Qt's translations
// folder): the text boxes' context menus read 撤销、复制、粘贴, message boxes
// 确定, whatever the desktop's language, as the rest of the program does.
// False where the translations are not installed: Qt's English stays.
bool loadQtChineseTranslations(QCoreApplication &app);
