// The history of each day without any window: what a save keeps of the
// version it replaces, byte for byte, under which names, when it keeps
// nothing, what a version reads back as, a restore as a save, and a history
// that cannot be written. Files are compared whole against bytes written
// here.

#include "diary/day_history.h"
#include "diary/line_diff.h"
#include "diary/session.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "support/session_fixture.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Result = Diary_session::Save_result;

// 晴れ。 / 散歩した。, 雨。 and 雪。 as day files; the memos 散歩 and 雨.
const QByteArray Fine_file = Hex("90 b0 82 ea 81 42 0d 0a 8e 55 95 e0 82 b5 82 bd 81 42 0d 0a");
const QByteArray Rain_file = Hex("89 4a 81 42 0d 0a");
const QByteArray Snow_file = Hex("90 e1 81 42 0d 0a");
// 2026/12/071散歩, 2026/12/070雨 and 2026/12/070 with CR LF.
const QByteArray Walk_record = Hex("32 30 32 36 2f 31 32 2f 30 37 31 8e 55 95 e0 0d 0a");
const QByteArray Rain_record = Hex("32 30 32 36 2f 31 32 2f 30 37 30 89 4a 0d 0a");
const QByteArray Empty_record = Hex("32 30 32 36 2f 31 32 2f 30 37 30 0d 0a");

const QString Day = QStringLiteral("history/2026/1207/");

}  // namespace

class Test_history : public QObject, private Session_fixture {
    Q_OBJECT

private:
    void Start()
    {
        Make_this_year();
        session->Load_diary_day({2026, 12, 7});
    }

    Result Save(const QString& text, const QString& memo, bool flag, const QTime& at,
                Diary_session::Who who = Diary_session::Who::User)
    {
        clock.now = QDateTime(QDate(2026, 12, 7), at);
        Diary_session::Day_plan plan = session->Plan_day_save({text, memo, flag}, who);
        return session->Write_day(plan);
    }

    // The year folder with 2026/12/07's day file holding 雨。.
    bool Rain_day_in_its_year()
    {
        return QDir().mkpath(At("2026")) && Write_bytes(At("2026/1207.txt"), Rain_file);
    }

private slots:
    void init() { Set_up(); }

