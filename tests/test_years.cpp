// The page of one date in every year and the quick moves of the diary
// panel, on a fresh program folder and a set clock (7 December 2026): the
// page's blocks, order and words from files written here as bytes, a click
// on a year, the page following the panel; the previous and next day keys,
// today and the calendar, each saving the day being left first; where the
// caret and Tab go.

#include "app/main_form.h"
#include "dialogs/calendar_window.h"
#include "dialogs/years_window.h"
#include "support/diary_fixture.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;

// 雨 CR LF, and 晴れ CR LF 風 CR LF
const QByteArray Rain_file = Hex("89 4a 0d 0a");
const QByteArray Fine_file = Hex("90 b0 82 ea 0d 0a 95 97 0d 0a");

}  // namespace

class Test_years : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    bool Put(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(At(relative)).absolutePath());
        return Write_bytes(At(relative), bytes);
    }
    // Ten years of 7 December: 2016 to 2025, each "雨" but 2025 (晴れ, 風,
    // memo 散歩, a memory day).
    bool Put_ten_years()
    {
        for (int year = 2016; year <= 2024; ++year) {
            if (!Put(QStringLiteral("%1/1207.txt").arg(year), Rain_file))
                return false;
        }
        return Put("2025/1207.txt", Fine_file) &&
               Put("2025/keyword.txt",
                   Hex("32 30 32 35 2f 31 32 2f 30 37 31 8e 55 95 e0 0d 0a"));  // 2025/12/071散歩
    }
    Years_window* Open_page(Main_form& form)
    {
        Controls_of(form).Menu_years->trigger();
        return Probe(form).years_window;
    }
    static QStringList Diary_date(Main_form& f)
    {
        return {Controls_of(f).Text3->text(), Controls_of(f).Text4->text(),
                Controls_of(f).Text5->text()};
    }
    static QList<int> Diary_bars(Main_form& f)
    {
        return {Controls_of(f).VScroll1->value(), Controls_of(f).VScroll2->value(),
                Controls_of(f).VScroll3->value()};
    }
    static bool Activate(QWidget& window)
    {
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    // Clicks the heading of the year on the page.
    static void Click_heading(Years_window& page, int year)
    {
        QPlainTextEdit* text = page.Text1;
        QTextBlock block = text->document()->begin();
        while (block.isValid() && block.userState() != year)
            block = block.next();
        QVERIFY(block.isValid());
        QTextCursor cursor(block);
        text->setTextCursor(cursor);
        text->ensureCursorVisible();
        const QRect rect = text->cursorRect(cursor);
        QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, QPoint(20, rect.center().y()));
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    // ---- The page -------------------------------------------------------

    void The_page_shows_every_year_of_the_date_newest_first()
    {
        QVERIFY(Put_ten_years());
        QVERIFY(Put("2026/1208.txt", Rain_file));  // another day
        auto form = Start();
        Years_window* page = Open_page(*form);
        QVERIFY(page && page->isVisible());
        QVERIFY(page->windowTitle().startsWith(QStringLiteral("この日の百年")));
        QCOMPARE(page->windowTitle(), QStringLiteral("この日の百年　12月7日"));
        // This year has the record start-up makes for today.
        QCOMPARE(page->Years_shown(),
                 (QList<int>{2026, 2025, 2024, 2023, 2022, 2021, 2020, 2019, 2018, 2017, 2016}));
        const QString text = page->Text1->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("2025年12月7日（日）　1年前　★思い出\n"
                                              "メモ：散歩\n晴れ\n風\n")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("2016年12月7日（水）　10年前\n雨")));
        QVERIFY(text.contains(QStringLiteral("2026年12月7日（月）　今年\n")));
        QVERIFY(page->Text1->isReadOnly());
        QCOMPARE(page->Text1->font().family(), Diary_font().family());

        // Select all and copy: the whole page.
        QVERIFY(Activate(*page));
        page->Text1->setFocus();
        QTest::keyClick(page->Text1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(page->Text1, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);
        page->close();
        QVERIFY(!page->isVisible());
    }

    void The_oldest_first_order_is_remembered()
    {
        QVERIFY(Put_ten_years());
        {
            auto form = Start();
            Years_window* page = Open_page(*form);
            QVERIFY(!page->Check1->isChecked());
            // The Windows program's settings file is never changed for it.
            const QByteArray settings = Read_bytes(At("sorane.ini"));
            page->Check1->click();
            QCOMPARE(Read_bytes(At("sorane.ini")), settings);
            QCOMPARE(page->Years_shown().first(), 2016);
            QCOMPARE(page->Years_shown().last(), 2026);
            page->close();
        }
        QVERIFY(Read_bytes(At("sorane-linux.ini")).contains("oldest_first=true"));
        auto form = Start();
        Years_window* page = Open_page(*form);
        QVERIFY(page->Check1->isChecked());
        QCOMPARE(page->Years_shown().first(), 2016);
        page->close();
    }

    void The_twenty_ninth_of_february_shows_the_leap_years()
    {
        QVERIFY(Put("2024/0229.txt", Rain_file));
        QVERIFY(Put("2020/0229.txt", Fine_file));
        QVERIFY(Put("2023/0228.txt", Rain_file));
        auto form = Start();
        Probe(*form).Go_to_diary_day({2024, 2, 29});
        QCOMPARE(Diary_date(*form), QStringList({"2024", "2", "29"}));
        Years_window* page = Open_page(*form);
        QCOMPARE(page->Years_shown(), (QList<int>{2024, 2020}));
        QVERIFY(page->Text1->toPlainText().contains(
            QStringLiteral("2020年2月29日（土）　6年前\n晴れ\n風")));
        page->close();
    }

    void A_date_without_entries_says_so()
    {
        auto form = Start();
        Probe(*form).Go_to_diary_day({2026, 3, 15});
        Years_window* page = Open_page(*form);
        QVERIFY(page->Years_shown().isEmpty());
        QCOMPARE(page->Text1->toPlainText(),
                 QStringLiteral("3月15日の日記は、1990年から2100年までのどの年にもありません。"));
        page->close();
    }

    void A_day_file_that_cannot_be_read_is_shown_as_such_and_kept()
    {
        QVERIFY(Put_ten_years());
        QVERIFY(QFile::remove(At("2020/1207.txt")));
        QVERIFY(QDir().mkpath(At("2020/1207.txt")));  // a folder at the day's name
        auto form = Start();
        const auto before = File_tree(folder->Path());
        Years_window* page = Open_page(*form);
        QVERIFY(page->Years_shown().contains(2020));
        const QString reason =
            Io_reason(Io_result::Failure(Io_step::Not_a_file, EISDIR, At("2020/1207.txt")));
        QVERIFY2(page->Text1->toPlainText().contains(
                     QStringLiteral(
                         "2020年12月7日（月）　6年前\n（この日の日記を読み込めませんでした：%1）")
                         .arg(reason)),
                 qPrintable(page->Text1->toPlainText()));
        page->close();
        QCOMPARE(File_tree(folder->Path()), before);
    }

    void A_click_on_a_year_shows_that_day_in_the_reference_panel()
    {
        QVERIFY(Put_ten_years());
        QVERIFY(Put("2018/1207.txt", Fine_file));
        auto form = Start();
        Years_window* page = Open_page(*form);
        QVERIFY(Activate(*page));
        Click_heading(*page, 2018);
        QCOMPARE(Controls_of(*form).Text7->text(), QStringLiteral("2018"));
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), QStringLiteral("晴れ\n風"));
        QCOMPARE(form->Session().Reference_date(), (Panel_date{2018, 12, 7}));
        // Selecting text by dragging over a heading moves nothing.
        Click_heading(*page, 2025);
        QCOMPARE(Controls_of(*form).Text7->text(), QStringLiteral("2025"));
        page->Text1->selectAll();
        const QRect first = page->Text1->cursorRect(QTextCursor(page->Text1->document()));
        QTest::mouseRelease(page->Text1->viewport(), Qt::LeftButton, {},
                            QPoint(20, first.center().y()));
        QCOMPARE(Controls_of(*form).Text7->text(), QStringLiteral("2025"));
        page->close();
    }

    void The_page_follows_the_diary_panel()
    {
        QVERIFY(Put_ten_years());
        QVERIFY(Put("2019/1208.txt", Fine_file));
        auto form = Start();
        Years_window* page = Open_page(*form);
        Controls_of(*form).Menu_next_day->trigger();
        QCOMPARE(page->windowTitle(), QStringLiteral("この日の百年　12月8日"));
        QCOMPARE(page->Years_shown(), (QList<int>{2019}));
        // Moved by its bars too.
        Controls_of(*form).VScroll2->setValue(11);
        QCOMPARE(Controls_of(*form).Text4->text(), QStringLiteral("11"));
        QCOMPARE(page->windowTitle(), QStringLiteral("この日の百年　11月8日"));
        // Hidden, it is left alone until it is opened again.
        page->close();
        Controls_of(*form).Menu_next_day->trigger();
        QCOMPARE(page->Month() * 100 + page->Day(), 1108);
        Open_page(*form);
        QCOMPARE(page->Month() * 100 + page->Day(), 1109);
        page->close();
    }

    // ---- Moving quickly -------------------------------------------------

    void The_day_keys_save_first_and_move_one_day()
    {
        auto form = Start();
        QVERIFY(Activate(*form));
        Write_diary_entry(*form);
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 8}));
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text6->text(), Day_memo);
        QVERIFY(Controls_of(*form).Check1->isChecked());

        // Over the end of a year and back.
        Probe(*form).Go_to_diary_day({2026, 12, 31});
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(Diary_bars(*form), QList<int>({2027, 1, 1}));
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 31}));
        // The last day the diary holds goes no further.
        Probe(*form).Go_to_diary_day({2100, 12, 31});
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(Diary_bars(*form), QList<int>({2100, 12, 31}));
        QCOMPARE(fake->calls.count(QStringLiteral("beep")), 1);
        QVERIFY(!QFileInfo::exists(At("2101")));
    }

    void A_declined_save_keeps_the_panel_on_its_day()
    {
        auto form = Start();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨😀"));
        const QString question = Change_day_elsewhere();
        const auto tree = File_tree(folder->Path());
        fake->Expect_box(question, App_title, Icon::Exclamation, Buttons::Yes_no_cancel,
                         Answer::Cancel);
        Controls_of(*form).Menu_next_day->trigger();
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 7}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("雨😀"));
        QCOMPARE(File_tree(folder->Path()), tree);
        form.reset();
    }

    void Today_brings_the_panel_back_saving_first()
    {
        auto form = Start();
        Probe(*form).Go_to_diary_day({2020, 5, 5});
        Write_diary_entry(*form);
        Controls_of(*form).Menu_today->trigger();
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(Read_bytes(At("2020/0505.txt")), Day_file_bytes);
        // Past midnight, today is the clock's new day.
        fake->now = QDateTime(QDate(2026, 12, 8), QTime(0, 5));
        Controls_of(*form).Menu_today->trigger();
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));
        QCOMPARE(Controls_of(*form).Menu_today->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    }

    void The_calendar_marks_entries_and_memory_days_and_moves_the_panel()
    {
        QVERIFY(Put("2026/keyword.txt",
                    Hex("32 30 32 36 2f 31 31 2f 30 33 31 0d 0a"      // 11/03 memory
                        "32 30 32 36 2f 31 31 2f 31 30 30 0d 0a"      // 11/10 with a file
                        "32 30 32 36 2f 31 31 2f 32 30 30 0d 0a")));  // 11/20 nothing
        QVERIFY(Put("2026/1110.txt", Fine_file));
        QVERIFY(Put("2025/1231.txt", Rain_file));
        auto form = Start();
        Write_diary_entry(*form);
        fake->Expect_modal([](QDialog& dialog) {
            auto& window = dynamic_cast<Calendar_window&>(dialog);
            Marked_calendar* calendar = window.Calendar1;
            calendar->setCurrentPage(2026, 11);
            const auto weight = [&](int m, int d) {
                return calendar->dateTextFormat(QDate(2026, m, d)).fontWeight();
            };
            const auto ground = [&](int m, int d) {
                return calendar->dateTextFormat(QDate(2026, m, d)).background();
            };
            if (weight(11, 3) != QFont::Bold || ground(11, 3).style() == Qt::NoBrush ||
                weight(11, 10) != QFont::Bold || ground(11, 10).style() != Qt::NoBrush ||
                weight(11, 20) == QFont::Bold || weight(11, 21) == QFont::Bold)
                return int(QDialog::Rejected);
            // January's page shows the last days of the year before.
            if (calendar->dateTextFormat(QDate(2025, 12, 31)).fontWeight() == QFont::Bold)
                return int(QDialog::Rejected);
            calendar->setCurrentPage(2026, 1);
            if (calendar->dateTextFormat(QDate(2025, 12, 31)).fontWeight() != QFont::Bold)
                return int(QDialog::Rejected);
            window.Date1->setDate(QDate(2026, 11, 10));
            return int(QDialog::Accepted);
        });
        Controls_of(*form).Menu_calendar->trigger();
        QCOMPARE(Diary_date(*form), QStringList({"2026", "11", "10"}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("晴れ\n風"));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);

        // Cancelled: nothing moves.
        fake->Expect_modal([](QDialog&) { return int(QDialog::Rejected); });
        Controls_of(*form).Menu_calendar->trigger();
        QCOMPARE(Diary_date(*form), QStringList({"2026", "11", "10"}));
    }

    // ---- Keyboard comfort -----------------------------------------------

    void The_caret_starts_at_the_end_of_the_diary_text_and_tab_moves_on()
    {
        QVERIFY(Put("2026/1207.txt", Fine_file));
        auto form = Start();
        QVERIFY(Activate(*form));
        QCOMPARE(QApplication::focusWidget(), Controls_of(*form).Text2);
        QVERIFY(Controls_of(*form).Text2->textCursor().atEnd());
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("晴れ\n風\t"));
        QTest::keyClick(Controls_of(*form).Text2, Qt::Key_Tab);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("晴れ\n風\t"));
        QVERIFY(QApplication::focusWidget() != Controls_of(*form).Text2);
        form.reset();
    }
};

QTEST_MAIN(Test_years)
#include "test_years.moc"
