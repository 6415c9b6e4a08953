#include "app/accessible_names.h"

#include "ui/accessible.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QWidget>

namespace {

// The date bars say what they change and how: their values are read from
// the field beside each, which is named as the date it holds.
const Accessible_text Main_form_texts[] = {
    {"Main_form", "ソラネ 日記",
     "上に書く日の日記、下に読み返す日の日記を並べた、百年日記の画面です。"},
    {"Text2", "日記の本文",
     "上の日付の日記を書く欄です。Tab で次の欄へ移り、Ctrl+Tab でタブ文字を入れます。"},
    {"Text3", "日記の年", "書く日の年です。数字を入れて Enter を押すと、その年へ移ります。"},
    {"Text4", "日記の月", "書く日の月です。数字を入れて Enter を押すと、その月へ移ります。"},
    {"Text5", "日記の日", "書く日の日です。数字を入れて Enter を押すと、その日へ移ります。"},
    {"VScroll1", "日記の年を変える", "上下の矢印で、書く日の年を一年ずつ変えます。"},
    {"VScroll2", "日記の月を変える", "上下の矢印で、書く日の月を一月ずつ変えます。"},
    {"VScroll3", "日記の日を変える",
     "上下の矢印で、書く日を一日ずつ変えます。移る前に、今の日を保存します。"},
    {"Check1", "思い出", "この日を思い出の日にします。思い出の日の一覧に載ります。"},
    {"Label1", "メモ", "右の欄は、この日の一行のメモです。"},
    {"Text6", "メモ", "この日の一行のメモです。メモ検索で探せます。"},
    {"Shape1", "書く日の枠", "書く日の日付とメモを囲む枠です。"},
    {"Text1", "読み返す日の日記", "下の日付の日記です。読むだけで、書き換えられません。"},
    {"Text7", "読み返す日の年",
     "読み返す日の年です。数字を入れて Enter を押すと、その年へ移ります。"},
    {"Text8", "読み返す日の月",
     "読み返す日の月です。数字を入れて Enter を押すと、その月へ移ります。"},
    {"Text9", "読み返す日の日",
     "読み返す日の日です。数字を入れて Enter を押すと、その日へ移ります。"},
    {"VScroll4", "読み返す日の年を変える", "上下の矢印で、読み返す日の年を一年ずつ変えます。"},
    {"VScroll5", "読み返す日の月を変える", "上下の矢印で、読み返す日の月を一月ずつ変えます。"},
    {"VScroll6", "読み返す日の日を変える", "上下の矢印で、読み返す日を一日ずつ変えます。"},
    {"Command1", "画面切替", "日記だけの画面と、読み返す日を並べた画面を切り替えます。"},
    {"Command3", "占い", "明日の運勢を占います。一日に一度です。"},
    {"Command4", "明日へ", "明日の自分へのメッセージを書きます。"},
    {"Command2", "終了", "日記を保存して終わります。"},
    {"Label_weekday1", "書く日の曜日", "上の日付の曜日です。"},
    {"Label_weekday2", "読み返す日の曜日", "下の日付の曜日です。"},
    {"Progress_label", "バックアップの進み具合",
     "日記のバックアップを作る間、進み具合を示します。"},
    {"Chars_note", "シフトJISにない文字のお知らせ",
     "本文やメモに、シフトJISにない文字があることを知らせます。その文字も、そのまま保存されます。"},
};

// Every window the program shows over the diary is named as it is first
// shown: the windows without tables of their own (the message boxes and
// dialogs) get their controls named from their words, labels and tool tips.
class Window_namer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* dialog = qobject_cast<QDialog*>(watched))
                Name_the_rest(*dialog);
        return false;
    }
};

}  // namespace

void Name_main_form_controls(QWidget& form)
{
    Set_accessible_texts(form, Main_form_texts);
    Name_the_rest(form);
    QCoreApplication::instance()->installEventFilter(new Window_namer(&form));
}