    void Three_saves_keep_the_two_versions_they_replaced_byte_for_byte()
    {
        Start();
        // The first save replaces only start-up's empty record: nothing of
        // the user's is there to keep, and no folder is made.
        QCOMPARE(Save(QStringLiteral("晴れ。\n散歩した。"), QStringLiteral("散歩"), true,
                      QTime(21, 30, 15)),
                 Result::Saved);
        QVERIFY(!QFileInfo::exists(At("history")));
        QCOMPARE(Save(QStringLiteral("雨。"), QStringLiteral("散歩"), true, QTime(21, 31, 0)),
                 Result::Saved);
        QCOMPARE(Save(QStringLiteral("雪。"), QStringLiteral("雨"), false, QTime(21, 32, 0)),
                 Result::Saved);

        QCOMPARE(Entries(At(Day)), QStringList({"20261207-213100.rec", "20261207-213100.txt",
                                                "20261207-213200.txt"}));
        QCOMPARE(Read_bytes(At(Day + "20261207-213100.txt")), Fine_file);
        QCOMPARE(Read_bytes(At(Day + "20261207-213100.rec")), Walk_record);
        QCOMPARE(Read_bytes(At(Day + "20261207-213200.txt")), Rain_file);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Snow_file);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Rain_record);
        for (const QString& name : Entries(At(Day)))
            QCOMPARE(Mode_of(At(Day + name)) & 0777, 0600);

        // Newest first; the newer version has the lines of the older one,
        // which did not change between them.
        const QList<History_version> versions = session->History().Versions(2026, 12, 7);
        QCOMPARE(versions.size(), 2);
        QCOMPARE(versions[0].replaced, QDateTime(QDate(2026, 12, 7), QTime(21, 32, 0)));
        QCOMPARE(versions[0].size, Rain_file.size());
        QCOMPARE(versions[1].replaced, QDateTime(QDate(2026, 12, 7), QTime(21, 31, 0)));
        const History_read rain = session->History().Read(versions[0]);
        QVERIFY(rain.error.Ok());
        QCOMPARE(rain.text, QStringLiteral("雨。"));
        QVERIFY(rain.record_known);
        QCOMPARE(rain.memo, QStringLiteral("散歩"));
        QVERIFY(rain.flag);
        const History_read fine = session->History().Read(versions[1]);
        QCOMPARE(fine.file, Fine_file);
        QCOMPARE(fine.text, QStringLiteral("晴れ。\n散歩した。"));

        // Leaving the day unedited and coming back saves nothing and keeps
        // nothing.
        session->Load_diary_day({2026, 12, 8});
        session->Load_diary_day({2026, 12, 7});
        QCOMPARE(Save(QStringLiteral("雪。"), QStringLiteral("雨"), false, QTime(21, 33, 0)),
                 Result::Unchanged);
        QCOMPARE(session->History().Versions(2026, 12, 7).size(), 2);
    }

    void A_restore_is_a_save_that_keeps_the_current_version()
    {
        Start();
        Save(QStringLiteral("晴れ。\n散歩した。"), QStringLiteral("散歩"), true, QTime(21, 30, 15));
        Save(QStringLiteral("雪。"), QStringLiteral("雨"), false, QTime(21, 31, 0));
        const History_read old =
            session->History().Read(session->History().Versions(2026, 12, 7)[0]);
        QCOMPARE(old.file, Fine_file);
        // Put back in the same second as the save before: the new name takes
        // "-2" and the earlier one stays as it was.
        QCOMPARE(Save(old.text, old.memo, old.flag, QTime(21, 31, 0)), Result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Fine_file);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Walk_record);
        QCOMPARE(Entries(At(Day)), QStringList({"20261207-213100-2.idx", "20261207-213100-2.txt",
                                                "20261207-213100.idx", "20261207-213100.txt"}));
        QCOMPARE(Read_bytes(At(Day + "20261207-213100-2.txt")), Snow_file);
        QCOMPARE(Read_bytes(At(Day + "20261207-213100-2.idx")), Rain_record);
        QCOMPARE(Read_bytes(At(Day + "20261207-213100.txt")), Fine_file);
        const QList<History_version> versions = session->History().Versions(2026, 12, 7);
        QCOMPARE(versions.size(), 2);
        QCOMPARE(versions[0].number, 2);
        const History_read snow = session->History().Read(versions[0]);
        QCOMPARE(snow.memo, QStringLiteral("雨"));
        QVERIFY(!snow.flag);
    }

    // A day with characters Shift_JIS cannot hold keeps its exact text in
    // the history too: the save replaces the companion along with the file.
    // Two versions that differ only there are both kept.
    void A_version_keeps_its_exact_text()
    {
        Start();
        QCOMPARE(Save(QStringLiteral("晴れ😀"), QStringLiteral("誕生日🎂"), true, QTime(21, 30, 15)),
                 Result::Saved);
        QCOMPARE(Save(QStringLiteral("晴れé"), QStringLiteral("誕生日🎂"), true, QTime(21, 31, 0)),
                 Result::Saved);
        QCOMPARE(Save(QStringLiteral("雨。"), QString(), false, QTime(21, 32, 0)), Result::Saved);
        const QList<History_version> versions = session->History().Versions(2026, 12, 7);
        QCOMPARE(versions.size(), 2);
        const History_read e = session->History().Read(versions[0]);
        QCOMPARE(e.text, QStringLiteral("晴れé"));
        QCOMPARE(e.memo, QStringLiteral("誕生日🎂"));
        const History_read smile = session->History().Read(versions[1]);
        QCOMPARE(smile.text, QStringLiteral("晴れ😀"));
        QCOMPARE(smile.memo, QStringLiteral("誕生日🎂"));
        QCOMPARE(smile.file, e.file);  // the same substitutes on disk
        QVERIFY(!QFileInfo::exists(Companion_path(At("2026/1207.txt"))));
    }

    void A_kept_version_stays_when_the_day_file_is_written_in_place()
    {
        // The Windows program over a shared drive writes a day file in
        // place: the kept version must not be the same file.
        Start();
        Save(QStringLiteral("晴れ。\n散歩した。"), QStringLiteral("散歩"), true, QTime(21, 30, 15));
        Save(QStringLiteral("雨。"), QStringLiteral("散歩"), true, QTime(21, 31, 0));
        const int fd =
            ::open(QFile::encodeName(At("2026/1207.txt")).constData(), O_WRONLY | O_TRUNC);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "x", 1), ssize_t(1));
        ::close(fd);
        QCOMPARE(Read_bytes(At(Day + "20261207-213100.txt")), Fine_file);
    }

    void What_is_kept_and_what_is_not()
    {
        const Day_history history(folder->Path());
        const QDateTime now(QDate(2026, 12, 7), QTime(21, 30, 15));
        const QString day_path = At("2026/1207.txt");
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(day_path, Rain_file));
        const QByteArray walk_lines = Own_lines_of(Walk_record);
        QCOMPARE(Record_file_bytes(walk_lines), Walk_record);

        // Neither a file nor a record with a memo or a flag: nothing.
        QVERIFY(history.Keep(2026, 12, 7, day_path, {}, {}, now).path.isEmpty());
        QVERIFY(history.Keep(2026, 12, 7, day_path, {}, Own_lines_of(Empty_record), now)
                    .path.isEmpty());
        QVERIFY(!QFileInfo::exists(At("history")));

        const History_keep first = history.Keep(2026, 12, 7, day_path, Rain_file, walk_lines, now);
        QVERIFY(first.error.Ok());
        QCOMPARE(first.path, At(Day + "20261207-213015.txt"));
        // The same bytes again, a minute later: nothing new.
        const QDateTime later = now.addSecs(60);
        QVERIFY(history.Keep(2026, 12, 7, day_path, Rain_file, walk_lines, later).path.isEmpty());
        // Another record, the same text: kept, with its lines.
        QVERIFY(!history.Keep(2026, 12, 7, day_path, Rain_file, Own_lines_of(Rain_record), later)
                     .path.isEmpty());
        QCOMPARE(Read_bytes(At(Day + "20261207-213115.rec")), Rain_record);
        // A day with a memo and no file: the empty file and the lines.
        QVERIFY(QFile::remove(day_path));
        const History_keep memo_only =
            history.Keep(2026, 12, 7, day_path, {}, walk_lines, later.addSecs(60));
        QVERIFY(memo_only.error.Ok());
        QCOMPARE(Read_bytes(memo_only.path), QByteArray());
        const History_read read = history.Read(history.Versions(2026, 12, 7)[0]);
        QCOMPARE(read.text, QString());
        QCOMPARE(read.memo, QStringLiteral("散歩"));

        // A ".rec" without its ".txt" (a crash between the two) is no
        // version, and its name is not taken again.
        QVERIFY(Write_bytes(At(Day + "20261207-213415.rec"), Rain_record));
        QCOMPARE(history.Versions(2026, 12, 7).size(), 3);
        QVERIFY(Write_bytes(day_path, Snow_file));
        const History_keep after_crash =
            history.Keep(2026, 12, 7, day_path, Snow_file, walk_lines, now.addSecs(240));
        QCOMPARE(after_crash.path, At(Day + "20261207-213415-2.txt"));
        QCOMPARE(Read_bytes(At(Day + "20261207-213415.rec")), Rain_record);

        // Names that are not a version's are not listed.
        for (const char* other : {"notes.txt", "20261307-213015.txt", "20261207-213015-1.txt",
                                  "20261207-213015-x.txt", "20261207-213015.txt.bak"})
            QVERIFY(Write_bytes(At(Day + other), "x"));
        QCOMPARE(history.Versions(2026, 12, 7).size(), 4);
    }

    // Lines kept by a link to the year's old index read as lines kept in a
    // ".rec"; an index that may change under another name, or whose lines
    // are no longer those read, is not linked, and a ".rec" is written.
    void Lines_kept_by_a_link_to_the_old_index()
    {
        const Day_history history(folder->Path());
        QDateTime now(QDate(2026, 12, 7), QTime(21, 30, 15));
        const QString day_path = At("2026/1207.txt");
        const QString index_path = At("2026/keyword.txt");
        QVERIFY(Rain_day_in_its_year());
        // 2026/12/061 and 2026/12/080雪 around the day's line.
        const QByteArray others = Hex("32 30 32 36 2f 31 32 2f 30 36 31 0d 0a") +
                                  Hex("32 30 32 36 2f 31 32 2f 30 38 30 90 e1 0d 0a");
        QByteArray index = others.left(13) + Walk_record + others.mid(13);
        QVERIFY(Write_bytes(index_path, index));
        const QByteArray walk_lines = Own_lines_of(Walk_record);
        auto keep = [&](const QByteArray& file, const QByteArray& lines, const QByteArray* bytes) {
            now = now.addSecs(60);
            return history.Keep(2026, 12, 7, day_path, file, lines, now, false, {},
                                Replaced_index{index_path, bytes});
        };
        auto inode = [](const QString& path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
        };

        QVERIFY(keep(Rain_file, walk_lines, &index).error.Ok());
        const QString linked = At(Day + "20261207-213115.idx");
        QCOMPARE(Read_bytes(linked), index);
        QCOMPARE(inode(linked), inode(index_path));
        QCOMPARE(Entries(At(Day)), QStringList({"20261207-213115.idx", "20261207-213115.txt"}));
        // The same version kept by a ".rec" in another day's folder reads
        // the same.
        const History_read by_link = history.Read(history.Versions(2026, 12, 7)[0]);
        QVERIFY(history.Keep(2026, 12, 9, day_path, Rain_file, walk_lines, now).error.Ok());
        const History_read by_rec = history.Read(history.Versions(2026, 12, 9)[0]);
        QVERIFY(by_link.error.Ok() && by_link.record_known && by_rec.record_known);
        QCOMPARE(by_link.record, by_rec.record);
        QCOMPARE(by_link.memo, QStringLiteral("散歩"));
        QCOMPARE(by_link.memo, by_rec.memo);
        QVERIFY(by_link.flag && by_rec.flag);

        // The index has a second name now (the link): not linked again.
        QVERIFY(Write_bytes(day_path, Snow_file));
        QVERIFY(keep(Snow_file, Own_lines_of(Rain_record), &index).error.Ok());
        QCOMPARE(Read_bytes(At(Day + "20261207-213215.rec")), Rain_record);
        QVERIFY(!QFileInfo::exists(At(Day + "20261207-213215.idx")));
        // A single-named index whose day's lines are not those read (another
        // copy of the program replaced it since): nothing linked is left.
        QVERIFY(QFile::remove(index_path));
        QVERIFY(Write_bytes(index_path, others));
        QVERIFY(keep(Rain_file, walk_lines, &index).error.Ok());
        QCOMPARE(Read_bytes(At(Day + "20261207-213315.rec")), Walk_record);
        QVERIFY(!QFileInfo::exists(At(Day + "20261207-213315.idx")));
        // No index at all.
        QVERIFY(QFile::remove(index_path));
        QVERIFY(keep(Snow_file, Own_lines_of(Rain_record), &index).error.Ok());
        QCOMPARE(Read_bytes(At(Day + "20261207-213415.rec")), Rain_record);

        // The versions read their own lines, from ".rec" and ".idx" alike,
        // the newest without lines of its own those of the next older one.
        QVERIFY(keep(Rain_file, Own_lines_of(Rain_record), nullptr).error.Ok());
        QStringList memos;
        for (const History_version& v : history.Versions(2026, 12, 7))
            memos.append(history.Read(v).memo);
        QCOMPARE(memos, QStringList({"雨", "雨", "散歩", "雨", "散歩"}));
    }

    // With what the index's read found, the link is known as the file read
    // without reading it back; an index replaced since the read by one of
    // the same size and time, or written into, is still not linked as this
    // version's lines.
    void The_linked_index_is_the_one_read()
    {
        const Day_history history(folder->Path());
        QDateTime now(QDate(2026, 12, 7), QTime(21, 30, 15));
        const QString day_path = At("2026/1207.txt");
        const QString index_path = At("2026/keyword.txt");
        QVERIFY(Rain_day_in_its_year());
        // 2026/12/070雨雪: as long as the walk's record.
        const QByteArray rain_snow = Hex("32 30 32 36 2f 31 32 2f 30 37 30 89 4a 90 e1 0d 0a");
        QCOMPARE(rain_snow.size(), Walk_record.size());
        const time_t long_ago = ::time(nullptr) - 600;
        auto set_time = [&](const QString& file) {
            const struct timespec times[2] = {{long_ago, 123456789}, {long_ago, 123456789}};
            return ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0;
        };
        Read_status read;
        QByteArray bytes;
        auto read_index = [&] {
            bool exists = false;
            return Read_diary_file(index_path, bytes, exists, &read).Ok() && read.known;
        };
        auto keep = [&] {
            now = now.addSecs(60);
            return history.Keep(2026, 12, 7, day_path, Rain_file,
                                Day_record_in(bytes, QStringLiteral("2026/12/07")).own_lines, now,
                                false, {}, Replaced_index{index_path, &bytes, &read});
        };

        // Replaced by another copy of the program between the read and the
        // link: a new file, the same size and time.
        QVERIFY(Write_bytes(index_path, Walk_record));
        QVERIFY(set_time(index_path));
        QVERIFY(read_index());
        QVERIFY(Write_bytes(At("2026/keyword.new"), rain_snow));
        QVERIFY(set_time(At("2026/keyword.new")));
        QVERIFY(::rename(QFile::encodeName(At("2026/keyword.new")).constData(),
                         QFile::encodeName(index_path).constData()) == 0);
        QVERIFY(keep().error.Ok());
        QCOMPARE(Entries(At(Day)), QStringList({"20261207-213115.rec", "20261207-213115.txt"}));
        QCOMPARE(Read_bytes(At(Day + "20261207-213115.rec")), Walk_record);

        // Written into after the read, the same size.
        QVERIFY(read_index());
        QVERIFY(Write_bytes(index_path, Walk_record));
        QVERIFY(keep().error.Ok());
        QCOMPARE(Read_bytes(At(Day + "20261207-213215.rec")), rain_snow);
        QVERIFY(!QFileInfo::exists(At(Day + "20261207-213215.idx")));

        // The file read, unchanged: linked, and read back as its lines.
        QVERIFY(set_time(index_path));
        QVERIFY(read_index());
        QVERIFY(keep().error.Ok());
        const QString linked = At(Day + "20261207-213315.idx");
        QCOMPARE(Read_bytes(linked), Walk_record);
        struct stat a {
        }, b{};
        QVERIFY(::stat(QFile::encodeName(linked).constData(), &a) == 0 &&
                ::stat(QFile::encodeName(index_path).constData(), &b) == 0);
        QCOMPARE(a.st_ino, b.st_ino);
        const History_read newest = history.Read(history.Versions(2026, 12, 7)[0]);
        QVERIFY(newest.record_known);
        QCOMPARE(newest.memo, QStringLiteral("散歩"));
    }

    void A_history_that_cannot_be_written_stops_the_save()
    {
        Start();
        Save(QStringLiteral("晴れ。\n散歩した。"), QStringLiteral("散歩"), true, QTime(21, 30, 15));
        QVERIFY(Write_bytes(At("history"), "not a folder"));
        clock.now = QDateTime(QDate(2026, 12, 7), QTime(21, 31, 0));
        // Nobody to ask: nothing written over the old version.
        Diary_session::Day_plan plan = session->Plan_day_save(
            {QStringLiteral("雨。"), QStringLiteral("散歩"), true}, Diary_session::Who::Nobody);
        QCOMPARE(session->Write_day(plan), Result::Failed);
        QCOMPARE(plan.failure, Diary_session::Failure::History);
        QCOMPARE(plan.error.step, Io_step::Not_a_folder);
        QCOMPARE(plan.error.path, At("history"));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Fine_file);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Walk_record);
        QVERIFY(session->Edited({QStringLiteral("雨。"), QStringLiteral("散歩"), true}));
        // The user agreed to save without it.
        plan = session->Plan_day_save({QStringLiteral("雨。"), QStringLiteral("散歩"), true},
                                      Diary_session::Who::User);
        plan.without_history = true;
        QCOMPARE(session->Write_day(plan), Result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Rain_file);
        // With the history off, nothing is kept and nothing fails.
        QVERIFY(QFile::remove(At("history")));
        session->Set_keep_history(false);
        QCOMPARE(Save(QStringLiteral("雪。"), QStringLiteral("散歩"), true, QTime(21, 32, 0)),
                 Result::Saved);
        QVERIFY(!QFileInfo::exists(At("history")));
    }

    void Changed_lines_are_those_outside_a_longest_common_run()
    {
        const Changed_lines c =
            Mark_changed_lines({"a", "b", "c", "d", "e"}, {"a", "x", "c", "e", "f"});
        QCOMPARE(c.in_old, QList<bool>({false, true, false, true, false}));
        QCOMPARE(c.in_new, QList<bool>({false, true, false, false, true}));
        // A moved line counts once: kept on one side, new on the other.
        const Changed_lines moved = Mark_changed_lines({"1", "2", "3"}, {"2", "3", "1"});
        QCOMPARE(moved.in_old, QList<bool>({true, false, false}));
        QCOMPARE(moved.in_new, QList<bool>({false, false, true}));
        const Changed_lines same = Mark_changed_lines({"", "x"}, {"", "x"});
        QCOMPARE(same.in_old, QList<bool>({false, false}));
        const Changed_lines empty = Mark_changed_lines({}, {"y"});
        QCOMPARE(empty.in_new, QList<bool>({true}));
        // Repeated equal lines in the middle are matched one to one.
        const Changed_lines repeated =
            Mark_changed_lines({"s", "-", "-", "e"}, {"s", "-", "+", "-", "-", "e"});
        QCOMPARE(repeated.in_new.count(true), 2);
        QCOMPARE(repeated.in_old.count(true), 0);
    }
};

QTEST_GUILESS_MAIN(Test_history)
#include "test_history.moc"
