// The habits in the main window, on a fresh program folder and a set clock
// (21:30:15 on Monday 7 December 2026): the new day's template left alone
// and written to, as bytes on disk; the time put in at the caret; the
// weekdays beside both panels' dates.

#include "app/main_form.h"
#include "dialogs/reminder_window.h"
#include "store/own_settings.h"
#include "support/diary_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimeEdit>
#include <QtTest>

class Test_habits : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    bool Set_template(const QString& text)
    {
        return Change_own_settings(folder->Path(),
                                   [&text](Own_settings& own) { own.day_template = text; })
            .Ok();
    }
    void End(Main_form& form)
    {
        Controls_of(form).Menu_end->trigger();
        QTRY_VERIFY(form.Ended());
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    void An_untouched_template_is_not_saved_an_edited_one_is()
    {
        QVERIFY(Set_template(QStringLiteral("天気：\n気分：")));
        auto form = Start();
        QPlainTextEdit* text = Controls_of(*form).Text2;
        QCOMPARE(text->toPlainText(), QStringLiteral("天気：\n気分："));
        QCOMPARE(text->textCursor().position(), 7);
        // Leaving today and coming back shows it again, still unsaved.
        Controls_of(*form).Menu_prev_day->trigger();
        QCOMPARE(text->toPlainText(), QString());
        Controls_of(*form).Menu_today->trigger();
        QCOMPARE(text->toPlainText(), QStringLiteral("天気：\n気分："));
        // Nor is it writing to tell a fortune from.
        fake->Expect_box(QStringLiteral("この占いは、今日の日記の内容を解析して明日の運気を予測す"
                                        "るものです。\rまず、今日の日記をつけて下さい。"),
                         QStringLiteral("【ソラネ】Ver.2.0"), Platform::Icon::None,
                         Platform::Buttons::Ok, Platform::Answer::Ok);
        Controls_of(*form).Command3->click();
        End(*form);
        QVERIFY(!QFileInfo::exists(At("2026/1207.txt")));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_only);
        form.reset();

        // Written to: saved as any day, template and all.
        form = Start();
        text = Controls_of(*form).Text2;
        text->moveCursor(QTextCursor::End);
        text->insertPlainText(QStringLiteral("晴れ"));
        End(*form);
        // 天気： CR LF 気分：晴れ CR LF
        QCOMPARE(Read_bytes(At("2026/1207.txt")),
                 Hex("93 56 8b 43 81 46 0d 0a 8b 43 95 aa 81 46 90 b0 82 ea 0d 0a"));
        form.reset();

        // A written day never gets the template.
        form = Start();
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("天気：\n気分：晴れ"));
        End(*form);
    }

    void The_reminder_is_installed_then_kept_in_the_settings()
    {
        Temp_folder config;
        auto form = Start();
        Probe(*form).reminder_places = [&config, this] {
            return Reminder_places{config.Path(), "/usr/bin/sorane", folder->Path(), {}};
        };
        When_modal<Reminder_window>(form.get(), [](Reminder_window& window) {
            QVERIFY(!window.Check_on->isChecked());
            QCOMPARE(window.Time_at->time(), QTime(21, 0));
            window.Check_on->setChecked(true);
            window.Time_at->setTime(QTime(6, 45));
            window.accept();
        });
        Controls_of(*form).Menu_reminder->trigger();
        QTRY_VERIFY(Controls_of(*form).Menu_reminder->isEnabled());
        QVERIFY(
            Read_bytes(config.File("autostart/sorane-reminder.desktop")).contains("--at 06:45"));
        const Own_settings own = Read_own_settings(folder->Path()).values;
        QVERIFY(own.reminder_on);
        QCOMPARE(own.reminder_time, QStringLiteral("06:45"));
        End(*form);
    }

    void The_time_goes_in_at_the_caret()
    {
        auto form = Start();
        const Main_form_controls c = Controls_of(*form);
        QCOMPARE(c.Menu_time->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Semicolon));
        c.Text2->setPlainText(QStringLiteral("朝\n夜"));
        QTextCursor caret = c.Text2->textCursor();
        caret.setPosition(1);
        c.Text2->setTextCursor(caret);
        c.Menu_time->trigger();
        QCOMPARE(c.Text2->toPlainText(), QStringLiteral("朝21:30\n夜"));
        QCOMPARE(c.Text2->textCursor().position(), 6);
        End(*form);
    }

    void Weekdays_beside_both_dates()
    {
        auto form = Start();
        auto* diary = form->findChild<QLabel*>(QStringLiteral("Label_weekday1"));
        auto* reference = form->findChild<QLabel*>(QStringLiteral("Label_weekday2"));
        QVERIFY(diary && reference);
        QCOMPARE(diary->text(), QStringLiteral("（月）"));      // 2026/12/07
        QCOMPARE(reference->text(), QStringLiteral("（日）"));  // 2025/12/07
        Probe(*form).Show_reference_day(2024, 2, 30);
        QCOMPARE(reference->text(), QString());
        Probe(*form).Show_reference_day(2024, 2, 29);
        QCOMPARE(reference->text(), QStringLiteral("（木）"));
        Controls_of(*form).Menu_next_day->trigger();
        QCOMPARE(diary->text(), QStringLiteral("（火）"));
        End(*form);
    }
};

QTEST_MAIN(Test_habits)
#include "test_habits.moc"
