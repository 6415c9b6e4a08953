// The message to tomorrow and from yesterday, on a set clock and a fresh
// program folder: what each start of the program moves, shows and writes,
// what 明日へ reads and writes, and what is kept when a write cannot be done
// or the program is killed. Message files are compared whole against bytes
// written here.

#include "app/main_form.h"
#include "dialogs/f_tomorrow.h"
#include "dialogs/f_yesterday.h"
#include "store/exact_text.h"
#include "support/diary_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <functional>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;

// The settings of a window at the design size, centred on 1920 x 1080
// pixels, with the given last run and fortune state.
QByteArray Ini(const QByteArray& last_run, const QByteArray& fortune = "mada")
{
    return ::Ini(
        {"0", "4590", "9645", "7020", "9510", "nomal", "1", "2025/12/7", last_run, fortune});
}

const QDate Day1(2026, 12, 7);

const QString Ganbaru = QStringLiteral("明日も頑張る");
const QByteArray Ganbaru_file = Hex("96 be 93 fa 82 e0 8a e6 92 a3 82 e9 0d 0a");
const QByteArray Genki_file = Hex("8c b3 8b 43 81 48 0d 0a");  // 元気？
const QByteArray Old_file = Hex("8c c3 82 a2 0d 0a");          // 古い
const QByteArray New_file = Hex("90 56 82 b5 82 a2 0d 0a");    // 新しい

const QString Greeting_title = QStringLiteral("◆◇◆ 昨日のあなたから、メッセージが届いています ◆◇◆");
const QString Tomorrow_title = QStringLiteral("◆◇◆ 明日はもっと素晴らしい日になりますように ◆◇◆");
const QString Unsaved_question =
    QStringLiteral("明日へのメッセージは、まだ保存されていません。\n"
                   "「はい」：保存して閉じます。\n"
                   "「いいえ」：保存せずに閉じます。\n"
                   "「キャンセル」：閉じずに、メッセージの画面に戻ります。");

// What the greeting showed, seen from inside its modal run.
struct Greeting {
    int count = 0;
    QString text;
    bool main_window_visible = true;
    QStringList calls;  // the platform calls up to the modal run
};

}  // namespace

Q_DECLARE_METATYPE(Platform::Answer)

