// The import window: a folder of notes read and listed (only the days
// that hold something here, each unticked), the ticked day appended and
// the others kept, the report told at the end and the diary panel's day
// given back between steps; a broken JSON file told before anything is
// written.

#include "dialogs/f_import.h"
#include "platform/app_title.h"
#include "store/exact_text.h"
#include "support/fake_platform.h"
#include "support/session_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

class Test_import_window : public QObject, private Session_fixture {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> notes;
    std::unique_ptr<Fake_platform> fake;
    std::unique_ptr<QWidget> main_window;
    std::unique_ptr<F_import> window;
    int days_back = 0;

    void Save(const Panel_date& date, const QString& text)
    {
        session->Load_diary_day(date);
        Diary_session::Day_plan plan =
            session->Plan_day_save({text, QString(), false}, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
    }

private slots:
    void init()
    {
        Set_up();
        Make_this_year();
        notes = std::make_unique<Temp_folder>();
        QVERIFY(notes->Ok());
        fake = std::make_unique<Fake_platform>();
        main_window = std::make_unique<QWidget>();
        days_back = 0;
        window = std::make_unique<F_import>(Dialog_host{main_window.get(), *fake,
                                                        [] {
                                                            return Twips_rect{0, 0, 9510, 7020};
                                                        }},
                                            *session, [this] {
                                                ++days_back;
                                                session->Load_diary_day({2026, 12, 7});
                                            });
    }
    void cleanup()
    {
        window.reset();
        main_window.reset();
        VERIFY_PLATFORM_CLEAN(*fake);
    }

    void Written_days_are_listed_and_only_the_ticked_one_is_appended()
    {
        Save({2026, 12, 8}, QStringLiteral("八日の日記"));
        Save({2026, 12, 9}, QStringLiteral("九日の日記"));
        QVERIFY(Write_bytes(notes->File("2026-12-08.md"), "八日に取り込む\n"));
        QVERIFY(Write_bytes(notes->File("2026-12-09.md"), "九日に取り込む\n"));
        QVERIFY(Write_bytes(notes->File("2026-12-10.md"), "十日\n"));
        QVERIFY(Write_bytes(notes->File("2026-12-11.md"), QByteArray("\x82\xff")));
        window->Path->setText(notes->Path());
        QSignalSpy listed(window.get(), &F_import::Listed);
        QTest::mouseClick(window->Read, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 1, 20000);
        QCOMPARE(window->List->topLevelItemCount(), 2);
        QCOMPARE(window->List->topLevelItem(0)->text(0), QStringLiteral("2026/12/08"));
        QCOMPARE(window->List->topLevelItem(0)->text(1), QStringLiteral("八日の日記"));
        QCOMPARE(window->List->topLevelItem(0)->text(2), QStringLiteral("八日に取り込む"));
        QCOMPARE(window->List->topLevelItem(1)->checkState(0), Qt::Unchecked);
        QVERIFY(window->Counts->text().startsWith(QStringLiteral("空いている日 1日には")));
        QVERIFY(window->Run->isEnabled());

        window->List->topLevelItem(1)->setCheckState(0, Qt::Checked);
        const QString summary =
            QStringLiteral("1日を追加、1日に追記、1日はそのままにしました。\n\n"
                           "読めなかったファイル（取り込んでいません）：\n%1（UTF-8 でも "
                           "Shift_JIS でもない文字があります）")
                .arg(notes->File("2026-12-11.md"));
        fake->Expect_box(summary, App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        QSignalSpy finished(window.get(), &F_import::Finished);
        QTest::mouseClick(window->Run, Qt::LeftButton);
        QCOMPARE(window->Close->text(), QStringLiteral("キャンセル"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(window->Status->text(), summary);
        QCOMPARE(window->Close->text(), QStringLiteral("閉じる"));
        QCOMPARE(window->Progress->value(), window->Progress->maximum());
        QVERIFY(days_back >= 1);
        QCOMPARE(session->Diary_date(), (Panel_date{2026, 12, 7}));
        QCOMPARE(Read_exact_day(session->Store(), 2026, 12, 8).text, QStringLiteral("八日の日記"));
        QCOMPARE(Read_exact_day(session->Store(), 2026, 12, 9).text,
                 QStringLiteral("九日の日記\n\n――――― 取り込み 2026/12/07 ―――――\n九日に取り込む"));
        QCOMPARE(Read_exact_day(session->Store(), 2026, 12, 10).text, QStringLiteral("十日"));
    }

    void A_broken_json_file_is_told_and_nothing_is_listed()
    {
        QVERIFY(Write_bytes(notes->File("diary.json"), "{\"entries\": ["));
        window->Source->setCurrentIndex(F_import::Journal_json);
        window->Path->setText(notes->File("diary.json"));
        const auto before = File_tree(folder->Path());
        fake->Expect_box(
            QStringLiteral(
                "JSON ファイルとして読めませんでした（14 バイト目で形式が崩れています）。"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok, Platform::Answer::Ok);
        QVERIFY(window->Read_source());
        QTRY_VERIFY_WITH_TIMEOUT(!window->Busy(), 20000);
        QCOMPARE(window->List->topLevelItemCount(), 0);
        QVERIFY(!window->Run->isEnabled());
        QCOMPARE(File_tree(folder->Path()), before);
    }

    void No_place_named_is_refused()
    {
        fake->Expect_box(QStringLiteral("取り込むフォルダーを指定してください。"), App_title,
                         Platform::Icon::Exclamation, Platform::Buttons::Ok, Platform::Answer::Ok);
        QVERIFY(!window->Read_source());
    }

    void The_preview_is_one_line_and_short()
    {
        QCOMPARE(Import_preview(QStringLiteral("一\n二")), QStringLiteral("一／二"));
        QCOMPARE(Import_preview(QString(45, QLatin1Char('a'))),
                 QString(40, QLatin1Char('a')) + "…");
    }
};

QTEST_MAIN(Test_import_window)
#include "test_import_window.moc"
