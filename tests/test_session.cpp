// The diary session without any window, on a set clock: start-up with and
// without a day change, saving a day with and without characters code page
// 932 cannot hold, a day that could not be read, the ending with nobody to
// ask on a disk that fails, and the rescue file. Files are compared whole
// against bytes written here.

#include "diary/program_folder.h"
#include "diary/session.h"
#include "store/day_list.h"
#include "support/session_fixture.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

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

// The same day as written meanwhile by another copy of the diary (雨。),
// and as written here (雪。).
const QByteArray Other_file_bytes = Hex("89 4a 81 42 0d 0a");
const QByteArray Own_file_bytes = Hex("90 e1 81 42 0d 0a");

}  // namespace

class Test_session : public QObject, private Session_fixture {
    Q_OBJECT

private slots:
    void init() { Set_up(); }

    void A_new_day_records_the_start_before_the_message_moves()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Last_ini));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
        QVERIFY(Write_bytes(At("yesterda.txt"), Hex("41 0d 0a")));
        Start();
        QVERIFY(session->New_day());
        QCOMPARE(session->State().last_run, QDate(2026, 12, 6));
        QCOMPARE(session->State().last_ref, std::optional<Panel_date>(Panel_date{2025, 3, 7}));
        QCOMPARE(session->Start_reference_day(), std::optional<Panel_date>(Panel_date{2025, 3, 7}));
        // Recorded: today's date and a new fortune; the reference date
        // keeps the very bytes it was read with.
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "100", "200", "7020", "9510", "nomal", "3",
                                                    "2025/03/07", "2026/12/07", "mada"}));
        QCOMPARE(Read_bytes(At("yesterda.txt")), Hex("82 a0 0d 0a"));
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
        QVERIFY(session->Has_received_message());
        QCOMPARE(session->State().settings.fortune_state.Word(), QStringLiteral("mada"));
        QCOMPARE(session->State().settings.last_run_date, QStringLiteral("2026/12/07"));
    }

    void The_same_day_keeps_the_message_and_the_fortune()
    {
        QByteArray today_ini = Last_ini;
        today_ini.replace("2026/12/06", "2026/12/07");
        QVERIFY(Write_bytes(At("sorane.ini"), today_ini));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
        Start();
        QVERIFY(!session->New_day());
        QCOMPARE(Read_bytes(At("sorane.ini")), today_ini);  // nothing to record
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("82 a0 0d 0a"));
        QVERIFY(!session->Has_received_message());
        QCOMPARE(session->State().settings.fortune_state.Word(), QStringLiteral("sumi"));
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
        // Text and memo both emptied: with nobody to ask, what was stored
        // stays; with a user, the plan is to remove it (once asked).
        QCOMPARE(session->Plan_day_save({}, Diary_session::Who::Nobody).result,
                 Diary_session::Save_result::Unchanged);
        QVERIFY(session->Plan_day_save({}, Diary_session::Who::User).remove);

        // Loaded again, it reads as written.
        session->Load_diary_day({2026, 12, 7});
        QCOMPARE(session->Loaded_day(), entry);
    }

    // A diary copied from FAT media: a save replaces the upper-case files
    // it read, puts no lower-case one beside them, and leaves an index that
    // would get its own bytes again untouched (the same file, not a copy).
    void A_save_writes_the_names_it_read_and_only_what_changed()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        const QByteArray index = "2026/12/060\r\n" + Today_record_saved;
        QVERIFY(Write_bytes(At("2026/1207.TXT"), Day_file_bytes));
        QVERIFY(Write_bytes(At("2026/KEYWORD.TXT"), index));
        Start();
        auto inode = [this](const QString& name) {
            struct stat st {};
            return ::stat(QFile::encodeName(At(name)).constData(), &st) == 0 ? st.st_ino : 0;
        };
        const ino_t index_inode = inode("2026/KEYWORD.TXT");
        QVERIFY(index_inode != 0);
        QCOMPARE(session->Loaded_day(), Day_entry({Day_text, QStringLiteral("散歩"), true}));
        const QString text = Day_text + QStringLiteral("\n雪。");
        Diary_session::Day_plan plan =
            session->Plan_day_save({text, QStringLiteral("散歩"), true}, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
        QCOMPARE(QDir(At("2026")).entryList(QDir::Files), QStringList({"1207.TXT", "KEYWORD.TXT"}));
        QCOMPARE(Read_bytes(At("2026/1207.TXT")), Day_file_bytes + Own_file_bytes);
        QCOMPARE(Read_bytes(At("2026/KEYWORD.TXT")), index);
        QCOMPARE(inode("2026/KEYWORD.TXT"), index_inode);
        // The memo changed: the index is written, under its own name.
        plan =
            session->Plan_day_save({text, QStringLiteral("雪"), false}, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
        QCOMPARE(QDir(At("2026")).entryList(QDir::Files), QStringList({"1207.TXT", "KEYWORD.TXT"}));
        QCOMPARE(Read_bytes(At("2026/KEYWORD.TXT")),
                 QByteArray("2026/12/060\r\n2026/12/070") + Hex("90 e1 0d 0a"));
        QVERIFY(inode("2026/KEYWORD.TXT") != index_inode);
        QCOMPARE(Read_bytes(At("2026/1207.TXT")), Day_file_bytes + Own_file_bytes);
        // Both versions replaced are in the history.
        QCOMPARE(session->History().Versions(2026, 12, 7).size(), 2);
    }

    void Characters_shift_jis_cannot_hold()
    {
        Start();
        const Day_entry entry{QStringLiteral("𠮷野家で😀"), QStringLiteral("雪☃😀"), false};
        // With nobody to ask, the day is saved as with a user: nothing is lost.
        Diary_session::Day_plan unattended =
            session->Plan_day_save(entry, Diary_session::Who::Nobody);
        QCOMPARE(unattended.result, Diary_session::Save_result::Saved);
        // The plan names each character once, memo first.
        QStringList named;
        for (const Unmappable_char& c : unattended.unmappable)
            named << c.character + QLatin1Char('>') + c.substitute;
        QCOMPARE(named, QStringList({"☃>?", "😀>?", "𠮷>?"}));
        QCOMPARE(session->Write_day(unattended), Diary_session::Save_result::Saved);
        // The Shift_JIS files hold the substitutes; the day stays exact.
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("3f 96 ec 89 c6 82 c5 3f 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 90 e1 3f 3f 0d 0a"));
        QCOMPARE(session->Loaded_day(), entry);
        session->Load_diary_day({2026, 12, 7});
        QCOMPARE(session->Loaded_day(), entry);
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
        const Day_entry entry{QStringLiteral("雪。\n寒い。"), QStringLiteral("雪"), true};
        const Diary_session::Unattended_save saved = session->Save_without_user({0, Window}, entry);
        QCOMPARE(saved.day, Diary_session::Save_result::Failed);
        QCOMPARE(saved.rescue_path, At("sorane-rescue-20261207-213015.txt"));
        QCOMPARE(Read_bytes(saved.rescue_path),
                 QStringLiteral("【ソラネ】Ver.2.0 が保存できなかった日記です。\n日付: 2026/12/07\n"
                                "思い出: あり\nメモ: 雪\n本文:\n雪。\n寒い。\n")
                     .toUtf8());
        // A second rescue in the same second takes a new name.
        const Diary_session::Unattended_save again = session->Save_without_user({0, Window}, entry);
        QCOMPARE(again.rescue_path, At("sorane-rescue-20261207-213015-2.txt"));
    }

    void Ending_without_a_user_saves_settings_and_day()
    {
        Start();
        session->Set_reference_date({2025, 2, 30});
        const Day_entry entry{Day_text, QStringLiteral("散歩"), true};
        const Diary_session::Unattended_save saved =
            session->Save_without_user({2, {15, 30, 9600.5, 7020}}, entry);
        QCOMPARE(saved.day, Diary_session::Save_result::Saved);
        QVERIFY(saved.rescue_path.isEmpty());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        // The reference day is kept without leading zeros, 30 February too.
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"2", "30", "15", "7020", "9600.5", "nomal", "1",
                                                    "2025/2/30", "2026/12/07", "mada"}));
        QVERIFY(!QFile::exists(At("sorane-rescue-20261207-213015.txt")));
    }

    // ---- The program folder -------------------------------------------

    void The_program_folder_is_the_executable_s_real_folder()
    {
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QByteArray root = QFile::encodeName(base.path());
        // ソラネ in Shift_JIS, as a folder copied from Windows names it.
        const QByteArray sjis = root + "/\x83\x5c\x83\x89\x83\x6c";
        QCOMPARE(::mkdir(sjis.constData(), 0700), 0);
        const int exe = ::open((sjis + "/sorane").constData(), O_CREAT | O_WRONLY, 0700);
        QVERIFY(exe >= 0);
        ::close(exe);
        const Program_folder refused = Program_folder_of(sjis + "/sorane");
        QVERIFY(!refused.nameable);
        QCOMPARE(refused.bytes, sjis);
        QVERIFY(refused.path.isEmpty());

        // A name in UTF-8, reached through a link: the real folder, with
        // one "/".
        const QString utf8 = base.path() + QStringLiteral("/ソラネ");
        QVERIFY(QDir().mkpath(utf8));
        QVERIFY(Write_bytes(utf8 + QStringLiteral("/sorane"), "x"));
        QVERIFY(QFile::link(utf8 + QStringLiteral("/sorane"), base.path() + "/link"));
        const Program_folder found = Program_folder_of(root + "/link");
        QVERIFY(found.nameable);
        QCOMPARE(found.path, utf8 + QLatin1Char('/'));
        QVERIFY(!Program_folder_of(root + "/missing").nameable);

        // The root folder: its files are "/name", never "//name", which a
        // file URL reads as a host.
        QCOMPARE(In_folder(QStringLiteral("/"), QStringLiteral("sorane.txt")),
                 QStringLiteral("/sorane.txt"));
        QCOMPARE(In_folder(QStringLiteral("/a//"), QStringLiteral("b")), QStringLiteral("/a/b"));
        QCOMPARE(Diary_store(QStringLiteral("//")).Settings_path(), QStringLiteral("/sorane.ini"));
        QCOMPARE(Diary_store(QStringLiteral("/")).Tomorrow_path(), QStringLiteral("/tomorrow.txt"));
    }

    // ---- Settings that cannot be read ----------------------------------

    void Settings_that_cannot_be_read_are_never_written_over()
    {
        // A folder stands at the settings' name, with a file in it.
        QVERIFY(QDir().mkpath(At("sorane.ini")));
        QVERIFY(Write_bytes(At("sorane.ini/keep"), "k"));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
        QVERIFY(session->Read_today());
        Io_result error;
        QCOMPARE(session->Read_settings(
                     Settings::First_values(4590, 9645, QStringLiteral("2026/12/07")), error),
                 Diary_session::Settings_start::Read_failed);
        QCOMPARE(error.step, Io_step::Not_a_file);
        QVERIFY(!session->Settings_writable());
        QCOMPARE(session->Reference_choice(), 1);
        const Diary_session::Hand_over hand_over = session->Hand_over_messages_at_start();
        QVERIFY(hand_over.settings_error.Ok());
        session->Finish_start();
        session->Record_fortune_told();
        QVERIFY(session->Save_settings({0, Window}).Ok());
        QVERIFY(session->Write_settings().Ok());
        QVERIFY(session->Save_without_user({0, Window}, {}).rescue_path.isEmpty());
        QCOMPARE(Entries(folder->Path()), QStringList({"sorane.ini", "tomorrow.txt"}));
        QCOMPARE(Entries(At("sorane.ini")), QStringList({"keep"}));
    }

    void Settings_without_read_permission_are_never_written_over()
    {
        // Permissions do not bind root: the case runs again as nobody.
        if (QString failure; Rerun_as_nobody(failure)) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        QVERIFY(Write_bytes(At("sorane.ini"), Last_ini));
        QVERIFY(QFile::setPermissions(At("sorane.ini"), QFile::WriteOwner));
        QVERIFY(session->Read_today());
        Io_result error;
        QCOMPARE(session->Read_settings(
                     Settings::First_values(4590, 9645, QStringLiteral("2026/12/07")), error),
                 Diary_session::Settings_start::Read_failed);
        QVERIFY(!session->Settings_writable());
        session->Hand_over_messages_at_start();
        session->Finish_start();
        QVERIFY(session->Save_settings({2, Window}).Ok());
        QVERIFY(QFile::setPermissions(At("sorane.ini"), QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(Read_bytes(At("sorane.ini")), Last_ini);
        QCOMPARE(Entries(folder->Path()), QStringList({"sorane.ini"}));
    }

    // ---- A day half saved ----------------------------------------------

    void A_day_file_that_cannot_be_written_after_its_index_is_told_as_such()
    {
        Start();
        QVERIFY(QDir().mkpath(At("2026/1207.txt/x")));
        const Day_entry entry{Day_text, QStringLiteral("散歩"), true};
        Diary_session::Day_plan plan = session->Plan_day_save(entry, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Failed);
        QCOMPARE(plan.failure, Diary_session::Failure::Text_only);
        QCOMPARE(plan.error.path, At("2026/1207.txt"));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        // Remembered as the files hold it: memo and flag new, text old, so
        // the text is still unsaved.
        QCOMPARE(session->Loaded_day(), (Day_entry{QString(), QStringLiteral("散歩"), true}));
        QVERIFY(session->Edited(entry));
        QVERIFY(QDir(At("2026/1207.txt")).removeRecursively());
        plan = session->Plan_day_save(entry, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
    }

    // ---- Rescue files ----------------------------------------------------

    void A_program_folder_that_refuses_the_rescue_file_sends_it_to_the_user_s_folder()
    {
        QTemporaryDir state;
        QVERIFY(state.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(state.path() + QStringLiteral("/st")));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_STATE_HOME"); });
        Start();
        const Day_entry entry{QStringLiteral("雪。"), QStringLiteral("雪"), true};
        const QString own = state.path() + QStringLiteral("/st/sorane/");
        QCOMPARE(Diary_session::User_rescue_folder(), own);

        // The place named refuses the file at the last moment.
        const Diary_session::Rescue_write moved =
            session->Write_rescue_file(At("gone/sorane-rescue-20261207-213015.txt"), entry);
        QCOMPARE(moved.path, own + QStringLiteral("sorane-rescue-20261207-213015.txt"));
        QCOMPARE(Mode_of(own.chopped(1)) & 0777, 0700);
        QVERIFY(
            Read_bytes(moved.path).contains(QStringLiteral("メモ: 雪\n本文:\n雪。\n").toUtf8()));

        // The program folder itself is gone (as good as refusing every new
        // file): the ending with nobody to ask puts the day there too.
        const QString moved_away = folder->Path().chopped(1) + QStringLiteral("-away");
        QVERIFY(QDir().rename(folder->Path(), moved_away));
        const auto back = qScopeGuard([&] { QDir().rename(moved_away, folder->Path()); });
        QVERIFY(session->New_rescue_path().startsWith(own));
        const Diary_session::Unattended_save saved = session->Save_without_user({0, Window}, entry);
        QCOMPARE(saved.day, Diary_session::Save_result::Failed);
        QCOMPARE(saved.rescue_path, own + QStringLiteral("sorane-rescue-20261207-213015-2.txt"));
    }

    void The_message_at_an_ending_without_a_user()
    {
        Start();
        // Written as the file holds it.
        Diary_session::Message_save saved =
            session->Save_message_without_user(QStringLiteral("明日も頑張る"));
        QVERIFY(saved.result.Ok());
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("96 be 93 fa 82 e0 8a e6 92 a3 82 e9 0d 0a"));
        // Characters code page 932 cannot hold: substitutes in the file,
        // the exact text beside it, nothing asked.
        saved = session->Save_message_without_user(QStringLiteral("雨😀"));
        QVERIFY(saved.result.Ok());
        QVERIFY(saved.rescue_path.isEmpty());
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("89 4a 3f 0d 0a"));
        QCOMPARE(Read_bytes(At("tomorrow.utf8.txt")), QStringLiteral("\n雨😀").toUtf8());
        // A message file that refuses the write: the message goes to a
        // rescue file, and the file stays.
        QVERIFY(QFile::setPermissions(At("tomorrow.txt"), QFile::ReadOwner));
        saved = session->Save_message_without_user(QStringLiteral("雪😀"));
        QCOMPARE(saved.result.step, Io_step::Read_only);
        QCOMPARE(saved.rescue_path, At("sorane-rescue-20261207-213015.txt"));
        QCOMPARE(Read_bytes(saved.rescue_path),
                 QStringLiteral("【ソラネ】Ver.2.0 が保存できなかった明日へのメッセージです。\n"
                                "日付: 2026/12/07\nメッセージ:\n雪😀\n")
                     .toUtf8());
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("89 4a 3f 0d 0a"));
        QVERIFY(QFile::setPermissions(At("tomorrow.txt"), QFile::ReadOwner | QFile::WriteOwner));
        // An emptied message withdraws it.
        QVERIFY(session->Save_message_without_user(QString()).result.Ok());
        QVERIFY(!QFile::exists(At("tomorrow.txt")));
    }

    // ---- The hand-over, without file times -------------------------------

    void The_hand_over_after_a_kill_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("tomorrow");
        QTest::addColumn<QByteArray>("yesterday_after");
        QTest::addColumn<bool>("tomorrow_after");
        // Killed after the settings, before the plan: it is finished now.
        QTest::newRow("move due") << QByteArray("2026/12/07 move\r\n") << true << Hex("82 a0 0d 0a")
                                  << false;
        QTest::newRow("drop due") << QByteArray("2026/12/07 drop\r\n") << false << QByteArray()
                                  << false;
        // Killed after the move: nothing moves twice.
        QTest::newRow("moved already")
            << QByteArray("2026/12/07 move\r\n") << false << Hex("41 0d 0a") << false;
        // No record: a message in "tomorrow.txt" is today's, whatever its
        // file time says.
        QTest::newRow("no record, old file time")
            << QByteArray() << true << Hex("41 0d 0a") << true;
        // A record of another day is no hand-over due today.
        QTest::newRow("record of another day")
            << QByteArray("2026/12/06 move\r\n") << true << Hex("41 0d 0a") << true;
    }
    void The_hand_over_after_a_kill()
    {
        QFETCH(QByteArray, record);
        QFETCH(bool, tomorrow);
        QFETCH(QByteArray, yesterday_after);
        QFETCH(bool, tomorrow_after);
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"0", "100", "200", "7020", "9510", "nomal", "3",
                                                   "2025/03/07", "2026/12/07", "sumi"})));
        QVERIFY(Write_bytes(At("yesterda.txt"), Hex("41 0d 0a")));
        if (tomorrow) {
            QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
            QFile file(At("tomorrow.txt"));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 6), QTime(22, 0)),
                                     QFileDevice::FileModificationTime));
        }
        if (!record.isEmpty())
            QVERIFY(Write_bytes(At(".sorane-handover"), record));
        Start();
        QVERIFY(!session->New_day());
        QCOMPARE(Read_bytes(At("yesterda.txt")), yesterday_after);
        QCOMPARE(QFile::exists(At("yesterda.txt")), !yesterday_after.isEmpty());
        QCOMPARE(QFile::exists(At("tomorrow.txt")), tomorrow_after);
        QCOMPARE(QFile::exists(At(".sorane-handover")), record.startsWith("2026/12/06"));
    }

    void A_pipe_or_link_as_the_hand_over_record_is_not_read()
    {
        // The start of a day already begun reads the record: a pipe there
        // would wait for a writer for ever, a link would be followed.
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"0", "100", "200", "7020", "9510", "nomal", "3",
                                                   "2025/03/07", "2026/12/07", "sumi"})));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
        QVERIFY(Write_bytes(At("elsewhere"), "2026/12/07 move\r\n"));
        QVERIFY(::mkfifo(QFile::encodeName(At(".sorane-handover")).constData(), 0600) == 0);
        Start();
        QVERIFY(QFile::exists(At("tomorrow.txt")));
        QVERIFY(QFile::remove(At(".sorane-handover")));
        QVERIFY(QFile::link(At("elsewhere"), At(".sorane-handover")));
        Start();
        QVERIFY(QFile::exists(At("tomorrow.txt")));  // the linked plan is not carried out
    }

    void A_new_day_leaves_no_record_behind()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Last_ini));
        QVERIFY(Write_bytes(At("tomorrow.txt"), Hex("82 a0 0d 0a")));
        QVERIFY(Write_bytes(At(".sorane-handover"), "2026/12/06 move\r\n"));
        Start();
        QCOMPARE(Entries(folder->Path()), QStringList({"2026", "sorane.ini", "yesterda.txt"}));
    }

    // ---- A day changed elsewhere ---------------------------------------

    // 7 December saved and loaded; another copy of the diary then writes
    // 雨。 into its file. Returns the plan of saving 雪。 over it.
    Diary_session::Day_plan Plan_over_a_changed_day(const Day_entry& mine)
    {
        QDir().mkpath(At("2026"));
        Write_bytes(At("2026/1207.txt"), Day_file_bytes);
        Write_bytes(At("2026/keyword.txt"), Today_record_saved);
        Start();
        Write_bytes(At("2026/1207.txt"), Other_file_bytes);
        return session->Plan_day_save(mine, Diary_session::Who::User);
    }

    void A_day_changed_on_disk_is_never_written_over_unasked_data()
    {
        QTest::addColumn<int>("keep");
        QTest::newRow("back to the text") << int(Diary_session::Keep::Undecided);
        QTest::newRow("the files' version") << int(Diary_session::Keep::Disk);
        QTest::newRow("the panel's version") << int(Diary_session::Keep::Mine);
    }
    void A_day_changed_on_disk_is_never_written_over_unasked()
    {
        QFETCH(int, keep);
        const QString copy = At("2026/1207.conflict-20261207-213015.txt");
        Diary_session::Day_plan plan =
            Plan_over_a_changed_day({QStringLiteral("雪。"), QStringLiteral("散歩"), true});
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Changed_on_disk);
        QCOMPARE(plan.disk_entry,
                 (Day_entry{QStringLiteral("雨。"), QStringLiteral("散歩"), true}));
        QCOMPARE(plan.conflict_copy, copy);
        plan.keep = Diary_session::Keep(keep);
        const bool mine = plan.keep == Diary_session::Keep::Mine;
        if (plan.keep != Diary_session::Keep::Undecided) {
            QCOMPARE(session->Write_day(plan), mine ? Diary_session::Save_result::Saved
                                                    : Diary_session::Save_result::Unchanged);
            // Same memo and flag: the copy is the other version's day file.
            QCOMPARE(Read_bytes(copy), mine ? Other_file_bytes : Own_file_bytes);
            QCOMPARE(session->Loaded_day().text,
                     mine ? QStringLiteral("雪。") : QStringLiteral("雨。"));
        } else {
            QCOMPARE(Entries(At("2026")), QStringList({"1207.txt", "keyword.txt"}));
        }
        QCOMPARE(Read_bytes(At("2026/1207.txt")), mine ? Own_file_bytes : Other_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
    }

    void With_nobody_to_ask_both_versions_of_a_changed_day_are_kept()
    {
        const Day_entry mine{QStringLiteral("雪。"), QStringLiteral("雪"), false};
        Plan_over_a_changed_day(mine);
        const Diary_session::Unattended_save saved = session->Save_without_user({0, Window}, mine);
        QCOMPARE(saved.day, Diary_session::Save_result::Unchanged);
        QVERIFY(saved.rescue_path.isEmpty());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Other_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        // The memo and flag differ from those kept: they head the copy.
        QCOMPARE(Read_bytes(At("2026/1207.conflict-20261207-213015.txt")),
                 Hex("83 81 83 82 81 46 90 e1 0d 0a"                       // メモ：雪
                     "8e 76 82 a2 8f 6f 81 46 82 c8 82 b5 0d 0a 0d 0a") +  // 思い出：なし
                     Own_file_bytes);
        // The day stays as loaded: a save with a user there asks again.
        Diary_session::Day_plan plan = session->Plan_day_save(mine, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Changed_on_disk);
        QCOMPARE(plan.conflict_copy, At("2026/1207.conflict-20261207-213015-2.txt"));
    }

    void A_memo_changed_on_disk_is_caught_and_other_days_records_survive()
    {
        const Day_entry mine{QStringLiteral("雨。"), QStringLiteral("散歩"), true};
        Diary_session::Day_plan plan = Plan_over_a_changed_day(mine);
        // Another copy adds 8 December: its record stays.
        const QByteArray eighth = Hex("32 30 32 36 2f 31 32 2f 30 38 31 94 83 82 a2 95 a8 0d 0a");
        QVERIFY(Write_bytes(At("2026/keyword.txt"), Today_record_saved + eighth));
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);  // the same text
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved + eighth);
        // Then it gives this day the memo 雨 without the flag.
        QVERIFY(Write_bytes(At("2026/keyword.txt"),
                            Hex("32 30 32 36 2f 31 32 2f 30 37 30 89 4a 0d 0a") + eighth));
        plan = session->Plan_day_save({QStringLiteral("雪。"), QStringLiteral("散歩"), true},
                                      Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Changed_on_disk);
        plan.keep = Diary_session::Keep::Mine;
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved + eighth);
        QCOMPARE(
            Read_bytes(At("2026/1207.conflict-20261207-213015.txt")),
            Hex("83 81 83 82 81 46 89 4a 0d 0a 8e 76 82 a2 8f 6f 81 46 82 c8 82 b5 0d 0a 0d 0a") +
                Other_file_bytes);
    }

    void Conflict_copies_are_never_read_as_days_or_indexes()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        const QStringList copies{"1207 (conflicted copy 2026-12-07).txt", "1207 (1).txt",
                                 "1207.conflict-20261206-080000.txt",
                                 "1207.sync-conflict-20261207-101010-ABCDEFG.txt",
                                 "1207_conflict-20261207-101010.txt"};
        for (const QString& name : copies + QStringList{"12071.txt", "keyword (1).txt"})
            QVERIFY(Write_bytes(At("2026/" + name), Hex("32 30 32 36 2f 31 32 2f 30 37 30 0d 0a")));
        Start();
        QCOMPARE(session->Loaded_day(), Day_entry{});
        const Day_list_read listed = Read_day_list(folder->Path(), QStringLiteral("2026"),
                                                   [](const QString&) { return true; });
        QCOMPARE(listed.records.size(), 1);  // the one record start-up made
        QStringList expected = copies;
        expected.sort();
        for (QString& name : expected)
            name.prepend("2026/");
        QCOMPARE(session->Other_versions({2026, 12, 7}), expected);
        QCOMPARE(session->Other_versions({2026, 12, 8}), QStringList());
    }
};

QTEST_GUILESS_MAIN(Test_session)
#include "test_session.moc"