class Test_messages : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    std::unique_ptr<Main_form> Start(QDate day, QTime time = QTime(9, 0, 0))
    {
        fake->now = QDateTime(day, time);
        return Diary_fixture::Start();
    }
    void Expect_greeting(Greeting& seen)
    {
        fake->Expect_modal([this, &seen](QDialog& dialog) {
            auto* greeting = qobject_cast<F_yesterday*>(&dialog);
            if (!greeting)
                return int(QDialog::Rejected);
            ++seen.count;
            seen.text = greeting->Text1->toPlainText();
            seen.main_window_visible = dialog.parentWidget()->isVisible();
            seen.calls = fake->calls;
            greeting->Command1->click();
            return dialog.result();
        });
    }
    // Opens 明日へ and plays the user's part in it; true when the window
    // closed by the end of the part.
    bool Tomorrow(Main_form& form, const std::function<void(F_tomorrow&)>& user)
    {
        bool closed = false;
        bool ran = false;
        fake->Expect_modal([&](QDialog& dialog) {
            auto* window = qobject_cast<F_tomorrow*>(&dialog);
            if (!window)
                return int(QDialog::Rejected);
            ran = true;
            QSignalSpy finished(&dialog, &QDialog::finished);
            user(*window);
            closed = finished.count() == 1;
            return dialog.result();
        });
        QTest::mouseClick(Controls_of(form).Command4, Qt::LeftButton);
        return ran && closed;
    }
    // Writes a message as the user would on the given day and ends.
    void Leave_message(QDate day, const QString& text)
    {
        auto form = Start(day, QTime(22, 0, 0));
        QVERIFY(Tomorrow(*form, [&](F_tomorrow& w) {
            w.Text1->setPlainText(text);
            w.Command1->click();
        }));
        End(*form);
    }
    static int Beeps(const QStringList& calls) { return int(calls.count(QStringLiteral("beep"))); }

    // A folder where the received message belongs refuses the hand-over.
    void Expect_hand_over_refused()
    {
        QVERIFY(QDir().mkpath(At("yesterda.txt/x")));
        fake->Expect_box(
            QStringLiteral(
                "昨日のあなたからのメッセージを受け渡せませんでした。\nファイル: %1\n"
                "理由: ファイルの場所に同じ名前のフォルダーがあります。\n\n"
                "メッセージのファイルは元のままです。受け渡しは、次に起動するときに行います。")
                .arg(At("yesterda.txt")),
            App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    // ---- A message across days ------------------------------------------

    void A_message_travels_to_the_next_start_on_a_later_day()
    {
        Start(Day1).reset();  // the first run makes the settings
        Leave_message(Day1, Ganbaru);
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Ganbaru_file);
        QVERIFY(!QFile::exists(At("yesterda.txt")));

        // Again the same day: no greeting, the message is in the upper box.
        {
            auto form = Start(Day1, QTime(23, 59, 59));
            QVERIFY(Tomorrow(*form, [](F_tomorrow& w) {
                QCOMPARE(w.Text1->toPlainText(), Ganbaru);
                QCOMPARE(w.Text2->toPlainText(), QString());
                w.reject();  // unchanged: closes without a question
            }));
            End(*form);
        }
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Ganbaru_file);

        // The next day: greeted once, with one beep, before the window shows.
        fake->calls.clear();
        Greeting seen;
        Expect_greeting(seen);
        {
            auto form = Start(Day1.addDays(1));
            QCOMPARE(seen.count, 1);
            QCOMPARE(seen.text, Ganbaru);
            QVERIFY(!seen.main_window_visible);
            QCOMPARE(Beeps(seen.calls), 1);
            QCOMPARE(seen.calls.mid(seen.calls.size() - 2),
                     QStringList({"beep", "modal:F_yesterday"}));
            QCOMPARE(Beeps(fake->calls), 1);
            QVERIFY(form->isVisible());
            QVERIFY(!QFile::exists(At("tomorrow.txt")));
            QCOMPARE(Read_bytes(At("yesterda.txt")), Ganbaru_file);
            QVERIFY(Tomorrow(*form, [](F_tomorrow& w) {
                QCOMPARE(w.Text2->toPlainText(), Ganbaru);
                QCOMPARE(w.Text1->toPlainText(), QString());
                w.Command1->click();  // empty: writes nothing
            }));
            QVERIFY(!QFile::exists(At("tomorrow.txt")));
            End(*form);
        }

        // Later that day: greeted again with the same message.
        Greeting again;
        Expect_greeting(again);
        Start(Day1.addDays(1), QTime(20, 0, 0)).reset();
        QCOMPARE(again.count, 1);
        QCOMPARE(again.text, Ganbaru);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Ganbaru_file);

        // A later day without a new message: the received one is gone.
        {
            auto form = Start(Day1.addDays(2));
            End(*form);
        }
        QCOMPARE(Entries(folder->Path()), QStringList({"2025", "2026", "sorane.ini"}));
    }

    void A_message_waits_for_the_next_start_five_days_later()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        QVERIFY(Write_bytes(At("yesterda.txt"), Old_file));
        Greeting today;
        Expect_greeting(today);
        Leave_message(Day1, QStringLiteral("新しい"));
        QCOMPARE(today.text, QStringLiteral("古い"));

        Greeting later;
        Expect_greeting(later);
        auto form = Start(Day1.addDays(5));
        QCOMPARE(later.text, QStringLiteral("新しい"));
        QCOMPARE(Read_bytes(At("yesterda.txt")), New_file);
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
        End(*form);
        QCOMPARE(Read_bytes(At("sorane.ini")).split('\n').value(8), QByteArray("2026/12/12\r"));
    }

    void A_clock_set_back_moves_nothing()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07", "sumi")));
        QVERIFY(Write_bytes(At("tomorrow.txt"), New_file));
        QVERIFY(Write_bytes(At("yesterda.txt"), Old_file));
        Greeting seen;
        Expect_greeting(seen);
        auto form = Start(QDate(2026, 12, 1));
        QCOMPARE(seen.text, QStringLiteral("古い"));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), New_file);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Old_file);
        QCOMPARE(form->Session().State().settings.fortune_state.Word(), QStringLiteral("sumi"));
        End(*form);
    }

    void A_message_file_with_an_old_time_is_not_handed_over_on_the_same_day()
    {
        // Copied in with its old time, or written under a clock set ahead:
        // the same day's start moves nothing.
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        QVERIFY(Write_bytes(At("tomorrow.txt"), New_file));
        QVERIFY(Write_bytes(At("yesterda.txt"), Old_file));
        QFile file(At("tomorrow.txt"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 11, 30), QTime(8, 0)),
                                 QFileDevice::FileModificationTime));
        file.close();
        Greeting seen;
        Expect_greeting(seen);
        auto form = Start(Day1);
        QCOMPARE(seen.text, QStringLiteral("古い"));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), New_file);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Old_file);
        End(*form);
    }

    void A_message_of_several_lines_comes_back_byte_for_byte()
    {
        Start(Day1).reset();
        // 晴れ / 雨 / (an empty last line)
        const QString text = QStringLiteral("晴れ\n雨\n");
        Leave_message(Day1, text);
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("90 b0 82 ea 0d 0a 89 4a 0d 0a 0d 0a"));
        Greeting seen;
        Expect_greeting(seen);
        auto form = Start(Day1.addDays(1));
        QCOMPARE(seen.text, text);
        QVERIFY(Tomorrow(*form, [&](F_tomorrow& w) {
            QCOMPARE(w.Text2->toPlainText(), text);
            // Passed on unchanged, it is written as it came.
            w.Command2->click();
            w.Command1->click();
        }));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("90 b0 82 ea 0d 0a 89 4a 0d 0a 0d 0a"));
        End(*form);
    }

    // ---- Kills ------------------------------------------------------------

    void A_kill_at_any_step_of_the_hand_over_loses_nothing_data()
    {
        // The files as a kill leaves them after each step of the first start
        // of 8 December: the settings are written first, then one rename.
        QTest::addColumn<QByteArray>("last_run");
        QTest::addColumn<bool>("tomorrow_left");
        QTest::addColumn<QString>("greeted_with");
        QTest::newRow("before the settings are written")
            << QByteArray("2026/12/07") << true << QStringLiteral("新しい");
        QTest::newRow("after the settings, before the rename")
            << QByteArray("2026/12/08") << true << QStringLiteral("古い");
        QTest::newRow("after the rename")
            << QByteArray("2026/12/08") << false << QStringLiteral("新しい");
    }
    void A_kill_at_any_step_of_the_hand_over_loses_nothing()
    {
        QFETCH(QByteArray, last_run);
        QFETCH(bool, tomorrow_left);
        QFETCH(QString, greeted_with);
        QVERIFY(Write_bytes(At("sorane.ini"), Ini(last_run)));
        QVERIFY(Write_bytes(At("yesterda.txt"), tomorrow_left ? Old_file : New_file));
        if (tomorrow_left)
            QVERIFY(Write_bytes(At("tomorrow.txt"), New_file));

        Greeting seen;
        Expect_greeting(seen);
        auto form = Start(QDate(2026, 12, 8));
        QCOMPARE(seen.text, greeted_with);
        if (tomorrow_left && greeted_with != QStringLiteral("新しい")) {
            // Not delivered today, but still there for the user to see and
            // delivered at the next day's start.
            QVERIFY(Tomorrow(*form, [](F_tomorrow& w) {
                QCOMPARE(w.Text1->toPlainText(), QStringLiteral("新しい"));
                w.reject();
            }));
            End(*form);
            Greeting next;
            Expect_greeting(next);
            form = Start(QDate(2026, 12, 9));
            QCOMPARE(next.text, QStringLiteral("新しい"));
        }
        QCOMPARE(Read_bytes(At("yesterda.txt")), New_file);
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
        form.reset();
    }

    void A_kill_after_the_first_start_of_a_day_does_not_repeat_the_hand_over()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07", "sumi")));
        QVERIFY(Write_bytes(At("tomorrow.txt"), New_file));
        QVERIFY(Write_bytes(At("yesterda.txt"), Old_file));
        Greeting first;
        Expect_greeting(first);
        Start(QDate(2026, 12, 8)).reset();  // killed: no orderly end
        QCOMPARE(first.text, QStringLiteral("新しい"));
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini("2026/12/08"));

        Greeting second;
        Expect_greeting(second);
        auto form = Start(QDate(2026, 12, 8), QTime(10, 0, 0));
        QCOMPARE(second.text, QStringLiteral("新しい"));
        QCOMPARE(Read_bytes(At("yesterda.txt")), New_file);
        QCOMPARE(Entries(folder->Path()),
                 QStringList({"2025", "2026", "sorane.ini", "yesterda.txt"}));
        End(*form);
    }

    void A_settings_file_that_cannot_be_written_puts_the_hand_over_off()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        QVERIFY(QFile::setPermissions(At("sorane.ini"), QFile::ReadOwner));
        QVERIFY(Write_bytes(At("tomorrow.txt"), New_file));
        QVERIFY(Write_bytes(At("yesterda.txt"), Old_file));
        fake->Expect_box(QStringLiteral("設定ファイルを保存できませんでした。\nファイル: %1\n"
                                        "理由: ファイルが読み取り専用になっています。\n\n"
                                        "メッセージの受け渡しは、次に起動するときに行います。")
                             .arg(At("sorane.ini")),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        Greeting seen;
        Expect_greeting(seen);
        auto form = Start(QDate(2026, 12, 8));
        QCOMPARE(seen.text, QStringLiteral("古い"));
        // The message not handed over is no draft of today's: 明日へ does
        // not open over it.
        fake->Expect_box(QStringLiteral("昨日のあなたからのメッセージを、まだ受け渡せていません。\n"
                                        "受け渡しが済むまで、明日へのメッセージは書けません。"
                                        "次に起動するときに、もう一度受け渡します。"),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        Controls_of(*form).Command4->click();
        form.reset();
        QCOMPARE(Read_bytes(At("tomorrow.txt")), New_file);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Old_file);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini("2026/12/07"));
    }

    void A_failed_hand_over_is_told_and_leaves_the_files()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        QVERIFY(Write_bytes(At("tomorrow.txt"), New_file));
        Expect_hand_over_refused();
        auto form = Start(QDate(2026, 12, 8));  // no greeting: no message file
        QVERIFY(form->isVisible());
        QCOMPARE(Read_bytes(At("tomorrow.txt")), New_file);
        QVERIFY(QFileInfo(At("yesterda.txt/x")).isDir());
        End(*form);

        // The obstacle gone, the next start of the same day finishes the
        // hand-over: the message is not left to be written over as a draft.
        QVERIFY(QDir(At("yesterda.txt")).removeRecursively());
        Greeting seen;
        Expect_greeting(seen);
        End(*Start(QDate(2026, 12, 8)));
        QCOMPARE(Read_bytes(At("yesterda.txt")), New_file);
        QVERIFY(!QFileInfo::exists(At("tomorrow.txt")));
        QVERIFY(!QFileInfo::exists(At(".sorane-handover")));
    }

    void A_message_rewritten_after_a_failed_hand_over_is_not_handed_over()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        QVERIFY(Write_bytes(At("tomorrow.txt"), New_file));
        Expect_hand_over_refused();
        End(*Start(QDate(2026, 12, 8)));
        QVERIFY(QDir(At("yesterda.txt")).removeRecursively());
        // Written today in 明日へ: a message for tomorrow, not from yesterday.
        QVERIFY(Write_bytes(At("tomorrow.txt"), Ganbaru_file));
        End(*Start(QDate(2026, 12, 8)));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Ganbaru_file);
        QVERIFY(!QFileInfo::exists(At("yesterda.txt")));
        QVERIFY(!QFileInfo::exists(At(".sorane-handover")));
    }

    // ---- The 明日へ window ------------------------------------------------

    void An_emptied_upper_box_withdraws_the_message()
    {
        QVERIFY(Write_bytes(At("tomorrow.txt"), Ganbaru_file));
        QVERIFY(Write_bytes(At("yesterda.txt"), Old_file));
        Greeting today;
        Expect_greeting(today);
        auto form = Start(Day1);
        QVERIFY(Tomorrow(*form, [](F_tomorrow& w) {
            QCOMPARE(w.Text1->toPlainText(), Ganbaru);
            w.Text1->clear();
            w.Command1->click();
        }));
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
        // Opened again with nothing in it, an empty box writes nothing.
        QVERIFY(Tomorrow(*form, [](F_tomorrow& w) { w.Command1->click(); }));
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
        End(*form);
        // Not delivered the next day: the old message goes, nothing comes.
        form = Start(Day1.addDays(1));
        QCOMPARE(Entries(folder->Path()), QStringList({"2025", "2026", "sorane.ini"}));
        End(*form);
    }

    void An_ending_without_a_user_keeps_the_open_message_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("rescued");
        QTest::newRow("written") << QStringLiteral("元気？") << Genki_file << QString();
        // Characters code page 932 cannot hold: substitutes in the file,
        // the exact text beside it, nothing asked.
        QTest::newRow("written exactly")
            << QStringLiteral("元気😀") << Hex("8c b3 8b 43 3f 0d 0a") << QString();
        QTest::newRow("withdrawn") << QString() << QByteArray() << QString();
    }
    void An_ending_without_a_user_keeps_the_open_message()
    {
        QFETCH(QString, message);
        QFETCH(QByteArray, file);
        QFETCH(QString, rescued);
        QVERIFY(Write_bytes(At("tomorrow.txt"), Ganbaru_file));
        auto form = Start(Day1);
        bool open_after = true;
        fake->Expect_modal([&](QDialog& dialog) {
            qobject_cast<F_tomorrow*>(&dialog)->Text1->setPlainText(message);
            // The signal comes while the window's own modal run waits.
            QTimer::singleShot(0, form.get(), [&form] { form->End_without_user(); });
            const int result = dialog.exec();
            open_after = dialog.isVisible();
            return result;
        });
        QTest::mouseClick(Controls_of(*form).Command4, Qt::LeftButton);
        QVERIFY(!open_after);
        QVERIFY(form->Ended());
        QCOMPARE(Read_bytes(At("tomorrow.txt")), file);
        QCOMPARE(QFile::exists(At("tomorrow.txt")), !file.isEmpty());
        if (!rescued.isEmpty())
            QVERIFY(
                Read_bytes(At(rescued)).endsWith(QStringLiteral("メッセージ:\n元気😀\n").toUtf8()));
        QCOMPARE(QFile::exists(At("tomorrow.utf8.txt")), message.contains(QStringLiteral("😀")));
        if (!file.isEmpty())
            QCOMPARE(Read_exact_text_file(At("tomorrow.txt")).text, message);
        QCOMPARE(form->Rescue_path(), rescued.isEmpty() ? QString() : At(rescued));
    }

    void Closing_by_the_frame_asks_before_dropping_a_changed_message_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("yes: written and closed") << Answer::Yes << true << Genki_file;
        QTest::newRow("no: closed, the earlier message kept") << Answer::No << true << Ganbaru_file;
        QTest::newRow("cancel: stays open") << Answer::Cancel << false << Ganbaru_file;
    }
    void Closing_by_the_frame_asks_before_dropping_a_changed_message()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, closed);
        QFETCH(QByteArray, file);
        QVERIFY(Write_bytes(At("tomorrow.txt"), Ganbaru_file));
        auto form = Start(Day1);
        fake->Expect_box(Unsaved_question, App_title, Icon::Question, Buttons::Yes_no_cancel,
                         answer);
        QCOMPARE(Tomorrow(*form,
                          [](F_tomorrow& w) {
                              w.Text1->setPlainText(QStringLiteral("元気？"));
                              w.reject();
                              QCOMPARE(w.Text1->toPlainText(), QStringLiteral("元気？"));
                          }),
                 closed);
        QCOMPARE(Read_bytes(At("tomorrow.txt")), file);
        End(*form);
    }

    void Characters_code_page_932_cannot_hold_are_kept_exactly()
    {
        auto form = Start(Day1);
        QVERIFY(Tomorrow(*form, [](F_tomorrow& w) {
            auto* note = w.findChild<QLabel*>(QStringLiteral("Chars_note"));
            QVERIFY(note);
            w.Text1->setPlainText(QStringLiteral("元気"));
            QVERIFY(note->isHidden());
            // Told in the window while typed, nothing asked on 終了.
            w.Text1->setPlainText(QStringLiteral("😀元気😀"));
            QVERIFY(!note->isHidden());
            QCOMPARE(note->text(), QStringLiteral("Windows版では「😀」が「?」で表示されます"));
            QVERIFY(w.Text1->geometry().contains(note->geometry().translated(w.Text1->pos())));
            w.Command1->click();
        }));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("3f 8c b3 8b 43 3f 0d 0a"));  // ?元気?
        QCOMPARE(Read_bytes(At("tomorrow.utf8.txt")), QStringLiteral("\n😀元気😀").toUtf8());
        // Opened again, the message is as typed.
        QVERIFY(Tomorrow(*form, [](F_tomorrow& w) {
            QCOMPARE(w.Text1->toPlainText(), QStringLiteral("😀元気😀"));
            w.Command1->click();
        }));
        End(*form);
        // The next day it is handed over with its exact text and greets so.
        Greeting greeting;
        Expect_greeting(greeting);
        form = Start(Day1.addDays(1));
        QCOMPARE(greeting.text, QStringLiteral("😀元気😀"));
        QVERIFY(!QFile::exists(At("tomorrow.utf8.txt")));
        QCOMPARE(Read_bytes(At("yesterda.utf8.txt")), QStringLiteral("\n😀元気😀").toUtf8());
        QVERIFY(Tomorrow(*form, [](F_tomorrow& w) {
            QCOMPARE(w.Text2->toPlainText(), QStringLiteral("😀元気😀"));
            w.Command1->click();
        }));
        End(*form);
    }

    void A_failed_write_keeps_the_window_and_the_text()
    {
        QVERIFY(Write_bytes(At("tomorrow.txt"), Ganbaru_file));
        QVERIFY(QFile::setPermissions(At("tomorrow.txt"), QFile::ReadOwner));
        auto form = Start(Day1);
        fake->Expect_box(QStringLiteral("明日へのメッセージを保存できませんでした。\nファイル: %1\n"
                                        "理由: ファイルが読み取り専用になっています。\n\n"
                                        "メッセージは画面に残っています。")
                             .arg(At("tomorrow.txt")),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        fake->Expect_box(Unsaved_question, App_title, Icon::Question, Buttons::Yes_no_cancel,
                         Answer::Cancel);
        QVERIFY(!Tomorrow(*form, [](F_tomorrow& w) {
            w.Text1->setPlainText(QStringLiteral("ごめん"));
            w.Command1->click();
            QCOMPARE(w.Text1->toPlainText(), QStringLiteral("ごめん"));
            w.reject();  // the question comes, and the user stays
        }));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Ganbaru_file);
        End(*form);
    }

    void A_message_that_cannot_be_read_is_not_offered_for_writing_over()
    {
        QVERIFY(QDir().mkpath(At("tomorrow.txt")));
        auto form = Start(Day1);
        fake->Expect_box(QStringLiteral("明日へのメッセージを読み込めませんでした。\nファイル: %1\n"
                                        "理由: ファイルの場所に同じ名前のフォルダーがあります。")
                             .arg(At("tomorrow.txt")),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        QTest::mouseClick(Controls_of(*form).Command4, Qt::LeftButton);  // no modal run follows
        QVERIFY(QFileInfo(At("tomorrow.txt")).isDir());
        End(*form);
    }

    void A_long_message_is_read_and_written_whole()
    {
        QByteArray long_file;
        while (long_file.size() < 32100)
            long_file += Hex("82 a0 0d 0a");  // あ CR LF
        QVERIFY(Write_bytes(At("tomorrow.txt"), long_file));
        QVERIFY(Write_bytes(At("yesterda.txt"), long_file));
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        Greeting seen;
        Expect_greeting(seen);
        auto form = Start(Day1);
        // "あ" and a line break each, less the final one.
        const qsizetype whole = long_file.size() / 4 * 2 - 1;
        QCOMPARE(seen.text.size(), whole);
        QVERIFY(Tomorrow(*form, [whole](F_tomorrow& w) {
            QCOMPARE(w.Text2->toPlainText().size(), whole);
            QCOMPARE(w.Text1->toPlainText().size(), whole);
            w.Text1->moveCursor(QTextCursor::Start);
            w.Text1->insertPlainText(QStringLiteral("元気？"));
            w.Command1->click();
        }));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("8c b3 8b 43 81 48") + long_file);
        QCOMPARE(Read_bytes(At("yesterda.txt")), long_file);
        End(*form);
    }

    void The_windows_look_as_designed()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        QVERIFY(Write_bytes(At("yesterda.txt"), Genki_file));
        QStringList problems;
        const auto check = [&problems](bool ok, const QString& what) {
            if (!ok)
                problems << what;
        };
        fake->Expect_modal([&](QDialog& dialog) {
            auto& g = static_cast<F_yesterday&>(dialog);
            auto& form = static_cast<Main_form&>(*dialog.parentWidget());
            const auto px = [&form](double t) { return qRound(t * Probe(form).Dpi() / 1440.0); };
            check(dialog.objectName() == "F_yesterday", "F_yesterday name");
            check(dialog.windowTitle() == Greeting_title, "F_yesterday title");
            check(dialog.isModal(), "F_yesterday modal");
            check(dialog.palette().color(QPalette::Window) == QColor(255, 255, 0), "yellow");
            // Outer 9480 x 4440 over the main window's 9510 x 7020 at 9645, 4590.
            check(dialog.pos() == QPoint(px(9660), px(5880)), "F_yesterday place");
            check(dialog.size() == QSize(px(9360), px(4005)), "F_yesterday size");
            check(g.Text1->objectName() == "Text1" &&
                      g.Text1->geometry() == QRect(0, 0, px(9375), px(3495)),
                  "F_yesterday Text1");
            check(g.Command1->objectName() == "Command1" && g.Command1->text() == "OK" &&
                      g.Command1->geometry() == QRect(px(8220), px(3540), px(1095), px(435)),
                  "F_yesterday Command1");
            check(g.Text1->font().family() == QStringLiteral("ＭＳ ゴシック") &&
                      g.Text1->font().pointSizeF() == 11.25,
                  "F_yesterday font");
            g.Command1->click();
            return dialog.result();
        });
        auto form = Start(Day1);
        const auto px = [&form](double t) { return qRound(t * Probe(*form).Dpi() / 1440.0); };
        QVERIFY(Tomorrow(*form, [&](F_tomorrow& w) {
            check(w.objectName() == "F_tomorrow", "F_tomorrow name");
            check(w.windowTitle() == Tomorrow_title, "F_tomorrow title");
            check(w.isModal(), "F_tomorrow modal");
            // Outer 9510 x 7035: top 4590 - 7.5.
            check(w.pos() == QPoint(px(9645), px(4582.5)), "F_tomorrow place");
            check(w.size() == QSize(px(9390), px(6600)), "F_tomorrow size");
            const QColor cyan(128, 255, 255);
            check(w.palette().color(QPalette::Window) == cyan, "F_tomorrow cyan");
            check(w.Label1->palette().color(QPalette::Window) == cyan &&
                      w.Label2->palette().color(QPalette::Window) == cyan,
                  "labels cyan");
            check(w.Text2->palette().color(QPalette::Text) == QColor(0, 0, 255), "Text2 blue");
            check(w.Label1->text() == "明日のあなたへのメッセージを記入して下さい。" &&
                      w.Label1->pos() == QPoint(px(2100), px(120)) &&
                      w.Label1->width() >=
                          w.Label1->fontMetrics().horizontalAdvance(w.Label1->text()),
                  "Label1");
            check(w.Label2->text() == "昨日のあなたからのメッセージです。" &&
                      w.Label2->pos() == QPoint(px(2700), px(3360)) &&
                      w.Label2->width() >=
                          w.Label2->fontMetrics().horizontalAdvance(w.Label2->text()),
                  "Label2");
            check(w.Text1->geometry() == QRect(0, px(420), px(9375), px(2775)), "Text1");
            check(w.Text2->geometry() == QRect(0, px(3660), px(9375), px(2355)), "Text2");
            check(w.Command2->text() == "↑コピー" &&
                      w.Command2->geometry() == QRect(px(7620), px(3240), px(1455), px(375)),
                  "Command2");
            check(w.Command1->text() == "終了" &&
                      w.Command1->geometry() == QRect(px(7620), px(6120), px(1455), px(375)),
                  "Command1");
            for (const char* name : {"Label1", "Text1", "Command2", "Label2", "Text2", "Command1"})
                check(w.findChild<QWidget*>(QLatin1String(name)) != nullptr, name);
            check(w.Text2->toPlainText() == "元気？", "Text2 from yesterda.txt");
            w.reject();
        }));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(", ")));
        End(*form);
    }

    // ---- Real modal runs ----------------------------------------------------

    void Copying_passes_the_received_message_on_in_a_real_window()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini("2026/12/07")));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Ganbaru_file));
        QVERIFY(Write_bytes(At("yesterda.txt"), Genki_file));
        // The greeting in a real modal run, closed by its OK button.
        QString greeted;
        fake->Expect_modal([&greeted](QDialog& dialog) {
            When_modal<F_yesterday>(&dialog, [&greeted](F_yesterday& g) {
                greeted = g.Text1->toPlainText();
                QTest::mouseClick(g.Command1, Qt::LeftButton);
            });
            return dialog.exec();
        });
        auto form = Start(Day1);
        QCOMPARE(greeted, QStringLiteral("元気？"));

        QString after_copy;
        bool focused = false;
        fake->Expect_modal([&](QDialog& dialog) {
            When_modal<F_tomorrow>(&dialog, [&](F_tomorrow& w) {
                // The window's focus, which it has whenever it is active.
                w.Command2->setFocus();
                const bool on_button = w.focusWidget() == w.Command2;
                QTest::mouseClick(w.Command2, Qt::LeftButton);
                after_copy = w.Text1->toPlainText();
                focused = on_button && w.focusWidget() == w.Text1;
                QTest::mouseClick(w.Command1, Qt::LeftButton);
            });
            return dialog.exec();
        });
        QTest::mouseClick(Controls_of(*form).Command4, Qt::LeftButton);
        QCOMPARE(after_copy, QStringLiteral("明日も頑張る元気？"));
        QVERIFY(focused);
        QCOMPARE(Read_bytes(At("tomorrow.txt")),
                 Hex("96 be 93 fa 82 e0 8a e6 92 a3 82 e9 8c b3 8b 43 81 48 0d 0a"));
        QCOMPARE(Read_bytes(At("yesterda.txt")), Genki_file);
        End(*form);
    }

    void Closing_a_real_window_by_its_frame_asks_first()
    {
        auto form = Start(Day1);
        fake->Expect_box(Unsaved_question, App_title, Icon::Question, Buttons::Yes_no_cancel,
                         Answer::No);
        bool open_after_question = false;
        fake->Expect_modal([&](QDialog& dialog) {
            When_modal<F_tomorrow>(&dialog, [&](F_tomorrow& w) {
                QTest::keyClicks(w.Text1, QStringLiteral("abc"));
                w.windowHandle()->close();
                open_after_question = w.isVisible();
            });
            return dialog.exec();
        });
        QTest::mouseClick(Controls_of(*form).Command4, Qt::LeftButton);
        QVERIFY(!open_after_question);
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
        End(*form);
    }
};

QTEST_MAIN(Test_messages)
#include "test_messages.moc"
