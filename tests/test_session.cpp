// The diary session without any window, on a set clock: start-up with and
// without a day change, saving a day with and without characters code page
// 932 cannot hold, a day that could not be read, the ending with nobody to
// ask on a disk that fails, and the rescue file. Files are compared whole
// against bytes written here.

#include "diary/session.h"
#include "support/fake_clock.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <memory>

namespace {

const QByteArray Last_ini =
    Ini({"0", "100", "200", "7020", "9510", "nomal", "3", "2025/03/07", "2026/12/06", "sumi"});

// 晴れ。 / 散歩した。 and the memo 散歩, as saved.
const QString Day_text = QStringLiteral("晴れ。\n散歩した。");
const QByteArray Day_file_bytes =
    Hex("90 b0 82 ea 81 42 0d 0a 8e 55 95 e0 82 b5 82 bd 81 42 0d 0a");
const QByteArray Today_record_saved =
    Hex("32 30 32 36 2f 31 32 2f 30 37 31 8e 55 95 e0 0d 0a");  // 2026/12/071散歩

const Twips_rect Window{200, 100, 9510, 7020};

}  // namespace

class Test_session : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> folder;
    Fake_clock clock;
    std::unique_ptr<Diary_session> session;

    QString At(const QString& relative) const { return folder->File(relative); }

    // Start-up's data steps, as the main window runs them, with no failure.
    void Start()
    {
        QVERIFY(session->Read_today());
        QVERIFY(session->Ensure_year_folder(2026).Ok());
        QVERIFY(session->Create_this_year_index().Ok());
        Io_result error;
        session->Read_settings(Settings::First_values(4590, 9645, QStringLiteral("2026/12/07")),
                               error);
        QVERIFY(error.Ok());
        session->Load_diary_day({2026, 12, 7});
        const Diary_session::Hand_over hand_over = session->Hand_over_messages_at_start();
        QVERIFY(hand_over.settings_error.Ok());
        QVERIFY(hand_over.move_error.Ok());
        session->Finish_start();
    }

