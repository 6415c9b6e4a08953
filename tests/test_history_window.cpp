// この日の履歴 as the main window runs it: three saves of a day, the window
// with the versions they kept, the marked lines, a restore with the memo and
// 思い出, a day with no history, and the question when the version replaced
// cannot be kept.

#include "dialogs/history_window.h"
#include "support/diary_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// 雨。 and 雪。 / 寒い。 as day files.
const QByteArray Rain_file = Hex("89 4a 81 42 0d 0a");
const QByteArray Snow_file = Hex("90 e1 81 42 0d 0a 8a a6 82 a2 81 42 0d 0a");
// 2026/12/070雨
const QByteArray Rain_record = Hex("32 30 32 36 2f 31 32 2f 30 37 30 89 4a 0d 0a");

}  // namespace

class Test_history_window : public QObject, Diary_fixture {
    Q_OBJECT

    // The panel as a user leaves it, saved at the time given.
    Main_form::Save_result Save(Main_form& form, const QString& text, const QString& memo,
                                bool flag, const QTime& at)
    {
        Controls_of(form).Text2->setPlainText(text);
        Controls_of(form).Text6->setText(memo);
        Controls_of(form).Check1->setChecked(flag);
        fake->now = QDateTime(QDate(2026, 12, 7), at);
        return Probe(form).Save_day(Main_form::Who::User);
    }

    // Opens この日の履歴 with body playing the user's part in the window.
    void With_history_window(Main_form& form, std::function<void(History_window&)> body)
    {
        fake->Expect_modal([body](QDialog& d) {
            auto* w = qobject_cast<History_window*>(&d);
            if (!w)
                return -1;
            d.show();
            if (!QTest::qWaitForWindowExposed(&d))
                return -1;
            body(*w);
            d.hide();
            return d.result();
        });
        Controls_of(form).Menu_history->trigger();
    }

    static int Marked(const QPlainTextEdit* edit) { return edit->extraSelections().size(); }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    void Three_versions_are_listed_and_one_is_put_back()
    {
        auto form = Start();
        QVERIFY(Controls_of(*form).Menu_file->actions().indexOf(Controls_of(*form).Menu_history) <
                Controls_of(*form).Menu_file->actions().indexOf(Controls_of(*form).Menu_end));
        QCOMPARE(Controls_of(*form).Menu_history->text(), QStringLiteral("この日の履歴"));
        using Result = Main_form::Save_result;
        QCOMPARE(Save(*form, Day_text, Day_memo, true, QTime(21, 30, 15)), Result::Saved);
        QCOMPARE(Save(*form, QStringLiteral("雨。"), Day_memo, true, QTime(21, 31, 0)),
                 Result::Saved);
        QCOMPARE(Save(*form, QStringLiteral("雪。\n寒い。"), QStringLiteral("雨"), false,
                      QTime(21, 32, 0)),
                 Result::Saved);

        fake->now = QDateTime(QDate(2026, 12, 7), QTime(21, 33, 0));
        With_history_window(*form, [&](History_window& window) {
            History_window* w = &window;
            QCOMPARE(w->windowTitle(), QStringLiteral("2026年12月7日の履歴"));
            QCOMPARE(w->List1->count(), 2);
            QCOMPARE(w->List1->item(0)->text(), QStringLiteral("2026/12/07 21:32:00　6 バイト"));
            QCOMPARE(w->List1->item(1)->text(), QStringLiteral("2026/12/07 21:31:00　20 バイト"));
            // The newest is shown at once, beside the day as it is.
            QCOMPARE(w->Old_text->toPlainText(), QStringLiteral("雨。"));
            QCOMPARE(w->Old_record->text(), QStringLiteral("メモ：散歩　思い出：あり"));
            QCOMPARE(w->Current_text->toPlainText(), QStringLiteral("雪。\n寒い。"));
            QCOMPARE(w->Current_record->text(), QStringLiteral("メモ：雨　思い出：なし"));
            QVERIFY(w->Old_text->isReadOnly() && w->Current_text->isReadOnly());
            QCOMPARE(Marked(w->Old_text), 1);
            QCOMPARE(Marked(w->Current_text), 2);
            w->List1->setCurrentRow(1);
            QCOMPARE(w->Old_text->toPlainText(), Day_text);
            QCOMPARE(Marked(w->Old_text), 2);
            w->Record_too->setChecked(true);
            w->Restore->click();
        });
        QVERIFY(fake->calls.contains(QStringLiteral("modal:History_window")));

        // The version is the day again, in the panel and on the disk; the one
        // it replaced is kept in turn.
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text6->text(), Day_memo);
        QVERIFY(Controls_of(*form).Check1->isChecked());
        QVERIFY(!Controls_of(*form).Text2->document()->isModified());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        QCOMPARE(Entries(At("history/2026/1207")),
                 QStringList({"20261207-213100.rec", "20261207-213100.txt", "20261207-213200.txt",
                              "20261207-213300.idx", "20261207-213300.txt"}));
        QCOMPARE(Read_bytes(At("history/2026/1207/20261207-213300.txt")), Snow_file);
        QCOMPARE(Read_bytes(At("history/2026/1207/20261207-213300.idx")), Rain_record);
        QCOMPARE(Read_bytes(At("history/2026/1207/20261207-213200.txt")), Rain_file);

