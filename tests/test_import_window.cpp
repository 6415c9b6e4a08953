// The import window: a folder of notes read and listed (only the days
// that hold something here, each unticked), the ticked day appended and
// the others kept, the report told at the end and the diary panel's day
// given back between steps; a cancel; a broken JSON file told before
// anything is written; and the menu item of the main window, which saves
// the panel's day first and shows it as imported afterwards.

#include "app/main_form.h"
#include "dialogs/import_window.h"
#include "platform/app_title.h"
#include "store/exact_text.h"
#include "support/diary_fixture.h"
#include "support/fake_platform.h"
#include "support/session_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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
    std::unique_ptr<Import_window> window;
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
        window =
            std::make_unique<Import_window>(Dialog_host{main_window.get(), *fake,
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
        QSignalSpy listed(window.get(), &Import_window::Listed);
        QTest::mouseClick(window->Read, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 1, 20000);
        QCOMPARE(window->List->topLevelItemCount(), 2);
        QCOMPARE(window->List->topLevelItem(0)->text(0), QStringLiteral("2026/12/08"));
        QCOMPARE(window->List->topLevelItem(0)->text(1), QStringLiteral("八日の日記"));
        QCOMPARE(window->List->topLevelItem(0)->text(2), QStringLiteral("八日に取り込む"));
        QCOMPARE(window->List->topLevelItem(1)->checkState(0), Qt::Unchecked);
        QVERIFY(window->Counts->text().startsWith(QStringLiteral("空いている 1日には")));
        QVERIFY(window->Run->isEnabled());

        window->List->topLevelItem(1)->setCheckState(0, Qt::Checked);
        const QString summary =
            QStringLiteral("1日を追加、1日に追記、1日はそのままにしました。\n\n"
                           "読めなかったファイル（取り込んでいません）：\n%1（UTF-8、UTF-16、"
                           "Shift_JIS のどれでもない文字があります）")
                .arg(notes->File("2026-12-11.md"));
        fake->Expect_box(summary, App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        QSignalSpy finished(window.get(), &Import_window::Finished);
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

    void A_cancel_stops_after_the_day_being_written_and_says_how_many_are_left()
    {
        for (int day = 1; day <= 40; ++day)
            QVERIFY(Write_bytes(
                notes->File(QStringLiteral("2026-11-%1.md").arg(day, 2, 10, QLatin1Char('0'))),
                "日記"));
        window->Path->setText(notes->Path());
        QSignalSpy listed(window.get(), &Import_window::Listed);
        QVERIFY(window->Read_source());
        QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 1, 20000);
        // 31 November is a day of the diary's calendar, as the date bars have it.
        QCOMPARE(window->Plan().items.size(), 31);
        QVERIFY(window->Start_import());
        // キャンセル before the first step: nothing is written. The names
        // that are no dates are named, each.
        QStringList left_out;
        for (int day = 32; day <= 40; ++day)
            left_out << notes->File(QStringLiteral("2026-11-%1.md").arg(day));
        fake->Expect_box(
            QStringLiteral("0日を追加、0日に追記、0日はそのままにしました。\n\n"
                           "取り込みを取り消しました。残りの31日は取り込んでいません。\n\n"
                           "日付の名前でないファイルや、日付の読めない項目 9 件は"
                           "取り込んでいません：\n") +
                left_out.join(QLatin1Char('\n')),
            App_title, Platform::Icon::Information, Platform::Buttons::Ok, Platform::Answer::Ok);
        QSignalSpy finished(window.get(), &Import_window::Finished);
        QTest::mouseClick(window->Close, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QVERIFY(!QFileInfo::exists(At("2026/1101.txt")));
        QVERIFY(!window->Busy());
    }

    void The_menu_saves_the_panel_day_first_and_shows_it_as_imported_after()
    {
        Temp_folder app;
        fake->now = QDateTime(QDate(2026, 12, 7), QTime(21, 30, 15));
        fake->screen_twips = QSizeF(28800, 16200);
        auto form = Start_form(*fake, app.Path());
        Write_diary_entry(*form);
        QVERIFY(Write_bytes(notes->File("2026-12-07.md"), "取り込んだ日記\n"));
        bool saved_first = false;
        fake->Expect_modal([&](QDialog& d) {
            auto* w = qobject_cast<Import_window*>(&d);
            if (!w)
                return -1;
            saved_first = Read_bytes(app.File("2026/1207.txt")) == Day_file_bytes;
            w->Path->setText(notes->Path());
            if (!w->Read_source() || !QTest::qWaitFor([w] { return !w->Busy(); }, 20000))
                return -1;
            w->List->topLevelItem(0)->setCheckState(0, Qt::Checked);
            fake->Expect_box(QStringLiteral("0日を追加、1日に追記、0日はそのままにしました。"),
                             App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                             Platform::Answer::Ok);
            if (!w->Start_import() || !QTest::qWaitFor([w] { return !w->Busy(); }, 20000))
                return -1;
            return 0;
        });
        Controls_of(*form).Menu_import->trigger();
        QVERIFY(saved_first);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(),
                 Day_text + QStringLiteral("\n\n――――― 取り込み 2026/12/07 ―――――\n取り込んだ日記"));
        QVERIFY(!Controls_of(*form).Text2->document()->isModified());
        QTest::mouseClick(Controls_of(*form).Command2, Qt::LeftButton);
        QVERIFY(form->Ended());
    }

    void A_broken_json_file_is_told_and_nothing_is_listed()
    {
        QVERIFY(Write_bytes(notes->File("diary.json"), "{\"entries\": ["));
        window->Source->setCurrentIndex(Import_window::Journal_json);
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
};

QTEST_MAIN(Test_import_window)
#include "test_import_window.moc"
