// The diary written out as UTF-8 files: each format's whole bytes for a
// small diary written here as Shift_JIS bytes, a range with 29 February, a
// day that cannot be read, the exact text beside a day, a cancel, the
// diary folder refused, and the command line run for real.

#include "diary/export.h"
#include "store/exact_text.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>

namespace {

QByteArray Utf8(const char* text) { return QByteArray(text); }

// The files an export wrote, its record apart.
QMap<QString, QByteArray> Exported(const QString& root)
{
    QMap<QString, QByteArray> tree = File_tree(root);
    tree.remove(QString::fromLatin1(Export_record_name));
    return tree;
}

// The program run without a display; its exit code, stderr in err.
int Run_program(const QString& program, const QStringList& arguments, QString* err = nullptr)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return -1;
    if (err)
        *err = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode();
}

const QByteArray Json_expected = "{\n"
                                 "  \"tags\": {},\n"
                                 "  \"entries\": [\n"
                                 "    {\n"
                                 "      \"title\": \"傘\",\n"
                                 "      \"body\": \"雨\",\n"
                                 "      \"date\": \"2025-12-31\",\n"
                                 "      \"time\": \"00:00\",\n"
                                 "      \"tags\": [],\n"
                                 "      \"starred\": true,\n"
                                 "      \"memo\": \"傘\"\n"
                                 "    },\n"
                                 "    {\n"
                                 "      \"title\": \"晴れ。\",\n"
                                 "      \"body\": \"晴れ。\\n散歩した。\",\n"
                                 "      \"date\": \"2026-01-02\",\n"
                                 "      \"time\": \"00:00\",\n"
                                 "      \"tags\": [],\n"
                                 "      \"starred\": false,\n"
                                 "      \"memo\": \"\"\n"
                                 "    },\n"
                                 "    {\n"
                                 "      \"title\": \"休み\",\n"
                                 "      \"body\": \"\",\n"
                                 "      \"date\": \"2026-01-03\",\n"
                                 "      \"time\": \"00:00\",\n"
                                 "      \"tags\": [],\n"
                                 "      \"starred\": false,\n"
                                 "      \"memo\": \"休み\"\n"
                                 "    },\n"
                                 "    {\n"
                                 "      \"title\": \"\\\"\\\\\\ta\",\n"
                                 "      \"body\": \"\\\"\\\\\\ta\\nb\",\n"
                                 "      \"date\": \"2026-01-05\",\n"
                                 "      \"time\": \"00:00\",\n"
                                 "      \"tags\": [],\n"
                                 "      \"starred\": false,\n"
                                 "      \"memo\": \"\"\n"
                                 "    }\n"
                                 "  ]\n"
                                 "}\n";

}  // namespace

class Test_export : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> diary;
    std::unique_ptr<Temp_folder> out;
    bool Put(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(diary->File(relative)).absolutePath());
        return Write_bytes(diary->File(relative), bytes);
    }
    // 2025/12/31: 雨 with memo 傘 and the memory flag; 2026/01/02: 晴れ。 and
    // 散歩した。, no record; 2026/01/03: memo 休み only; 2026/01/04: a record
    // holding nothing (left out).
    void Small_diary()
    {
        QVERIFY(Put("2025/1231.txt", Hex("89 4a 0d 0a")));
        QVERIFY(Put("2025/keyword.txt", Hex("32 30 32 35 2f 31 32 2f 33 31 31 8e 50 0d 0a")));
        QVERIFY(Put("2026/0102.TXT", Hex("90 b0 82 ea 81 42 0d 0a 8e 55 95 e0 82 b5 82 bd 81 42")));
        QVERIFY(Put("2026/keyword.txt", Hex("32 30 32 36 2f 30 31 2f 30 33 30 8b 78 82 dd 0d 0a"
                                            "32 30 32 36 2f 30 31 2f 30 34 30 0d 0a")));
    }
    Export_report Export(Export_format format, const Export_range& range = {})
    {
        Diary_store store(diary->Path());
        return Run_export(store, format, out->Path(), range);
    }

