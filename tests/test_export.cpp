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

namespace {

QByteArray Utf8(const char* text) { return QByteArray(text); }

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
        QCOMPARE(File_tree(out->Path()),
                 (QMap<QString, QByteArray>{
                     {"2025.md",
                      Utf8("# 2025年\n\n## 2025年12月31日（水） ★思い出\n\nメモ：傘\n\n雨\n")},
                     {"2026.md", Utf8("# 2026年\n\n## 2026年1月2日（金）\n\n晴れ。\n散歩した。\n"
                                      "\n## 2026年1月3日（土）\n\nメモ：休み\n")}}));
        QCOMPARE(File_tree(diary->Path()), before);
        QCOMPARE(Export_summary(report),
                 QStringLiteral("3 日分を 2 個のファイルに書き出しました。"));
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
        QCOMPARE(File_tree(out->Path()).keys(), QStringList{"2026.html"});
    }

    void Json_holds_every_day_as_an_entry_with_title_body_date_and_star()
    {
        Small_diary();
        // A quote, a backslash and a tab in the text.
        QVERIFY(Put("2026/0105.txt", Hex("22 5c 09 61 0d 0a 62 0d 0a")));
        QVERIFY(Export(Export_format::Json).Ok());
        QCOMPARE(File_tree(out->Path()),
                 (QMap<QString, QByteArray>{{"diary.json", Json_expected}}));
    }

    void Plain_text_is_one_utf8_file_a_day_with_lf()
    {
        Small_diary();
        const Export_report report = Export(Export_format::Text);
        QVERIFY(report.Ok());
        QCOMPARE(File_tree(out->Path()),
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
        QCOMPARE(File_tree(out->Path()),
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
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        auto run = [&](const QStringList& arguments) {
            program.start(QStringLiteral(SORANE_EXE), arguments);
            return program.waitForFinished(60000) ? program.exitCode() : -1;
        };
        const QString target = out->File("made/here/");
        QCOMPARE(
            run({"--export", "markdown", target, "--from", "2026/01/01", "--diary", diary->Path()}),
            0);
        QCOMPARE(File_tree(target),
                 (QMap<QString, QByteArray>{
                     {"2026.md", Utf8("# 2026年\n\n## 2026年1月2日（金）\n\n"
                                      "晴れ。\n散歩した。\n\n## 2026年1月3日（土）"
                                      "\n\nメモ：休み\n")}}));
        QCOMPARE(run({"--export", "pdf", target, "--diary", diary->Path()}), 2);
        QVERIFY(QString::fromUtf8(program.readAllStandardError())
                    .contains("markdown、html、json、text"));
        QCOMPARE(run({"--export", "json", diary->File("2026"), "--diary", diary->Path()}), 2);
        QVERIFY(!QFileInfo::exists(diary->File("2026/diary.json")));
        QVERIFY(QDir().mkpath(diary->File("2026/0101.txt")));
        QCOMPARE(run({"--export", "text", target, "--diary", diary->Path()}), 2);
        QVERIFY(QString::fromUtf8(program.readAllStandardError()).contains("2026/01/01"));
        QCOMPARE(Read_bytes(target + "2026/0102.txt"), Utf8("晴れ。\n散歩した。\n"));
    }
};

QTEST_GUILESS_MAIN(Test_export)
#include "test_export.moc"
