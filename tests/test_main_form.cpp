// The main window on a set clock and a fresh program folder: what start-up
// makes and shows, what the endings write, and what happens when a save
// cannot be done as asked. Files are compared whole against bytes written
// here.

#include "app/end_signals.h"
#include "app/main_form.h"
#include "app/recovery_control.h"
#include "fortune/draw_fortune.h"
#include "store/own_settings.h"
#include "support/diary_fixture.h"
#include "ui/io_message.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QWindow>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;

const QString Back_to_text = QStringLiteral("「いいえ」：終了せずに、日記の画面に戻ります。");

enum class Ending {
    Button,
    Menu,
    Close_box,
    Sigterm
};

// What the desktop's input method does when asked to finish a composition.
enum class Im_answer {
    Nothing,        // offscreen, or a frontend that only commits on focus out
    Commit_twice,   // the same commit delivered twice
    Commit_to_memo  // the commit sent to another field
};

void Send_input_method(QWidget* field, const QString& commit, const QString& composing = {})
{
    QInputMethodEvent event(composing, {});
    event.setCommitString(commit);
    QCoreApplication::sendEvent(field, &event);
}

}  // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(Im_answer)
Q_DECLARE_METATYPE(Platform::Answer)

class Test_main_form : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    // Ends the program the way the row says; the window must be gone.
    void End(Main_form& form, Ending ending)
    {
        switch (ending) {
        case Ending::Button: QTest::mouseClick(Controls_of(form).Command2, Qt::LeftButton); break;
        case Ending::Menu: Controls_of(form).Menu_end->trigger(); break;
        case Ending::Close_box: form.windowHandle()->close(); break;
        case Ending::Sigterm: {
            End_signals signals_in;
            connect(&signals_in, &End_signals::Received, &form, &Main_form::End_without_user);
            ::raise(SIGTERM);
            QTRY_VERIFY(form.Ended());
            break;
        }
        }
    }

    // きょう composed in the text of 7 December, and 移動 → 次の日: the day
    // left holds the word, the next day is empty.
    bool Leave_a_day_while_composing(Main_form& form)
    {
        Controls_of(form).Text2->setFocus();
        Send_input_method(Controls_of(form).Text2, {}, QStringLiteral("きょう"));
        Controls_of(form).Menu_next_day->trigger();
        return Controls_of(form).Text5->text() == QStringLiteral("8") &&
               Controls_of(form).Text2->toPlainText().isEmpty() &&
               Read_bytes(At("2026/1207.txt")) == Hex("82 ab 82 e5 82 a4 0d 0a");  // きょう
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    // ---- Start-up -------------------------------------------------------

    void First_run_makes_the_first_files_and_nothing_more()
    {
        auto form = Start();
        QCOMPARE(Entries(folder->Path()),
                 QStringList({"2025", "2026", "sorane.ini"}));  // 2025: the reference year
        QCOMPARE(Entries(At("2026")), QStringList({"keyword.txt"}));
        QCOMPARE(Entries(At("2025")), QStringList());
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_only);
        QCOMPARE(Read_bytes(At("sorane.ini")), First_ini);

        QCOMPARE(form->windowTitle(), QStringLiteral("【ソラネ】Ver.2.0"));
        QCOMPARE(form->pos(), QPoint(Px(9645), Px(4590)));
        QCOMPARE(form->centralWidget()->size(), QSize(Px(9390), Px(6285)));
        QCOMPARE(QStringList({Controls_of(*form).Text3->text(), Controls_of(*form).Text4->text(),
                              Controls_of(*form).Text5->text()}),
                 QStringList({"2026", "12", "7"}));
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll1->value(), Controls_of(*form).VScroll2->value(),
                        Controls_of(*form).VScroll3->value()}),
            QList<int>({2026, 12, 7}));
        QCOMPARE(QStringList({Controls_of(*form).Text7->text(), Controls_of(*form).Text8->text(),
                              Controls_of(*form).Text9->text()}),
                 QStringList({"2025", "12", "7"}));
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        QVERIFY(Controls_of(*form).Text1->toPlainText().isEmpty());
        QVERIFY(Controls_of(*form).Text6->text().isEmpty());
        QVERIFY(!Controls_of(*form).Check1->isChecked());
        QCOMPARE(Probe(*form).scroll_lock, Main_form_probe::Scroll_lock::Off);
        QCOMPARE(form->Session().State().settings.last_run_date, QStringLiteral("2026/12/07"));

        // Nothing edited: ending writes the settings only.
        End(*form, Ending::Button);
        QCOMPARE(Entries(At("2026")), QStringList({"keyword.txt"}));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_only);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                    "1", "2025/12/7", "2026/12/07", "mada"}));
    }

    void Controls_stand_at_their_design_places()
    {
        auto form = Start();
        const struct {
            const char* name;
            QRect twips;
        } places[] = {
            {"Text3", {60, 60, 675, 435}},         {"VScroll3", {2280, 60, 375, 435}},
            {"Shape1", {2700, 60, 1215, 435}},     {"Check1", {2760, 120, 1035, 285}},
            {"Label1", {4080, 120, 450, 225}},     {"Text6", {4620, 60, 4755, 435}},
            {"Text2", {0, 540, 9375, 2655}},       {"Text1", {0, 3240, 9375, 2535}},
            {"Text9", {1920, 5820, 375, 435}},     {"Command1", {2700, 5820, 1275, 435}},
            {"Command3", {4080, 5820, 1275, 435}}, {"Command4", {5460, 5820, 1275, 435}},
            {"Command2", {7980, 5820, 1395, 435}},
        };
        for (const auto& p : places) {
            auto* w = form->findChild<QWidget*>(QLatin1String(p.name));
            QVERIFY2(w, p.name);
            const QRect px = Px_rect(p.twips.x(), p.twips.y(), p.twips.width(), p.twips.height());
            QVERIFY2(w->geometry() == px, p.name);
        }
        // Text2 covers Text1 where they overlap; Shape1 lies under Check1.
        const QObjectList order = form->centralWidget()->children();
        QVERIFY(order.indexOf(Controls_of(*form).Text2) > order.indexOf(Controls_of(*form).Text1));
        QVERIFY(order.indexOf(Controls_of(*form).Check1) >
                order.indexOf(Controls_of(*form).Shape1));

        QCOMPARE(Controls_of(*form).Command1->text(), QStringLiteral("画面切替"));
        QCOMPARE(Controls_of(*form).Command2->text(), QStringLiteral("終了"));
        QCOMPARE(Controls_of(*form).Command3->text(), QStringLiteral("占い"));
        QCOMPARE(Controls_of(*form).Command4->text(), QStringLiteral("明日へ"));
        QCOMPARE(Controls_of(*form).Check1->text(), QStringLiteral("思い出"));
        QCOMPARE(Controls_of(*form).Label1->text(), QStringLiteral("メモ"));
        QStringList menus;
        for (QAction* top : form->menuBar()->actions()) {
            QStringList entries;
            for (QAction* a : top->menu()->actions())
                entries << a->objectName() + "=" + a->text();
            menus << top->menu()->objectName() + "=" + top->text() + "[" + entries.join(",") + "]";
        }
        QCOMPARE(
            menus,
            QStringList(
                {"Menu_file=ﾌｧｲﾙ[Menu_save=保存,Menu_time=時刻を挿入,Menu_history=この日の履歴,Menu_versions=ほかの版…,Menu_export=エクスポート…,Menu_import=インポート…,Menu_print=印刷…,Menu_backup=バックアップを作成,Menu_photo_add=写真を追加…,=,Menu_end=終了]",
                 "Menu_kensaku=検索[Menu_omoide=思い出の日,Menu_memo=メモ,Menu_fulltext=全文検索,"
                 "Menu_years=この日の百年,Menu_records=記録]",
                 "Menu_go=移動[Menu_today=今日,Menu_prev_day=前の日,"
                 "Menu_next_day=次の日,Menu_calendar=日付を指定…]",
                 "Menu_settei=設定[MENU_ref_default=参照する日記,Menu_reminder=お知らせ…,"
                 "Menu_template=新しい日のひな形…,"
                 "Menu_backup_settings=バックアップの設定…,=,Menu_lock=日記に鍵をかける…,"
                 "Menu_change_password=パスワードを変える…,"
                 "Menu_lock_settings=鍵の設定…]",
                 "Menu_help=?[Menu_tukaikata=使い方]"}));

        QCOMPARE(form->centralWidget()->palette().color(QPalette::Window), QColor(192, 255, 192));
        QCOMPARE(Controls_of(*form).Text1->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(Controls_of(*form).Text1->palette().color(QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(Controls_of(*form).Text8->palette().color(QPalette::Text), QColor(0, 0, 255));
        QVERIFY(Controls_of(*form).Text1->isReadOnly());
        QCOMPARE(Controls_of(*form).Text2->font().family(), QStringLiteral("ＭＳ ゴシック"));
        QCOMPARE(Controls_of(*form).Text2->font().pointSizeF(), 11.25);
        const QString shown = QFontInfo(Controls_of(*form).Text2->font()).family();
        QVERIFY2(shown == "IPAGothic" || shown == "Noto Sans Mono CJK JP", qPrintable(shown));
        form.reset();
    }

    void A_settings_file_from_windows_opens_at_its_size_and_round_trips()
    {
        const QByteArray ini = Ini({"0", "1234.5", "2000", "8020", "10510", "nomal", "3",
                                    "2025/3/7", "2026/12/07", "sumi"});
        QVERIFY(Write_bytes(At("sorane.ini"), ini));
        auto form = Start();
        QCOMPARE(form->pos(), QPoint(Px(2000), Px(1234.5)));
        QCOMPARE(form->centralWidget()->size(), QSize(Px(10390), Px(7285)));
        // 1000 twips higher: half of it goes to each text field.
        QCOMPARE(Controls_of(*form).Text2->height(), Px(3155));
        QCOMPARE(Controls_of(*form).Text1->geometry(),
                 QRect(0, Px(3740), Px(10375), Px(6775) - Px(3740)));  // edges rounded
        QCOMPARE(Controls_of(*form).Command2->pos(), QPoint(Px(8980), Px(6820)));
        QCOMPARE(form->Session().State().settings.fortune_state.Word(),
                 QStringLiteral("sumi"));  // same day
        End(*form, Ending::Close_box);
        QCOMPARE(Read_bytes(At("sorane.ini")), ini);
    }

    void The_layout_follows_the_window_size()
    {
        auto form = Start();
        form->resize(form->width() + Px(1000), form->height() + Px(2000));
        QCOMPARE(Controls_of(*form).Text6->width(), Px(5755));
        QCOMPARE(Controls_of(*form).Text2->geometry(), QRect(0, Px(540), Px(10375), Px(3655)));
        QCOMPARE(Controls_of(*form).Text1->geometry(),
                 QRect(0, Px(4240), Px(10375), Px(7775) - Px(4240)));
        QCOMPARE(Controls_of(*form).Command2->pos(), QPoint(Px(8980), Px(7820)));
        QCOMPARE(Controls_of(*form).Command4->pos(), QPoint(Px(5460), Px(7820)));
        QCOMPARE(Controls_of(*form).Text3->pos(), QPoint(Px(60), Px(60)));
        // Smaller than the design size is not allowed.
        form->resize(Px(4000), Px(3000));
        QCOMPARE(form->centralWidget()->size(), QSize(Px(9390), Px(6285)));
        QCOMPARE(Controls_of(*form).Text2->geometry(), QRect(0, Px(540), Px(9375), Px(2655)));
        form.reset();
    }

    void First_start_in_a_new_year()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"0", "4590", "9645", "7020", "9510", "wide", "1",
                                                   "2026/12/30", "2026/12/31", "sumi"})));
        fake->now = QDateTime(QDate(2027, 1, 1), QTime(0, 0, 5));
        auto form = Start();
        QCOMPARE(Entries(folder->Path()), QStringList({"2026", "2027", "sorane.ini"}));
        QCOMPARE(Read_bytes(At("2027/keyword.txt")),
                 Hex("32 30 32 37 2f 30 31 2f 30 31 30 0d 0a"));  // 2027/01/010
        QCOMPARE(Entries(At("2026")), QStringList());
        QCOMPARE(QStringList({Controls_of(*form).Text7->text(), Controls_of(*form).Text8->text(),
                              Controls_of(*form).Text9->text()}),
                 QStringList({"2026", "1", "1"}));
        QVERIFY(form->Session().New_day());
        QCOMPARE(Controls_of(*form).Text2->height(), Px(5235));  // the wide mode
        End(*form, Ending::Menu);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "4590", "9645", "7020", "9510", "wide",
                                                    "1", "2026/1/1", "2027/01/01", "mada"}));
    }

    void A_window_minimized_at_the_last_end_starts_centred_at_design_size()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"1", "-48000", "-48000", "405", "2400", "nomal",
                                                   "1", "2025/12/7", "2026/12/07", "mada"})));
        auto form = Start();
        QVERIFY(form->isMinimized());
        QCOMPARE(form->pos(), QPoint(Px(9645), Px(4590)));
        QCOMPARE(form->centralWidget()->size(), QSize(Px(9390), Px(6285)));
        End(*form, Ending::Button);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"1", "4590", "9645", "7020", "9510", "nomal",
                                                    "1", "2025/12/7", "2026/12/07", "mada"}));
    }

    void Reference_day_by_ref_mode_data()
    {
        QTest::addColumn<QByteArray>("ref_mode");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("1 on 29 February")
            << QByteArray("1") << QDate(2028, 2, 29) << QStringList({"2027", "2", "29"})
            << QStringList({"2027", "2028", "sorane.ini"});
        QTest::newRow("2 on 1 January")
            << QByteArray("2") << QDate(2027, 1, 1) << QStringList({"2026", "12", "31"})
            << QStringList({"2026", "2027", "sorane.ini"});
        QTest::newRow("3 with 2025/3/7")
            << QByteArray("3") << QDate(2026, 12, 7) << QStringList({"2025", "3", "7"})
            << QStringList({"2025", "2026", "sorane.ini"});
        QTest::newRow("0 keeps the bars' low ends")
            << QByteArray("0") << QDate(2026, 12, 7) << QStringList({"1990", "1", "1"})
            << QStringList({"2026", "sorane.ini"});
        QTest::newRow("4 keeps the bars' low ends")
            << QByteArray("4") << QDate(2026, 12, 7) << QStringList({"1990", "1", "1"})
            << QStringList({"2026", "sorane.ini"});
        QTest::newRow("1 in 1990 stays in 1990")
            << QByteArray("1") << QDate(1990, 5, 5) << QStringList({"1990", "5", "5"})
            << QStringList({"1990", "sorane.ini"});
        QTest::newRow("2 on 1 January 1990 stays in 1990")
            << QByteArray("2") << QDate(1990, 1, 1) << QStringList({"1990", "12", "31"})
            << QStringList({"1990", "sorane.ini"});
    }
    void Reference_day_by_ref_mode()
    {
        QFETCH(QByteArray, ref_mode);
        QFETCH(QDate, today);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, folders);
        fake->now = QDateTime(today, QTime(8, 0, 0));
        const QByteArray today_key = today.toString("yyyy/MM/dd").toLatin1();
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                   ref_mode, "2025/3/7", today_key, "mada"})));
        auto form = Start();
        QCOMPARE(QStringList({Controls_of(*form).Text7->text(), Controls_of(*form).Text8->text(),
                              Controls_of(*form).Text9->text()}),
                 shown);
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            QList<int>({shown[0].toInt(), shown[1].toInt(), shown[2].toInt()}));
        QCOMPARE(Entries(folder->Path()), folders);
        QVERIFY(Controls_of(*form).Text1->toPlainText().isEmpty());
        form.reset();
    }

    void The_reference_panel_shows_the_reference_days_text()
    {
        QVERIFY(QDir().mkpath(At("2025")));
        QVERIFY(
            Write_bytes(At("2025/1207.txt"), Hex("8e 55 95 e0 0d 0a 82 a0 0d 0a")));  // 散歩 / あ
        auto form = Start();
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), QStringLiteral("散歩\nあ"));
        QCOMPARE(Controls_of(*form).Text1->document()->blockCount(), 2);
        form.reset();
    }

    void A_memo_without_a_day_file_is_kept()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        const QByteArray index =
            Hex("32 30 32 36 2f 31 32 2f 30 35 30 83 81 83 82 0d 0a"          // 2026/12/050メモ
                "32 30 32 36 2f 31 32 2f 30 37 31 94 83 82 a2 95 a8 0d 0a");  // 2026/12/071買い物
        QVERIFY(Write_bytes(At("2026/keyword.txt"), index));
        auto form = Start();
        QCOMPARE(Controls_of(*form).Text6->text(), QStringLiteral("買い物"));
        QVERIFY(Controls_of(*form).Check1->isChecked());
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        End(*form, Ending::Button);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), index);
        QCOMPARE(Entries(At("2026")), QStringList({"keyword.txt"}));
    }

    void Two_starts_on_one_day_keep_the_fortune_told()
    {
        Start().reset();  // the first run
        {
            auto form = Start();
            QVERIFY(!form->Session().New_day());
            form->Session().Record_fortune_told();  // as telling the fortune leaves it
            End(*form, Ending::Button);
        }
        fake->now = QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59));
        auto form = Start();
        QCOMPARE(form->Session().State().settings.fortune_state.Word(), QStringLiteral("sumi"));
        End(*form, Ending::Button);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                    "1", "2025/12/7", "2026/12/07", "sumi"}));
    }

    void The_clock_set_back_resets_nothing_and_moves_the_last_run_back()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                   "1", "2025/12/7", "2026/12/07", "sumi"})));
        fake->now = QDateTime(QDate(2026, 12, 1), QTime(9, 0, 0));
        auto form = Start();
        QVERIFY(!form->Session().New_day());
        End(*form, Ending::Button);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                    "1", "2025/12/1", "2026/12/01", "sumi"}));
    }

    void A_system_year_outside_the_diary_ends_without_writing_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::newRow("2101") << QDate(2101, 1, 1);
        QTest::newRow("1989") << QDate(1989, 12, 31);
    }
    void A_system_year_outside_the_diary_ends_without_writing()
    {
        QFETCH(QDate, today);
        fake->now = QDateTime(today, QTime(12, 0, 0));
        fake->Expect_box(QStringLiteral("パソコンの日付が%1年%2月%3日になっています。\n"
                                        "この日記が扱えるのは1990年から2100年までです。\n"
                                        "パソコンの日付を確かめてから、もう一度起動してください。")
                             .arg(today.year())
                             .arg(today.month())
                             .arg(today.day()),
                         App_title, Icon::Critical, Buttons::Ok, Answer::Ok);
        Main_form form(*fake, *fake, folder->Path());
        QVERIFY(!form.Form_Load());
        QCOMPARE(Entries(folder->Path()), QStringList());
    }

    // ---- Saving and ending ----------------------------------------------

    void Every_ending_writes_the_same_files_data()
    {
        QTest::addColumn<Ending>("ending");
        QTest::newRow("button 終了") << Ending::Button;
        QTest::newRow("menu 終了") << Ending::Menu;
        QTest::newRow("close box") << Ending::Close_box;
        QTest::newRow("SIGTERM") << Ending::Sigterm;
    }
    void Every_ending_writes_the_same_files()
    {
        QFETCH(Ending, ending);
        auto form = Start();
        QSignalSpy ended(form.get(), &Main_form::Program_ended);
        Write_diary_entry(*form);
        End(*form, ending);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!form->isVisible());
        QCOMPARE(Entries(folder->Path()), QStringList({"2025", "2026", "sorane.ini"}));
        QCOMPARE(Entries(At("2026")), QStringList({"1207.txt", "keyword.txt"}));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                    "1", "2025/12/7", "2026/12/07", "mada"}));
    }

    // A start and an ending that change nothing write nothing: every file
    // of the folder keeps its bytes, its inode and its change time.
    void An_ending_that_changed_nothing_writes_nothing_data()
    {
        Every_ending_writes_the_same_files_data();
    }
    void An_ending_that_changed_nothing_writes_nothing()
    {
        QFETCH(Ending, ending);
        auto form = Start();
        Write_diary_entry(*form);
        End(*form, Ending::Button);
        QVERIFY(Write_oldest_first(folder->Path(), true).Ok());
        const auto files = [this] {
            QStringList out;
            QDirIterator it(folder->Path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                struct stat st {};
                if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
                    return QStringList{QStringLiteral("cannot stat ") + path};
                out << QStringLiteral("%1 %2 %3.%4 %5")
                           .arg(path)
                           .arg(st.st_ino)
                           .arg(st.st_mtim.tv_sec)
                           .arg(st.st_mtim.tv_nsec)
                           .arg(QString::fromLatin1(S_ISREG(st.st_mode) ? Read_bytes(path).toHex()
                                                                        : QByteArray()));
            }
            out.sort();
            return out;
        };
        const QStringList before = files();
        QVERIFY(before.size() >= 6);  // 2025, 2026, its day and index, both settings files
        form = Start();
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        End(*form, ending);
        QCOMPARE(files(), before);
    }

    void An_unedited_day_keeps_its_bytes_data()
    {
        QTest::addColumn<QByteArray>("day_file");
        QTest::addColumn<bool>("long_day");
        // A lone CR, no final CR LF, a lead byte without its trail byte.
        QTest::newRow("odd bytes") << Hex("41 0d 42 0d 0a 0d 0a 82 a0 83") << false;
        QByteArray large;
        while (large.size() < 32010)
            large += Hex("82 a0 0d 0a");  // あ CR LF
        QTest::newRow("over 32000 bytes, read whole") << large << true;
    }
    void An_unedited_day_keeps_its_bytes()
    {
        QFETCH(QByteArray, day_file);
        QFETCH(bool, long_day);
        QVERIFY(QDir().mkpath(At("2026")));
        // Two records of the day: only a save would make them one.
        const QByteArray index = Hex("32 30 32 36 2f 31 32 2f 30 37 31 8e 55 95 e0 0d 0a"
                                     "32 30 32 36 2f 31 32 2f 30 37 30 0d 0a");
        QVERIFY(Write_bytes(At("2026/keyword.txt"), index));
        QVERIFY(Write_bytes(At("2026/1207.txt"), day_file));
        auto form = Start();
        QCOMPARE(Controls_of(*form).Text6->text(), QString());  // the later record's memo
        QVERIFY(Controls_of(*form).Check1->isChecked());
        QVERIFY(!Controls_of(*form).Text2->toPlainText().isEmpty());
        if (long_day)  // "あ" and a line break each, less the final one
            QCOMPARE(Controls_of(*form).Text2->toPlainText().size(), day_file.size() / 4 * 2 - 1);
        End(*form, Ending::Close_box);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), day_file);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), index);
    }

    void An_emptied_day_is_removed_after_a_question_and_kept_in_the_history()
    {
        // 7 December with an exact text beside it, and the next day's record.
        const QByteArray next_record = Hex("32 30 32 36 2f 31 32 2f 30 38 30 0d 0a");
        QVERIFY(QDir().mkpath(At("2026")));
        auto form = Start();
        Controls_of(*form).Text2->setPlainText(QStringLiteral("雨😀"));
        Controls_of(*form).Text6->setText(Day_memo);
        Controls_of(*form).Check1->setChecked(true);
        Controls_of(*form).Menu_next_day->trigger();
        QVERIFY(
            Write_bytes(At("2026/keyword.txt"), Read_bytes(At("2026/keyword.txt")) + next_record));
        Controls_of(*form).Menu_prev_day->trigger();
        // The day's files: the settings file changes with every ending.
        const auto day_files = [&] {
            auto tree = File_tree(folder->Path());
            tree.remove("sorane.ini");
            return tree;
        };
        const auto tree = day_files();
        QVERIFY(QFile::exists(At("2026/1207.utf8.txt")));
        Controls_of(*form).Text2->clear();
        Controls_of(*form).Text6->clear();
        Controls_of(*form).Check1->setChecked(false);
        // With nobody to ask, nothing goes.
        form->Save_for_session();
        QCOMPARE(day_files(), tree);
        const QString question = QStringLiteral(
            "2026年12月7日の日記とメモを消しますか？\n"
            "本文とメモが空になりました。この日のファイルを消します（思い出の印も消えます）。\n"
            "消す前の日記は「この日の履歴」に残り、「元に戻す」で戻せます。\n\n"
            "「はい」：この日の日記を消します。\n"
            "「いいえ」：消さずに、前の日記をそのまま残します。\n"
            "「キャンセル」：日記の画面に戻ります。");
        fake->Expect_box(question, App_title, Icon::Question, Buttons::Yes_no_cancel, Answer::No);
        Controls_of(*form).Menu_next_day->trigger();
        QCOMPARE(day_files(), tree);
        Controls_of(*form).Menu_prev_day->trigger();
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("雨😀"));

        Controls_of(*form).Text2->clear();
        Controls_of(*form).Text6->clear();
        fake->Expect_box(question, App_title, Icon::Question, Buttons::Yes_no_cancel, Answer::Yes);
        Controls_of(*form).Menu_next_day->trigger();
        VERIFY_PLATFORM_CLEAN(*fake);
        QCOMPARE(Controls_of(*form).Text5->text(), QStringLiteral("8"));
        QVERIFY(!QFile::exists(At("2026/1207.txt")));
        QVERIFY(!QFile::exists(At("2026/1207.utf8.txt")));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), next_record);  // the rest byte for byte
        // The day removed is the history's newest version, exact text and all.
        const QList<History_version> versions = form->Session().History().Versions(2026, 12, 7);
        QCOMPARE(versions.size(), 1);
        const History_read kept = form->Session().History().Read(versions.front());
        QCOMPARE(kept.file, Hex("89 4a 3f 0d 0a"));
        QCOMPARE(Read_bytes(versions.front().path.chopped(4) + ".utf8.txt"),
                 QStringLiteral("散歩\n雨😀").toUtf8());
        QCOMPARE(kept.memo, Day_memo);
        QVERIFY(kept.flag);
        // Gone, it is empty: nothing more is asked.
        Controls_of(*form).Menu_prev_day->trigger();
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        End(*form, Ending::Button);
        VERIFY_PLATFORM_CLEAN(*fake);
    }

    void The_session_saving_keeps_the_window_open()
    {
        auto form = Start();
        Write_diary_entry(*form);
        form->Save_for_session();
        QVERIFY(form->isVisible());
        QVERIFY(!form->Ended());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        Controls_of(*form).Text6->setText(QStringLiteral("あ"));
        End(*form, Ending::Button);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 31 82 a0 0d 0a"));  // 2026/12/071あ
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
    }

    void A_failure_is_told_with_the_file_and_the_reason()
    {
        const QString path = QStringLiteral("/home/u/sorane/2026/1207.txt");
        QCOMPARE(
            Io_message(QStringLiteral("日記を保存できませんでした。"),
                       Io_result::Failure(Io_step::Write, ENOSPC, path)),
            QStringLiteral("日記を保存できませんでした。\nファイル: /home/u/sorane/2026/1207.txt\n"
                           "理由: ディスクがいっぱいです。"));
        QCOMPARE(Io_reason(Io_result::Failure(Io_step::Rename, EACCES, path)),
                 QStringLiteral("このファイルを扱う権限がありません。"));
        QCOMPARE(Io_reason(Io_result::Failure(Io_step::Read_only, EACCES, path)),
                 QStringLiteral("ファイルが読み取り専用になっています。"));
        QCOMPARE(Io_reason(Io_result::Failure(Io_step::Sync, 0, path)),
                 QStringLiteral("ディスクへの書き込みを確かめられませんでした。"));
        QCOMPARE(Io_reason(Io_result::Failure(Io_step::Write, 1234, path)),
                 QStringLiteral("システムのエラーが起きました（エラー番号 1234）。"));
    }

    void A_failed_save_at_the_end_lets_the_user_stay_or_end()
    {
        auto form = Start();
        Write_diary_entry(*form);
        // A folder where the day file belongs: no writing can replace it.
        QVERIFY(QDir().mkpath(At("2026/1207.txt")));
        // The index takes the memo before the day file fails: the message
        // says which part was saved.
        const QString box =
            QStringLiteral("メモと思い出は保存しましたが、本文は保存できませんでした。\n"
                           "ファイル: %1\n"
                           "理由: ファイルの場所に同じ名前のフォルダーがあります。\n\n"
                           "このまま終了しますか？\n"
                           "「はい」：終了します。書いた日記は、プログラムのフォルダーの"
                           "「sorane-rescue-20261207-213015.txt」に書き出します。\n")
                .arg(At("2026/1207.txt")) +
            Back_to_text;
        fake->Expect_box(box, App_title, Icon::Exclamation, Buttons::Yes_no, Answer::No);
        QSignalSpy ended(form.get(), &Main_form::Program_ended);
        QTest::mouseClick(Controls_of(*form).Command2, Qt::LeftButton);
        QVERIFY(form->isVisible());
        QCOMPARE(ended.count(), 0);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text6->text(), Day_memo);
        QCOMPARE(Entries(folder->Path()), QStringList({"2025", "2026", "sorane.ini"}));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);

        // The second time the user ends anyway: the day goes to the rescue file.
        fake->Expect_box(box, App_title, Icon::Exclamation, Buttons::Yes_no, Answer::Yes);
        form->windowHandle()->close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!form->isVisible());
        QCOMPARE(Entries(folder->Path()),
                 QStringList({"2025", "2026", "sorane-rescue-20261207-213015.txt", "sorane.ini"}));
        QCOMPARE(Read_bytes(At("sorane-rescue-20261207-213015.txt")),
                 QStringLiteral("【ソラネ】Ver.2.0 が保存できなかった日記です。\n日付: 2026/12/07\n"
                                "思い出: あり\nメモ: 散歩\n本文:\n晴れ。\n散歩した。\n")
                     .toUtf8());
        QVERIFY(QFileInfo(At("2026/1207.txt")).isDir());
    }

    void Settings_that_cannot_be_read_are_told_once_and_never_written()
    {
        QVERIFY(QDir().mkpath(At("sorane.ini")));
        fake->Expect_box(QStringLiteral("設定ファイルを読み込めませんでした。\nファイル: %1\n"
                                        "理由: ファイルの場所に同じ名前のフォルダーがあります。\n\n"
                                        "最初の設定で始めます。設定ファイルは書き換えません。")
                             .arg(At("sorane.ini")),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        auto form = Start();
        // The ending asks nothing about settings it was never to write.
        End(*form, Ending::Button);
        QVERIFY(form->Ended());
        QVERIFY(QFileInfo(At("sorane.ini")).isDir());
        QCOMPARE(Entries(At("sorane.ini")), QStringList());
    }

    void A_program_folder_that_cannot_be_written_is_told_once()
    {
        const QString missing = At("gone/");
        fake->Expect_box(QStringLiteral("プログラムのフォルダーに書き込めません。\nファイル: %1\n"
                                        "理由: ファイルかフォルダーが見つかりません。\n\n"
                                        "日記を読むことはできますが、保存はできません。")
                             .arg(missing),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        auto form = Start(missing);
        QVERIFY(form->isVisible());
        QCOMPARE(Controls_of(*form).Text3->text(), QStringLiteral("2026"));
        form->End_without_user();
        QVERIFY(form->Ended());
        QVERIFY(!QFileInfo::exists(missing));
    }

    void A_program_folder_that_refuses_the_rescue_file_sends_it_to_the_user_s_folder()
    {
        QTemporaryDir state;
        QVERIFY(state.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_STATE_HOME"); });
        auto form = Start();
        Write_diary_entry(*form);
        // The program folder is gone: it takes no file at all.
        const QString away = folder->Path().chopped(1) + QStringLiteral("-away");
        QVERIFY(QDir().rename(folder->Path(), away));
        const auto back = qScopeGuard([&] { QDir().rename(away, folder->Path()); });
        const QString rescue =
            state.path() + QStringLiteral("/sorane/sorane-rescue-20261207-213015.txt");
        fake->Expect_box(
            QStringLiteral("設定を保存できませんでした。\nファイル: %1\n"
                           "理由: ファイルかフォルダーが見つかりません。\n\n"
                           "日記を保存できませんでした。\nフォルダー: %2\n"
                           "理由: ファイルかフォルダーが見つかりません。\n\n"
                           "このまま終了しますか？\n"
                           "「はい」：終了します。書いた日記は「%3」に書き出します。\n")
                    .arg(At("sorane.ini"), At("2026"), rescue) +
                Back_to_text,
            App_title, Icon::Exclamation, Buttons::Yes_no, Answer::Yes);
        End(*form, Ending::Button);
        QVERIFY(form->Ended());
        QCOMPARE(form->Rescue_path(), rescue);
        QVERIFY(Read_bytes(rescue).contains(
            QStringLiteral("メモ: 散歩\n本文:\n晴れ。\n散歩した。\n").toUtf8()));
    }

    void A_failed_save_on_sigterm_writes_the_rescue_file()
    {
        auto form = Start();
        Write_diary_entry(*form);
        // A file where the index belongs is not an index the store can read.
        QVERIFY(QFile::remove(At("2026/keyword.txt")));
        QVERIFY(QDir().mkpath(At("2026/keyword.txt")));
        End(*form, Ending::Sigterm);
        QVERIFY(!form->isVisible());
        QCOMPARE(Entries(At("2026")), QStringList({"keyword.txt"}));
        QCOMPARE(form->Rescue_path(), At("sorane-rescue-20261207-213015.txt"));
        QVERIFY(Read_bytes(form->Rescue_path())
                    .contains(QStringLiteral("メモ: 散歩\n本文:\n晴れ。\n散歩した。\n").toUtf8()));
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                    "1", "2025/12/7", "2026/12/07", "mada"}));
    }

    void A_day_file_that_could_not_be_read_is_never_written_over()
    {
        QVERIFY(QDir().mkpath(At("2026/1207.txt")));
        const QString reason =
            QStringLiteral("ファイル: %1\n理由: ファイルの場所に同じ名前のフォルダーがあります。")
                .arg(At("2026/1207.txt"));
        fake->Expect_box(QStringLiteral("日記を読み込めませんでした。\n") + reason +
                             QStringLiteral("\n\nこの日の日記は、ファイルを守るため保存しません。"),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        auto form = Start();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("あ"));
        fake->Expect_box(
            QStringLiteral("読み込めなかった日記を上書きしないよう、保存しませんでした。\n") +
                reason +
                QStringLiteral("\n\nこのまま終了しますか？\n"
                               "「はい」：終了します。書いた日記は、プログラムのフォルダーの"
                               "「sorane-rescue-20261207-213015.txt」に書き出します。\n") +
                Back_to_text,
            App_title, Icon::Exclamation, Buttons::Yes_no, Answer::Yes);
        End(*form, Ending::Button);
        QVERIFY(form->Ended());
        QVERIFY(QFileInfo(At("2026/1207.txt")).isDir());
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_only);
        QVERIFY(QFileInfo::exists(At("sorane-rescue-20261207-213015.txt")));
    }

    void Characters_code_page_932_cannot_hold_are_kept_exactly()
    {
        auto form = Start();
        auto* note = form->findChild<QLabel*>(QStringLiteral("Chars_note"));
        QVERIFY(note);
        QVERIFY(note->isHidden());
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("絵文字😀と𠮷野家とcafé"));
        Controls_of(*form).Text6->setText(QStringLiteral("誕生日🎂"));
        // Told in the window, memo first, without a question.
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QStringLiteral("Windows版では「🎂😀𠮷é」が「?」で表示されます"));
        QVERIFY(Controls_of(*form).Text2->geometry().contains(
            note->geometry().translated(Controls_of(*form).Text2->pos())));
        QTest::mouseClick(Controls_of(*form).Command2, Qt::LeftButton);
        QVERIFY(form->Ended());
        // The Shift_JIS files hold the substitutes, byte for byte.
        QCOMPARE(Read_bytes(At("2026/1207.txt")),
                 Hex("8a 47 95 b6 8e 9a 3f 82 c6 3f 96 ec 89 c6 82 c6 63 61 66 3f 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 92 61 90 b6 93 fa 3f 0d 0a"));
        QCOMPARE(Entries(At("2026")), QStringList({"1207.txt", "1207.utf8.txt", "keyword.txt"}));

        // Started again: the panel shows the day exactly, and the fortune
        // counts its text as typed (a surrogate pair is two).
        form = Start();
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("絵文字😀と𠮷野家とcafé"));
        QCOMPARE(Controls_of(*form).Text6->text(), QStringLiteral("誕生日🎂"));
        QCOMPARE(Fortune_text_length(Controls_of(*form).Text2->toPlainText()), 15);
        note = form->findChild<QLabel*>(QStringLiteral("Chars_note"));
        QVERIFY(!note->isHidden());
        // Gone with the last such character.
        Controls_of(*form).Text6->setText(QStringLiteral("誕生日"));
        Controls_of(*form).Text2->setPlainText(QStringLiteral("絵文字"));
        QVERIFY(note->isHidden());
        End(*form, Ending::Button);
        QCOMPARE(Entries(At("2026")), QStringList({"1207.txt", "keyword.txt"}));
    }

    // ---- A word still being composed in the input method -----------------

    void A_composed_word_is_saved_once_however_the_input_method_answers_data()
    {
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<Im_answer>("answer");
        const struct {
            const char* name;
            Ending ending;
        } endings[] = {{"button", Ending::Button},
                       {"menu", Ending::Menu},
                       {"close box", Ending::Close_box},
                       {"SIGTERM", Ending::Sigterm}};
        const struct {
            const char* name;
            Im_answer answer;
        } answers[] = {{"no answer", Im_answer::Nothing},
                       {"commit twice", Im_answer::Commit_twice},
                       {"commit to the memo", Im_answer::Commit_to_memo}};
        for (const auto& e : endings)
            for (const auto& a : answers)
                QTest::addRow("%s, %s", e.name, a.name) << e.ending << a.answer;
    }

    void A_composed_word_is_saved_once_however_the_input_method_answers()
    {
        QFETCH(Ending, ending);
        QFETCH(Im_answer, answer);
        auto form = Start();
        QWidget* const text = Controls_of(*form).Text2;
        QWidget* const memo = Controls_of(*form).Text6;
        fake->input_method_answer = [answer, text, memo] {
            switch (answer) {
            case Im_answer::Nothing: break;
            case Im_answer::Commit_twice:
                Send_input_method(text, QStringLiteral("きょう"));
                Send_input_method(text, QStringLiteral("きょう"));
                break;
            case Im_answer::Commit_to_memo:
                Send_input_method(memo, QStringLiteral("きょう"));
                break;
            }
        };
        Controls_of(*form).Text2->setFocus();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("今日は"));
        Send_input_method(Controls_of(*form).Text2, {}, QStringLiteral("きょう"));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(),
                 QStringLiteral("今日は"));  // not in the text yet

        End(*form, ending);
        QVERIFY(form->Ended());
        QCOMPARE(fake->input_method_commits, 1);
        QCOMPARE(Read_bytes(At("2026/1207.txt")),
                 Hex("8d a1 93 fa 82 cd 82 ab 82 e5 82 a4 0d 0a"));  // 今日はきょう
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_only);
        QVERIFY(Entries(folder->Path()).filter(QStringLiteral("rescue")).isEmpty());
    }

    void A_word_composed_in_the_memo_is_saved_once_by_SIGTERM()
    {
        auto form = Start();
        QWidget* const memo = Controls_of(*form).Text6;
        fake->input_method_answer = [memo] {
            Send_input_method(memo, QStringLiteral("日記"));
            Send_input_method(memo, QStringLiteral("日記"));
        };
        Controls_of(*form).Text6->setFocus();
        Send_input_method(Controls_of(*form).Text6, {}, QStringLiteral("日記"));
        End(*form, Ending::Sigterm);
        QCOMPARE(fake->input_method_commits, 1);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 93 fa 8b 4c 0d 0a"));  // 2026/12/070日記
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("0d 0a"));
    }

    void Nothing_composed_asks_nothing_of_the_input_method()
    {
        auto form = Start();
        Controls_of(*form).Text2->setFocus();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨"));
        Send_input_method(Controls_of(*form).Text2, QStringLiteral("日記"),
                          QStringLiteral("にっき"));
        Send_input_method(Controls_of(*form).Text2,
                          QStringLiteral("にっき"));  // the composition committed
        End(*form, Ending::Menu);
        QCOMPARE(fake->input_method_commits, 0);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("89 4a 93 fa 8b 4c 82 c9 82 c1 82 ab 0d 0a"));
    }

    // An input method that finishes the composition on its own a moment
    // after the program did: its copy does not go into the next day.
    void A_late_copy_from_the_input_method_stays_out_of_the_next_day()
    {
        auto form = Start();
        QVERIFY(Leave_a_day_while_composing(*form));
        Send_input_method(Controls_of(*form).Text2, {});  // nothing shown, nothing committed
        Send_input_method(Controls_of(*form).Text2, QStringLiteral("きょう"));  // the late copy
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QString());
        Send_input_method(Controls_of(*form).Text2, {}, QStringLiteral("あめ"));
        Send_input_method(Controls_of(*form).Text2, QStringLiteral("雨"));
        // The watch is over: the same text once more is the user's.
        Send_input_method(Controls_of(*form).Text2, QStringLiteral("きょう"));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("雨きょう"));
        End(*form, Ending::Button);
        QCOMPARE(Read_bytes(At("2026/1208.txt")), Hex("89 4a 82 ab 82 e5 82 a4 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("82 ab 82 e5 82 a4 0d 0a"));
    }

    void The_user_s_next_word_after_a_commit_is_kept_even_when_it_is_the_same()
    {
        auto form = Start();
        QVERIFY(Leave_a_day_while_composing(*form));
        // Composed again and committed by the user: shown first, so not a copy.
        Send_input_method(Controls_of(*form).Text2, {}, QStringLiteral("きょう"));
        Send_input_method(Controls_of(*form).Text2, QStringLiteral("きょう"));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("きょう"));
        End(*form, Ending::Sigterm);
        QCOMPARE(Read_bytes(At("2026/1208.txt")), Hex("82 ab 82 e5 82 a4 0d 0a"));
    }

    // ---- A day changed elsewhere ---------------------------------------

    void A_day_changed_on_disk_asks_which_version_to_keep_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("the files' version") << Answer::Yes;
        QTest::newRow("the panel's version") << Answer::No;
        QTest::newRow("back to the text") << Answer::Cancel;
    }
    void A_day_changed_on_disk_asks_which_version_to_keep()
    {
        QFETCH(Answer, answer);
        auto form = Start();
        Write_diary_entry(*form);
        QVERIFY(Write_bytes(At("2026/1207.txt"), Hex("89 4a 81 42 0d 0a")));  // 雨。 from elsewhere
        const QString copy = QStringLiteral("2026/1207.conflict-20261207-213015.txt");
        fake->Expect_box(Changed_day_question(copy), App_title, Icon::Exclamation,
                         Buttons::Yes_no_cancel, answer);
        // A move of the day bar saves the day left first.
        Controls_of(*form).VScroll3->setValue(8);
        QCOMPARE(Controls_of(*form).VScroll3->value(), answer == Answer::Cancel ? 7 : 8);
        if (answer == Answer::Cancel) {
            QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
            QCOMPARE(Entries(At("2026")), QStringList({"1207.txt", "keyword.txt"}));
            return;
        }
        Controls_of(*form).VScroll3->setValue(7);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(),
                 answer == Answer::Yes ? QStringLiteral("雨。") : Day_text);
        // The copy's memo and flag differ from those kept, so they head it.
        QCOMPARE(Read_bytes(At(copy)),
                 answer == Answer::Yes
                     ? Hex("83 81 83 82 81 46 8e 55 95 e0 0d 0a"                 // メモ：散歩
                           "8e 76 82 a2 8f 6f 81 46 82 a0 82 e8 0d 0a 0d 0a") +  // 思い出：あり
                           Day_file_bytes
                     : Hex("83 81 83 82 81 46 0d 0a"  // メモ：
                           "8e 76 82 a2 8f 6f 81 46 82 c8 82 b5 0d 0a 0d 0a 89 4a 81 42 0d 0a"));
        QCOMPARE(form->windowTitle(),
                 App_title + QStringLiteral("　（この日の別の版：%1）").arg(copy));
    }

    void Ctrl_S_saves_the_day_now_with_the_question_of_leaving_it()
    {
        auto form = Start();
        QApplication::setActiveWindow(form.get());
        QTRY_VERIFY(form->isActiveWindow());
        Write_diary_entry(*form);
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(form->Session().Diary_date(), (Panel_date{2026, 12, 7}));
        // Changed elsewhere meanwhile: asked as a move would ask; going back
        // writes nothing.
        QVERIFY(Write_bytes(At("2026/1207.txt"), Hex("89 4a 81 42 0d 0a")));
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("。"));
        fake->Expect_box(
            Changed_day_question(QStringLiteral("2026/1207.conflict-20261207-213015.txt")),
            App_title, Icon::Exclamation, Buttons::Yes_no_cancel, Answer::Cancel);
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("89 4a 81 42 0d 0a"));
        QVERIFY(Controls_of(*form).Text2->toPlainText().endsWith(QStringLiteral("。")));
    }

    void The_recovery_record_goes_once_the_day_is_saved_or_the_edit_taken_back()
    {
        QTemporaryDir state;
        auto form = Start();
        Recovery_control recovery(*form, state.path());
        recovery.Set_delay(0);
        const auto record = [&] {
            recovery.Wait();
            return Read_bytes(recovery.Own_path());
        };
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨"));
        QTRY_VERIFY(record().contains("\"text\": \"雨\""));
        // Taken back by hand: nothing left to keep.
        Controls_of(*form).Text2->setPlainText(QString());
        QTRY_VERIFY(!QFile::exists(recovery.Own_path()));
        Controls_of(*form).Text6->setText(QStringLiteral("散歩"));
        QTRY_VERIFY(record().contains("\"memo\": \"散歩\""));
        Controls_of(*form).Menu_save->trigger();
        recovery.Wait();
        QVERIFY(!QFile::exists(recovery.Own_path()));
        QCOMPARE(QDir(state.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void An_unedited_day_changed_on_disk_is_shown_fresh_when_the_window_is_active_again()
    {
        QVERIFY(QDir().mkpath(At("2025")));
        auto form = Start();
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        // Both days are written elsewhere while the window is in the back.
        QVERIFY(Write_bytes(At("2026/1207.txt"), Day_file_bytes));
        QVERIFY(Write_bytes(At("2025/1207.txt"), Hex("90 e1 81 42 0d 0a")));  // 雪。
        const QString sync = QStringLiteral("1207.sync-conflict-20261207-101010-ABCDEFG.txt");
        QVERIFY(Write_bytes(At("2026/" + sync), Day_file_bytes));
        QApplication::setActiveWindow(form.get());
        QTRY_VERIFY(form->isActiveWindow());
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), QStringLiteral("雪。"));
        QCOMPARE(form->windowTitle(),
                 App_title + QStringLiteral("　（この日の別の版：2026/%1）").arg(sync));
        // An edited day stays as the user has it.
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨"));
        QApplication::setActiveWindow(&elsewhere);
        QVERIFY(Write_bytes(At("2026/1207.txt"), Hex("89 4a 81 42 0d 0a")));
        QApplication::setActiveWindow(form.get());
        QTRY_VERIFY(form->isActiveWindow());
        QVERIFY(Controls_of(*form).Text2->toPlainText().contains(QStringLiteral("雨")));
        QVERIFY(Controls_of(*form).Text2->toPlainText().contains(Day_text));
    }
};

QTEST_MAIN(Test_main_form)
#include "test_main_form.moc"
