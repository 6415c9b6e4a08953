// The export window: a range written to the folder chosen, with the report
// told at the end and the progress bar full; a folder inside the diary and
// a range backwards refused before anything is written.

#include "dialogs/export_window.h"
#include "diary/export.h"
#include "platform/app_title.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class Test_export_window : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> diary;
    std::unique_ptr<Temp_folder> out;
    std::unique_ptr<Fake_platform> fake;
    std::unique_ptr<QWidget> main_window;
    std::unique_ptr<Export_window> window;

private slots:
    void init()
    {
        diary = std::make_unique<Temp_folder>();
        out = std::make_unique<Temp_folder>();
        QVERIFY(diary->Ok() && out->Ok());
        QVERIFY(QDir().mkpath(diary->File("2026")));
        QVERIFY(Write_bytes(diary->File("2026/1208.txt"), Hex("89 4a 0d 0a")));  // 雨
        QVERIFY(Write_bytes(diary->File("2026/1209.txt"), Hex("90 b0 0d 0a")));  // 晴
        fake = std::make_unique<Fake_platform>();
        main_window = std::make_unique<QWidget>();
        window =
            std::make_unique<Export_window>(Dialog_host{main_window.get(), *fake,
                                                        [] {
                                                            return Twips_rect{0, 0, 9510, 7020};
                                                        }},
                                            diary->Path(), QDate(2026, 12, 9));
    }
    void cleanup()
    {
        window.reset();
        main_window.reset();
        VERIFY_PLATFORM_CLEAN(*fake);
    }

    void A_range_is_written_and_reported()
    {
        QCOMPARE(window->To->date(), QDate(2026, 12, 9));
        QVERIFY(!window->From->isEnabled());
        window->Whole_diary->setChecked(false);
        QVERIFY(window->From->isEnabled());
        window->From->setDate(QDate(2026, 12, 9));
        window->Format->setCurrentIndex(0);
        window->Folder->setText(out->File("書き出し"));
        fake->Expect_box(QStringLiteral("1 日分を 1 個のファイルに書き出しました。"), App_title,
                         Platform::Icon::Information, Platform::Buttons::Ok, Platform::Answer::Ok);
        QSignalSpy finished(window.get(), &Export_window::Finished);
        QTest::mouseClick(window->Run, Qt::LeftButton);
        QVERIFY(!window->Run->isEnabled());
        QCOMPARE(window->Close->text(), QStringLiteral("キャンセル"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QVERIFY(!window->Running());
        QVERIFY(window->Run->isEnabled());
        QCOMPARE(window->Close->text(), QStringLiteral("閉じる"));
        QCOMPARE(window->Progress->value(), window->Progress->maximum());
        auto written = File_tree(out->File("書き出し/"));
        QVERIFY(written.remove(Export_record_name));
        QCOMPARE(written,
                 (QMap<QString, QByteArray>{
                     {"2026.md", QByteArray("# 2026年\n\n## 2026年12月9日（水）\n\n晴\n")}}));
    }

    void A_folder_inside_the_diary_is_refused_before_anything_is_written()
    {
        const auto before = File_tree(diary->Path());
        window->Folder->setText(diary->File("2026/out"));
        fake->Expect_box(QStringLiteral("日記のフォルダーの中には書き出せません。\n"
                                        "日記のフォルダーの外に、書き出し先のフォルダーを選んでく"
                                        "ださい。\n日記のフォルダー: %1")
                             .arg(QFileInfo(diary->Path()).canonicalFilePath()),
                         App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        QVERIFY(!window->Start());
        QCOMPARE(File_tree(diary->Path()), before);
    }

    void A_backward_range_and_no_folder_are_refused()
    {
        fake->Expect_box(QStringLiteral("書き出し先のフォルダーを指定してください。"), App_title,
                         Platform::Icon::Exclamation, Platform::Buttons::Ok, Platform::Answer::Ok);
        QVERIFY(!window->Start());
        window->Folder->setText(out->File("x"));
        window->Whole_diary->setChecked(false);
        window->From->setDate(QDate(2026, 12, 10));
        fake->Expect_box(QStringLiteral("期間の始めの日が終わりの日より後になっています。"),
                         App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        QVERIFY(!window->Start());
        QVERIFY(!QFileInfo::exists(out->File("x")));
    }

    void A_file_the_export_did_not_make_is_written_over_only_when_the_user_says_so()
    {
        QVERIFY(Write_bytes(out->File("2026.md"), "mine\n"));
        window->Folder->setText(out->Path());
        fake->Expect_box(
            QStringLiteral("書き出し先のフォルダーには、この書き出しが作ったのではない、"
                           "同じ名前のファイルがあります。\n%1\n\n"
                           "「はい」：これらのファイルを上書きします。\n"
                           "「いいえ」：これらのファイルはそのままにします。")
                .arg(out->File("2026.md")),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Yes_no,
            Platform::Answer::Yes);
        fake->Expect_box(QStringLiteral("2 日分を 1 個のファイルに書き出しました。"), App_title,
                         Platform::Icon::Information, Platform::Buttons::Ok, Platform::Answer::Ok);
        QSignalSpy finished(window.get(), &Export_window::Finished);
        QVERIFY(window->Start());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(Read_bytes(out->File("2026.md")),
                 QByteArray("# 2026年\n\n## 2026年12月8日（火）\n\n雨\n"
                            "\n## 2026年12月9日（水）\n\n晴\n"));
    }
};

QTEST_MAIN(Test_export_window)
#include "test_export_window.moc"