private slots:
    void init()
    {
        diary = std::make_unique<Temp_folder>();
        out = std::make_unique<Temp_folder>();
        QVERIFY(diary->Ok() && out->Ok());
    }

    void Markdown_is_one_file_a_year_with_heading_mark_memo_and_text()
    {
        Small_diary();
        const auto before = File_tree(diary->Path());
        const Export_report report = Export(Export_format::Markdown);
        QVERIFY(report.Ok());
        QCOMPARE(report.days, 3);
        QCOMPARE(report.files, 2);
        QCOMPARE(Exported(out->Path()),
                 (QMap<QString, QByteArray>{
                     {"2025.md",
                      Utf8("# 2025年\n\n## 2025年12月31日（水） ★思い出\n\nメモ：傘\n\n雨\n")},
                     {"2026.md", Utf8("# 2026年\n\n## 2026年1月2日（金）\n\n晴れ。\n散歩した。\n"
                                      "\n## 2026年1月3日（土）\n\nメモ：休み\n")}}));
        QCOMPARE(File_tree(diary->Path()), before);
        QCOMPARE(Export_summary(report),
                 QStringLiteral("3 日分を 2 個のファイルに書き出しました。"));
    }

    void Markdown_and_html_link_copies_of_the_days_photos_and_json_lists_them()
    {
        Small_diary();
        const QByteArray jpg = Hex("ff d8 ff e0 00 10 4a 46 49 46");
        const QByteArray png = Hex("89 50 4e 47 0d 0a 1a 0a");
        const QString a = "photos/2026/0102/20260102-101010-0000000a-a.jpg";
        const QString b = "photos/2026/0102/20260102-101011-0000000b-b b.png";
        QVERIFY(Put(a, jpg) && Put(b, png));
        // A day that holds nothing but a picture is no day of the export.
        QVERIFY(Put("photos/2026/0110/20260110-000000-00000000-c.jpg", jpg));

        QVERIFY(Export(Export_format::Markdown).Ok());
        QCOMPARE(Read_bytes(out->File("2026.md")),
                 QStringLiteral("# 2026年\n\n## 2026年1月2日（金）\n\n晴れ。\n散歩した。\n\n"
                                "![20260102-101010-0000000a-a.jpg](%1)\n"
                                "![20260102-101011-0000000b-b b.png]"
                                "(photos/2026/0102/20260102-101011-0000000b-b%20b.png)\n"
                                "\n## 2026年1月3日（土）\n\nメモ：休み\n")
                     .arg(a)
                     .toUtf8());
        QCOMPARE(Read_bytes(out->File(a)), jpg);
        QCOMPARE(Read_bytes(out->File(b)), png);
        QVERIFY(!QFileInfo::exists(out->File("photos/2026/0110")));
        QCOMPARE(Mode_of(out->File(a)) & 0777, 0600);
        QCOMPARE(Mode_of(out->File("photos/2026/0102")) & 0777, 0700);
        // Exported again, the copies are the export's own and are replaced.
        QVERIFY(Export(Export_format::Markdown).Ok());

        QVERIFY(Export(Export_format::Html).Ok());
        QVERIFY(Read_bytes(out->File("2026.html"))
                    .contains(QStringLiteral("<p class=\"photo\"><img src=\"%1\" "
                                             "alt=\"20260102-101010-0000000a-a.jpg\"></p>\n")
                                  .arg(a)
                                  .toUtf8()));

        QVERIFY(Export(Export_format::Json).Ok());
        QVERIFY(Read_bytes(out->File("diary.json"))
                    .contains(QStringLiteral("      \"memo\": \"\",\n      \"photos\": [\"%1\", "
                                             "\"%2\"]\n    }")
                                  .arg(a, b)
                                  .toUtf8()));
    }

    void Html_escapes_the_text_and_carries_its_own_style()
    {
        QVERIFY(Put("2026/1209.txt", Hex("3c 62 3e 26 22 0d 0a")));  // <b>&"
        QVERIFY(Put("2026/keyword.txt", Hex("32 30 32 36 2f 31 32 2f 30 39 31 3c 3e 0d 0a")));
        QVERIFY(Export(Export_format::Html).Ok());
        const QByteArray html = Read_bytes(out->File("2026.html"));
        const QByteArray head =
            Utf8("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
                 "<title>2026年の日記</title>\n<style>\n");
        const QByteArray body =
            Utf8("</style>\n</head>\n<body>\n<h1>2026年</h1>\n<section>\n"
                 "<h2>2026年12月9日（水）<span class=\"memory\">★思い出</span></h2>\n"
                 "<p class=\"memo\">メモ：&lt;&gt;</p>\n"
                 "<div class=\"text\">&lt;b&gt;&amp;&quot;</div>\n</section>\n</body>\n</html>\n");
        QVERIFY2(html.startsWith(head), html.constData());
        QVERIFY2(html.endsWith(body), html.constData());
        // The style sheet between them keeps the text's line breaks.
        const QByteArray style = html.mid(head.size(), html.size() - head.size() - body.size());
        QVERIFY(style.contains(".text { white-space: pre-wrap; }\n"));
        QCOMPARE(Exported(out->Path()).keys(), QStringList{"2026.html"});
    }

    void Json_holds_every_day_as_an_entry_with_title_body_date_and_star()
    {
        Small_diary();
        // A quote, a backslash and a tab in the text.
        QVERIFY(Put("2026/0105.txt", Hex("22 5c 09 61 0d 0a 62 0d 0a")));
        QVERIFY(Export(Export_format::Json).Ok());
        QCOMPARE(Exported(out->Path()), (QMap<QString, QByteArray>{{"diary.json", Json_expected}}));
    }

    void Plain_text_is_one_utf8_file_a_day_with_lf()
    {
        Small_diary();
        const Export_report report = Export(Export_format::Text);
        QVERIFY(report.Ok());
        QCOMPARE(Exported(out->Path()),
                 (QMap<QString, QByteArray>{{"2025", "<dir>"},
                                            {"2025/1231.txt", Utf8("雨\n")},
                                            {"2026", "<dir>"},
                                            {"2026/0102.txt", Utf8("晴れ。\n散歩した。\n")}}));
    }

    void A_range_holds_its_ends_and_29_February()
    {
        for (const char* name : {"0228", "0229", "0301", "0302"})
            QVERIFY(Put(QStringLiteral("2024/%1.txt").arg(name), QByteArray(name) + "\r\n"));
        QVERIFY(Put("2023/0301.txt", "2023\r\n"));
        QVERIFY(Put("2025/0301.txt", "2025\r\n"));
        QVERIFY(Export(Export_format::Markdown, {QDate(2024, 2, 29), QDate(2024, 3, 1)}).Ok());
        QCOMPARE(Exported(out->Path()),
                 (QMap<QString, QByteArray>{
                     {"2024.md", Utf8("# 2024年\n\n## 2024年2月29日（木）\n\n0229\n"
                                      "\n## 2024年3月1日（金）\n\n0301\n")}}));
    }

    void A_day_that_cannot_be_read_is_named_and_the_rest_exported()
    {
        Small_diary();
        QVERIFY(QDir().mkpath(diary->File("2026/0101.txt")));  // a folder where the day's file is
        const Export_report report = Export(Export_format::Markdown);
        QVERIFY(!report.Ok());
        QVERIFY(report.error.Ok());
        QCOMPARE(report.unreadable_days, QStringList{"2026/01/01"});
        QCOMPARE(report.days, 3);
        QVERIFY(Read_bytes(out->File("2026.md")).contains(Utf8("散歩した。")));
        QVERIFY(!Read_bytes(out->File("2026.md")).contains(Utf8("1月1日")));
        QVERIFY(Export_summary(report).contains(
            QStringLiteral("読めなかった日（書き出していません）: 2026/01/01")));
    }

    void A_year_folder_that_cannot_be_listed_is_named_and_the_rest_exported()
    {
        if (QString failure; Rerun_as_nobody(failure)) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        Small_diary();
        QVERIFY(QFile::setPermissions(diary->File("2025"), QFileDevice::Permissions()));
        const Export_report report = Export(Export_format::Markdown);
        QFile::setPermissions(diary->File("2025"), QFileDevice::ReadOwner |
                                                       QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner);
        QVERIFY(!report.Ok());
        QCOMPARE(report.days, 2);
        QVERIFY(!QFile::exists(out->File("2025.md")));
        QVERIFY(QFile::exists(out->File("2026.md")));
        QVERIFY2(Export_summary(report).contains(
                     QStringLiteral("中を読めなかった年のフォルダー（書き出していません）: %1")
                         .arg(QDir::toNativeSeparators(diary->File("2025")))),
                 qPrintable(Export_summary(report)));
    }

    void Markdown_keeps_stray_bytes_and_line_ends_as_the_day_file_has_them()
    {
        // A stray lead byte before a line end and cut off at the end, CR of
        // its own before CR LF and at the end, 30 February; the year beside
        // holds a companion, so its days are read the exact way.
        QVERIFY(Put("2024/0101.txt", Hex("82 0d 0a 82")));
        QVERIFY(Put("2024/0230.txt", Hex("41 0d 0d 0a 42 0d")));
        QVERIFY(Put("2024/keyword.txt", Hex("32 30 32 34 2f 30 31 2f 30 31 31 78 0d 0a")));
        QVERIFY(Put("2025/0301.txt", Hex("41 0d 0d 0a 42 0d")));
        QVERIFY(Put("2025/0302.txt", Hex("3f 0d 0a")));
        QVERIFY(Write_bytes(Companion_path(diary->File("2025/0302.txt")),
                            Companion_bytes({QString(), QStringLiteral("😀")})));
        QVERIFY(Export(Export_format::Markdown).Ok());
        QCOMPARE(
            Exported(out->Path()),
            (QMap<QString, QByteArray>{
                {"2024.md", Utf8("# 2024年\n\n## 2024年1月1日（月） ★思い出\n\nメモ：x\n\n"
                                 "\xef\x9e\x82\n\xef\x9e\x82\n\n## 2024年2月30日\n\nA\r\nB\n")},
                {"2025.md", Utf8("# 2025年\n\n## 2025年3月1日（土）\n\nA\r\nB\n"
                                 "\n## 2025年3月2日（日）\n\n😀\n")}}));
    }

    void The_exact_text_beside_a_day_is_exported()
    {
        Diary_store store(diary->Path());
        const QString text = QStringLiteral("空が青い😀\n𠮷野家");
        QVERIFY(store.Ensure_year_folder(2026).Ok());
        const QString path = store.Day_file_path(2026, 12, 9);
        QVERIFY(store.Write_text_file(path, text, Unmappable_policy::Substitute).Ok());
        const QString memo = QStringLiteral("誕生日🎂");
        QVERIFY(store
                    .Store_day_record(2026, QStringLiteral("2026/12/09"), true, memo,
                                      Unmappable_policy::Substitute)
                    .Ok());
        QVERIFY(Write_bytes(Companion_path(path), Companion_bytes({memo, text})));
        QVERIFY(Export(Export_format::Text).Ok());
        QCOMPARE(Read_bytes(out->File("2026/1209.txt")), text.toUtf8() + '\n');
        QVERIFY(Export(Export_format::Markdown).Ok());
        QCOMPARE(Read_bytes(out->File("2026.md")),
                 Utf8("# 2026年\n\n## 2026年12月9日（水） ★思い出\n\nメモ：誕生日🎂\n\n"
                      "空が青い😀\n𠮷野家\n"));
    }

    void A_cancel_leaves_no_file()
    {
        Small_diary();
        Diary_store store(diary->Path());
        int calls = 0;
        const Export_report report =
            Run_export(store, Export_format::Markdown, out->Path(), {}, [&](int done, int total) {
                ++calls;
                return !(done == 0 && total == 3);
            });
        QVERIFY(report.cancelled);
        QCOMPARE(calls, 1);
        QVERIFY(Entries(out->Path()).isEmpty());
    }

    void A_folder_inside_the_diary_is_refused()
    {
        QVERIFY(Export_refusal(diary->Path(), diary->File("2026"))
                    .startsWith(QStringLiteral("日記のフォルダーの中には書き出せません。")));
        QVERIFY(!Export_refusal(diary->Path(), diary->File("new/deeper")).isEmpty());
        QVERIFY(!Export_refusal(diary->Path(), diary->Path()).isEmpty());
        QVERIFY(Export_refusal(diary->Path(), out->File("new")).isEmpty());
    }

    void The_command_line_writes_the_files_without_a_window()
    {
        Small_diary();
        QString err;
        const auto run = [&err](const QStringList& arguments) {
            return Run_program(QStringLiteral(SORANE_EXE), arguments, &err);
        };
        const QString target = out->File("made/here/");
        QCOMPARE(
            run({"--export", "markdown", target, "--from", "2026/01/01", "--diary", diary->Path()}),
            0);
        QCOMPARE(Exported(target),
                 (QMap<QString, QByteArray>{
                     {"2026.md", Utf8("# 2026年\n\n## 2026年1月2日（金）\n\n"
                                      "晴れ。\n散歩した。\n\n## 2026年1月3日（土）"
                                      "\n\nメモ：休み\n")}}));
        QCOMPARE(run({"--export", "pdf", target, "--diary", diary->Path()}), 2);
        QVERIFY(err.contains("markdown、html、json、text"));
        QCOMPARE(run({"--export", "json", diary->File("2026"), "--diary", diary->Path()}), 2);
        QVERIFY(!QFileInfo::exists(diary->File("2026/diary.json")));
        QVERIFY(QDir().mkpath(diary->File("2026/0101.txt")));
        QCOMPARE(run({"--export", "text", target, "--diary", diary->Path()}), 2);
        QVERIFY(err.contains("2026/01/01"));
        QCOMPARE(Read_bytes(target + "2026/0102.txt"), Utf8("晴れ。\n散歩した。\n"));
    }

    void Another_diary_and_files_the_export_did_not_make_are_never_written_over()
    {
        Small_diary();
        const QString exe = QStringLiteral(SORANE_EXE);
        const QStringList from_diary{"--diary", diary->Path()};
        Temp_folder other;
        QVERIFY(Write_bytes(other.File("sorane.ini"), "x\r\n") &&
                QDir().mkpath(other.File("2026")));
        QVERIFY(Write_bytes(other.File("2026/0102.txt"), Hex("82 a0 0d 0a")));
        auto before = File_tree(other.Path());
        QString err;
        QCOMPARE(Run_program(exe, QStringList{"--export", "text", other.Path()} + from_diary, &err),
                 2);
        QVERIFY2(err.startsWith("書き出し先のフォルダーには、別の日記があります。"),
                 qPrintable(err));
        QCOMPARE(File_tree(other.Path()), before);
        // Its year folders alone are a diary too, --force or not.
        QVERIFY(QFile::remove(other.File("sorane.ini")));
        before.remove("sorane.ini");
        QCOMPARE(
            Run_program(exe, QStringList{"--export", "text", other.Path(), "--force"} + from_diary),
            2);
        QCOMPARE(File_tree(other.Path()), before);

        // A file of the user's at an export's name is kept and named; the
        // rest is written, and --force writes it too.
        QVERIFY(Write_bytes(out->File("2026.md"), "mine\n"));
        const QStringList markdown = QStringList{"--export", "markdown", out->Path()} + from_diary;
        QCOMPARE(Run_program(exe, markdown, &err), 2);
        QCOMPARE(Read_bytes(out->File("2026.md")), QByteArray("mine\n"));
        QVERIFY2(err.contains(out->File("2026.md")) && err.contains("--force"), qPrintable(err));
        QVERIFY(Read_bytes(out->File("2025.md")).startsWith(Utf8("# 2025年")));
        QCOMPARE(Run_program(exe, markdown + QStringList{"--force"}), 0);
        // What the export made it replaces when the diary changed; once
        // the user has edited it, it is the user's.
        QVERIFY(Put("2026/0102.TXT", "x\r\n"));
        QCOMPARE(Run_program(exe, markdown), 0);
        QVERIFY(Read_bytes(out->File("2026.md")).contains("\nx\n"));
        QFile edited(out->File("2025.md"));
        QVERIFY(edited.open(QIODevice::Append) && edited.write("mine\n") == 5);
        edited.close();
        const QByteArray md_2025 = Read_bytes(out->File("2025.md"));
        QCOMPARE(Run_program(exe, markdown, &err), 2);
        QVERIFY2(err.contains(out->File("2025.md")), qPrintable(err));
        QCOMPARE(Read_bytes(out->File("2025.md")), md_2025);
        // A text export is no diary to the next one into the same folder.
        const QStringList text = QStringList{"--export", "text", out->Path()} + from_diary;
        QCOMPARE(Run_program(exe, text), 0);
        QVERIFY(Put("2026/0102.TXT", "y\r\n"));
        QCOMPARE(Run_program(exe, text), 0);
        QCOMPARE(Read_bytes(out->File("2026/0102.txt")), QByteArray("y\n"));
    }

    void Dates_are_yyyy_mm_dd_and_a_reversed_range_writes_nothing()
    {
        Small_diary();
        const QString exe = QStringLiteral(SORANE_EXE);
        const QStringList json{"--export", "json", out->Path(), "--diary", diary->Path()};
        QCOMPARE(Run_program(exe, json), 0);
        const auto before = File_tree(out->Path());
        QString err;
        QCOMPARE(Run_program(exe, json + QStringList{"--from", "2026/12/31", "--to", "2020/01/01"},
                             &err),
                 2);
        QCOMPARE(err, QStringLiteral("期間の始めの日が終わりの日より後になっています: "
                                     "--from 2026/12/31 --to 2020/01/01\n"));
        for (const char* date : {"-2026/01/01", "2026/1/1", "2026/01-01", "+2026/01/01"}) {
            QCOMPARE(Run_program(exe, json + QStringList{"--from", date}, &err), 2);
            QCOMPARE(err, QStringLiteral("日付は yyyy/mm/dd で指定してください: %1\n").arg(date));
        }
        QCOMPARE(File_tree(out->Path()), before);
    }

    void A_folder_name_that_is_not_utf8_is_refused_not_read_as_another()
    {
        // "x\xff" would be read as "x\uFFFD", a sibling holding a diary.
        Small_diary();
        QVERIFY(QDir().rename(diary->Path(), out->File(QStringLiteral("x\uFFFD"))));
        QVERIFY(::mkdir(QFile::encodeName(out->Path()).append("/x\xff").constData(), 0700) == 0);
        const auto before = File_tree(out->Path());
        const QString script =
            QStringLiteral("bad=\"$(printf '%s/x\\377' \"$1\")\"; "
                           "\"$0\" --search 晴れ --diary \"$bad\"; echo \"search $?\"; "
                           "\"$0\" --export text \"$1/o$(printf '\\377')\" --diary \"$1/x\uFFFD\"; "
                           "echo \"export $?\"; \"$0\" --export text \"$1/o\" --diary \"$bad\"; "
                           "echo \"export $?\"");
        QProcess shell;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CACHE_HOME", out->File("cache"));
        environment.remove("DISPLAY");
        shell.setProcessEnvironment(environment);
        shell.start("sh", {"-c", script, QStringLiteral(SORANE_EXE), out->Path()});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()),
                 QStringLiteral("search 2\nexport 2\nexport 2\n"));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardError()).count("実行できません"), 3);
        QCOMPARE(File_tree(out->Path()), before);
    }
};

QTEST_GUILESS_MAIN(Test_export)
#include "test_export.moc"