        // Closed without 元に戻す: nothing changes.
        With_history_window(*form, [](History_window& w) {
            QCOMPARE(w.List1->count(), 3);
            w.List1->setCurrentRow(2);
            w.Close_button->click();
        });
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Entries(At("history/2026/1207")).size(), 5);
        End(*form);
    }

    void The_text_only_is_put_back_without_the_tick()
    {
        auto form = Start();
        Save(*form, Day_text, Day_memo, true, QTime(21, 30, 15));
        Save(*form, QStringLiteral("雨。"), QStringLiteral("雨"), false, QTime(21, 31, 0));
        With_history_window(*form, [](History_window& w) {
            QVERIFY(!w.Record_too->isChecked());
            w.Restore->click();
        });
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text6->text(), QStringLiteral("雨"));
        QVERIFY(!Controls_of(*form).Check1->isChecked());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Rain_record);
        End(*form);
    }

    void A_day_without_versions_is_saved_and_told()
    {
        auto form = Start();
        Write_diary_entry(*form);
        fake->Expect_box(QStringLiteral("2026年12月7日の日記には、以前の版がありません。\n"
                                        "以前の版は、書き換えた日記を保存するたびに残ります。"),
                         App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        Controls_of(*form).Menu_history->trigger();
        // The edit was saved before the history was looked at.
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QVERIFY(!fake->calls.contains(QStringLiteral("modal:History_window")));
        End(*form);
    }

    void A_version_that_cannot_be_kept_is_asked_about()
    {
        auto form = Start();
        Save(*form, Day_text, Day_memo, true, QTime(21, 30, 15));
        QVERIFY(Write_bytes(At("history"), "x"));
        const QString question =
            QStringLiteral("2026年12月7日の日記の以前の版を、履歴に残せませんでした。\n"
                           "フォルダー: %1\n"
                           "理由: フォルダーの場所に同じ名前のファイルがあります。\n\n"
                           "「はい」：履歴に残さずに保存します。以前の版は残りません。\n"
                           "「いいえ」：保存せずに、日記の画面に戻ります。")
                .arg(At("history"));
        // No: nothing written, the text stays in the panel as edited.
        fake->Expect_box(question, App_title, Platform::Icon::Exclamation,
                         Platform::Buttons::Yes_no, Platform::Answer::No);
        QCOMPARE(Save(*form, QStringLiteral("雨。"), Day_memo, true, QTime(21, 31, 0)),
                 Main_form::Save_result::Declined);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("雨。"));
        // Yes: saved without it.
        fake->Expect_box(question, App_title, Platform::Icon::Exclamation,
                         Platform::Buttons::Yes_no, Platform::Answer::Yes);
        QCOMPARE(Probe(*form).Save_day(Main_form::Who::User), Main_form::Save_result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Rain_file);
        QCOMPARE(Read_bytes(At("history")), QByteArray("x"));
        End(*form);
    }
};

QTEST_MAIN(Test_history_window)
#include "test_history_window.moc"