private slots:
    void init()
    {
        folder = std::make_unique<Temp_folder>();
        QVERIFY(folder->Ok());
        clock.now = QDateTime(QDate(2026, 12, 7), QTime(21, 30, 15));
        session = std::make_unique<Diary_session>(folder->Path(), clock);
    }

    void A_new_day_records_the_start_before_the_message_moves()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Last_ini));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
        QVERIFY(Write_bytes(At("yesterda.txt"), Hex("41 0d 0a")));
        Start();
        QVERIFY(session->state.new_day);
        QCOMPARE(session->state.last_run, QDate(2026, 12, 6));
        QCOMPARE(session->state.last_ref, std::optional<Panel_date>(Panel_date{2025, 3, 7}));
        QCOMPARE(session->Start_reference_day(), std::optional<Panel_date>(Panel_date{2025, 3, 7}));
        // Recorded: today's date and a new fortune; the reference date
        // keeps the very bytes it was read with.
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "100", "200", "7020", "9510", "nomal", "3",
                                                    "2025/03/07", "2026/12/07", "mada"}));
        QCOMPARE(Read_bytes(At("yesterda.txt")), Hex("82 a0 0d 0a"));
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
        QVERIFY(session->Has_received_message());
        QCOMPARE(session->state.settings.fortune_state, QStringLiteral("mada"));
        QCOMPARE(session->state.settings.last_run_date, QStringLiteral("2026/12/07"));
    }

    void The_same_day_keeps_the_message_and_the_fortune()
    {
        QByteArray today_ini = Last_ini;
        today_ini.replace("2026/12/06", "2026/12/07");
        QVERIFY(Write_bytes(At("sorane.ini"), today_ini));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
        Start();
        QVERIFY(!session->state.new_day);
        QCOMPARE(Read_bytes(At("sorane.ini")), today_ini);  // nothing to record
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("82 a0 0d 0a"));
        QVERIFY(!session->Has_received_message());
        QCOMPARE(session->state.settings.fortune_state, QStringLiteral("sumi"));
    }

    void A_date_outside_the_diary_years_is_refused()
    {
        clock.now = QDateTime(QDate(2101, 1, 1), QTime(0, 0));
        QVERIFY(!session->Read_today());
        clock.now = QDateTime(QDate(1989, 12, 31), QTime(23, 59, 59));
        QVERIFY(!session->Read_today());
        QVERIFY(Entries(folder->Path()).isEmpty());
    }

    void A_day_is_saved_once_and_only_when_edited()
    {
        Start();
        const Day_entry entry{Day_text, QStringLiteral("散歩"), true};
        Diary_session::Day_plan plan = session->Plan_day_save(entry, Diary_session::Who::User);
        QCOMPARE(plan.result, Diary_session::Save_result::Saved);
        QVERIFY(plan.unmappable.isEmpty());
        QVERIFY(!QFile::exists(At("2026/1207.txt")));  // a plan writes nothing
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        QCOMPARE(session->Loaded_day(), entry);
        // Saved: the same entry is no edit any more.
        QCOMPARE(session->Plan_day_save(entry, Diary_session::Who::User).result,
                 Diary_session::Save_result::Unchanged);
        // Text and memo both emptied: what was stored stays.
        QCOMPARE(session->Plan_day_save({}, Diary_session::Who::User).result,
                 Diary_session::Save_result::Unchanged);

        // Loaded again, it reads as written.
        session->Load_diary_day({2026, 12, 7});
        QCOMPARE(session->Loaded_day(), entry);
    }

    void Characters_shift_jis_cannot_hold()
    {
        Start();
        const Day_entry entry{QStringLiteral("𠮷野家で😀"), QStringLiteral("雪☃😀"), false};
        // With nobody to ask, nothing is written.
        Diary_session::Day_plan unattended =
            session->Plan_day_save(entry, Diary_session::Who::Nobody);
        QCOMPARE(unattended.result, Diary_session::Save_result::Failed);
        QCOMPARE(unattended.failure, Diary_session::Failure::Unstorable);
        QCOMPARE(unattended.error.step, Io_step::Encode);
        QCOMPARE(unattended.error.path, At("2026/1207.txt"));
        QCOMPARE(session->Write_day(unattended), Diary_session::Save_result::Failed);
        QVERIFY(!QFile::exists(At("2026/1207.txt")));

        // With a user, the plan names each character once, memo first.
        Diary_session::Day_plan plan = session->Plan_day_save(entry, Diary_session::Who::User);
        QCOMPARE(plan.result, Diary_session::Save_result::Saved);
        QStringList named;
        for (const Unmappable_char& c : plan.unmappable)
            named << c.character + QLatin1Char('>') + c.substitute;
        QCOMPARE(named, QStringList({"☃>?", "😀>?", "𠮷>?"}));
        // Agreed: the substitutes are written and become the day as loaded.
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("3f 96 ec 89 c6 82 c5 3f 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 90 e1 3f 3f 0d 0a"));
        QCOMPARE(session->Loaded_day(),
                 (Day_entry{QStringLiteral("?野家で?"), QStringLiteral("雪??"), false}));
    }

    void A_day_that_could_not_be_read_is_never_written_over()
    {
        QVERIFY(QDir().mkpath(At("2026/1207.txt")));  // a folder where the day file belongs
        Start();
        QVERIFY(!session->Day_readable());
        const Diary_session::Day_read read = session->Load_diary_day({2026, 12, 7});
        QVERIFY(!read.text_error.Ok());
        QCOMPARE(read.text_error.path, At("2026/1207.txt"));
        Diary_session::Day_plan plan =
            session->Plan_day_save({Day_text, {}, false}, Diary_session::Who::User);
        QCOMPARE(plan.failure, Diary_session::Failure::Unreadable_day);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Failed);
        QVERIFY(QFileInfo(At("2026/1207.txt")).isDir());
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Hex("32 30 32 36 2f 31 32 2f 30 37 30 0d 0a"));
    }

    void Ending_without_a_user_on_a_failing_disk_writes_the_rescue_file()
    {
        Start();
        session->Set_reference_date({2025, 2, 30});
        // The settings file and the day file cannot be replaced: folders
        // stand in their places.
        QVERIFY(QFile::remove(At("sorane.ini")));
        QVERIFY(QDir().mkpath(At("sorane.ini")));
        QVERIFY(QDir().mkpath(At("2026/1207.txt/x")));
        session->Load_empty_day({2026, 12, 7});
        const Day_entry entry{QStringLiteral("雪。\n寒い。"), QStringLiteral("雪"), true};
        const Diary_session::Unattended_save saved = session->Save_without_user(0, Window, entry);
        QCOMPARE(saved.day, Diary_session::Save_result::Failed);
        QCOMPARE(saved.rescue_path, At("sorane-rescue-20261207-213015.txt"));
        QCOMPARE(Read_bytes(saved.rescue_path),
                 QStringLiteral("【ソラネ】Ver.2.0 が保存できなかった日記です。\n日付: 2026/12/07\n"
                                "思い出: あり\nメモ: 雪\n本文:\n雪。\n寒い。\n")
                     .toUtf8());
        // A second rescue in the same second takes a new name.
        const Diary_session::Unattended_save again = session->Save_without_user(0, Window, entry);
        QCOMPARE(again.rescue_path, At("sorane-rescue-20261207-213015-2.txt"));
    }

    void Ending_without_a_user_saves_settings_and_day()
    {
        Start();
        session->Set_reference_date({2025, 2, 30});
        const Day_entry entry{Day_text, QStringLiteral("散歩"), true};
        const Diary_session::Unattended_save saved =
            session->Save_without_user(2, {15, 30, 9600.5, 7020}, entry);
        QCOMPARE(saved.day, Diary_session::Save_result::Saved);
        QVERIFY(saved.rescue_path.isEmpty());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        // The reference day is kept without leading zeros, 30 February too.
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"2", "30", "15", "7020", "9600.5", "nomal", "1",
                                                    "2025/2/30", "2026/12/07", "mada"}));
        QVERIFY(!QFile::exists(At("sorane-rescue-20261207-213015.txt")));
    }
};

QTEST_GUILESS_MAIN(Test_session)
#include "test_session.moc"
