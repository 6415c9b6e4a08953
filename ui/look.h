#pragma once
// What every window looks like: the design fonts, asked for by name with
// the Japanese fonts Debian ships standing in for them, and the colours the
// windows share.

#include <QColor>
#include <QFont>

class QCoreApplication;
class QDialog;
class QDialogButtonBox;
class QScrollBar;
class QWidget;

// "ＭＳ ゴシック" and "ＭＳ Ｐゴシック" stand for fonts Debian ships; once
// per run, before the first window is built.
void Install_font_substitutions();
// The windows' font: "ＭＳ ゴシック" at 11.25 points (the int constructor
// would make it 11).
QFont Diary_font();
// The search windows' lists: "ＭＳ Ｐゴシック" at 9 points.
QFont List_font();
// The window's background takes the colour and its font the diary font.
void Set_window_look(QWidget& window, const QColor& background);
// The settings windows' OK and キャンセル, accepting and rejecting the dialog.
QDialogButtonBox* Ok_cancel_buttons(QDialog& dialog);
// The scroll bar is drawn in bands of fewer than 96 rows. Qt hands every
// gradient fill of 96 rows or more to a pool of threads and waits for them:
// a tall scroll bar's groove would start those threads at the window's first
// paint and make it wait on them, which costs more than the fill itself.
// The pixels drawn are the same.
void Paint_in_bands(QScrollBar& bar);
// Qt's own texts (the text fields' context menus, the standard buttons) in
// Japanese, whatever the desktop's language: the translator is installed on
// the application, which owns it. False when Qt's Japanese translations are
// not installed; the texts stay in English then.
bool Install_japanese_qt_texts(QCoreApplication& application);

namespace look {
inline const QColor Main_green(192, 255, 192);    // the main window
inline const QColor Reference_blue(0, 0, 255);    // read-only texts that come from elsewhere
inline const QColor Yellow(255, 255, 0);          // the greeting, the reference setting
inline const QColor Light_cyan(128, 255, 255);    // the message window, the memo search
inline const QColor Light_yellow(255, 255, 128);  // the memory-days list
inline const QColor Fortune_green(0, 255, 0);     // the fortune
}  // namespace look
