#pragma once
// 使い方 in a window of the program's own, for a desktop that has no
// program to open the manual with: the manual's text, read only, with a
// search field (Ctrl+F) and 閉じる. The window is kept while the main
// window lives and stays beside the diary, which goes on taking input.

#include "ui/placement.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTextBrowser;

class Manual_window : public QDialog {
    Q_OBJECT

public:
    explicit Manual_window(const Dialog_host& main_host);

    // Reads the manual and shows it; false, after telling the user why,
    // when it cannot be read.
    bool Show_manual(const QString& path);

    QTextBrowser* Text1 = nullptr;
    QLineEdit* Find_words = nullptr;
    QPushButton* Find_next = nullptr;
    QPushButton* Close_button = nullptr;

private:
    void Find_next_Click();

    Dialog_host host;
    bool placed = false;
};

// Shows the manual in the main window's own manual window, made at the first
// call and reused afterwards.
void Show_manual_window(const Dialog_host& host, const QString& path);
