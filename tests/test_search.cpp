// The two search windows on a set clock and a fresh program folder: which
// days they list and in which order, what a recall hands to the reference
// panel and in which order, the words of their messages, and that every
// opening of the kept window starts afresh. Index files are written here
// as bytes (memos as code page 932 hex).

#include "app/main_form.h"
#include "dialogs/f_memo.h"
#include "dialogs/f_omoide.h"
#include "store/day_list.h"
#include "support/diary_fixture.h"
#include "ui/io_message.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>
#include <cerrno>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;

const QString No_day = QStringLiteral("呼び出す日が指定されていません");
const QString Title = QStringLiteral("【ソラネ】Ver.2.0");

// One index line: the ASCII date key and flag, then the memo as code page
// 932 hex, then CR LF.
QByteArray Line(const char* key_and_flag, const char* memo_hex = "")
{
    return QByteArray(key_and_flag) + Hex(memo_hex) + "\r\n";
}

// 2026's index in the order the days were first saved.
const QByteArray Memory_index = Line("2026/12/071", "8e 55 95 e0")          // 散歩
                                + Line("2026/03/070", "89 4a")              // 雨, not a memory
                                + Line("2026/01/151")                       // no memo
                                + Line("2026/05/051", "b6 da b0")           // ｶﾚｰ
                                + Line("2026/05/051", "83 4a 83 8c 81 5b")  // カレー
                                + Line("2026/02/011", "93 af 82 b6")        // 同じ
                                + Line("2026/02/011", "93 af 82 b6");       // 同じ, again

const QStringList Memory_rows = {
    "年/月/日|メ　モ",   "2026/01/15|",    "2026/02/01|同じ", "2026/02/01|同じ",
    "2026/05/05|カレー", "2026/05/05|ｶﾚｰ", "2026/12/07|散歩", "|",
};

// Memos that differ only in case, width or kana kind.
const QByteArray Memo_index = Line("2026/12/071", "8e 55 95 e0")  // 散歩
                              + Line("2026/01/101Apple pie") +
                              Line("2026/02/200", "82 60 82 6f 82 6f 82 6b 82 64")  // ＡＰＰＬＥ
                              + Line("2026/03/301", "82 e8 82 f1 82 b2")            // りんご
                              + Line("2026/04/040", "83 8a 83 93 83 53")            // リンゴ
                              + Line("2026/05/051", "d8 dd ba de")                  // ﾘﾝｺﾞ
                              + Line("2026/06/060");

QStringList Rows(const QTableWidget* grid)
{
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        const QTableWidgetItem* date = grid->item(r, 0);
        const QTableWidgetItem* memo = grid->item(r, 1);
        rows << (date ? date->text() : QString()) + '|' + (memo ? memo->text() : QString());
    }
    return rows;
}

void Click_row(QTableWidget* grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

// As the desktop sends it: a click, then the second press as a double click.
void Double_click_row(QTableWidget* grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

// The list's header, which shows row 0's texts above the rows.
QPoint Header_point(QTableWidget* grid)
{
    QHeaderView* header = grid->horizontalHeader();
    return {header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2};
}
void Click_header(QTableWidget* grid)
{
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, Header_point(grid));
}
void Double_click_header(QTableWidget* grid)
{
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, Header_point(grid));
    QTest::mouseDClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                       Header_point(grid));
}

// The focusable controls of a window in tab order, starting at first.
QList<QWidget*> Tab_chain(QWidget* window, const QList<QWidget*>& controls)
{
    QList<QWidget*> chain;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (controls.contains(w) && (w->focusPolicy() & Qt::TabFocus))
            chain << w;
    }
    const qsizetype start = chain.indexOf(controls.first());
    if (start > 0)
        chain = chain.mid(start) + chain.mid(0, start);
    return chain;
}

enum class Window {
    Omoide,
    Memo
};
enum class Way {
    Button,
    Double_click
};
enum class Closing {
    End_button,
    Close_box,
    Escape
};

}  // namespace

Q_DECLARE_METATYPE(Window)
Q_DECLARE_METATYPE(Way)
Q_DECLARE_METATYPE(Closing)

class Test_search : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    bool left_open = false;

    // Opens the window from its menu entry; body plays the user while the
    // window is shown. left_open tells whether it was still shown after.
    template <class W>
    void Run(Main_form& form, std::function<void(W&)> body)
    {
        left_open = false;
        fake->Expect_modal([this, body](QDialog& d) {
            auto* w = qobject_cast<W*>(&d);
            if (!w)
                return -1;
            d.show();
            if (!QTest::qWaitForWindowExposed(&d))
                return -1;
            body(*w);
            left_open = d.isVisible();
            d.hide();
            return d.result();
        });
        if constexpr (std::is_same_v<W, F_omoide>)
            Controls_of(form).Menu_omoide->trigger();
        else
            Controls_of(form).Menu_memo->trigger();
    }
    void Omoide(Main_form& form, std::function<void(F_omoide&)> body) { Run<F_omoide>(form, body); }
    void Memo(Main_form& form, std::function<void(F_memo&)> body) { Run<F_memo>(form, body); }

    // Runs body in the chosen window after a search for every record (the
    // memo window) or at once (the memory list).
    void Either(Main_form& form, Window which, std::function<void(Day_list_window&)> body)
    {
        if (which == Window::Omoide) {
            Omoide(form, [&](F_omoide& w) { body(w); });
        } else {
            Memo(form, [&](F_memo& w) {
                w.Command3->click();
                body(w);
            });
        }
    }
    // The records' count the chosen window keeps; -1 before it first opens.
    static int Count(Main_form& form, Window which)
    {
        const Day_list_window* w = which == Window::Omoide
                                       ? static_cast<Day_list_window*>(Probe(form).f_omoide)
                                       : static_cast<Day_list_window*>(Probe(form).f_memo);
        return w ? w->Keyword_count() : -1;
    }
    void Expect_no_day()
    {
        fake->Expect_box(No_day, Title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean({"Main_form"}); }

    // ---- The record tests and the order, without a window ---------------

    void Only_a_text_of_digits_names_a_year_folder()
    {
        const QList<std::pair<QString, QString>> named = {
            {"2025", "2025"},
            {"995", "0995"},
            {"5", "0005"},
            {"0", "0000"},
            {"02025", "2025"},
            {"0000995", "0995"},
            {"12345", "12345"},
            {" 2025", "2025"},
            {"2025 ", "2025"},
            {"2025\n", "2025"},
            {"\t2025", "2025"},
            {"２０２５", "2025"},
            {"　２０２６　", "2026"},
            {"２0２6", "2026"},
            {"０９９５", "0995"},
        };
        for (const auto& [text, name] : named)
            QCOMPARE(Year_folder_name(text).value_or("(none)"), name);
        for (const QString text :
             {"", " ", "　", "..", "../..", "2025/..", "/tmp", "/", "-1", "+2025", "2025.0",
              "20 25", "２０　２５", "２０２５．", "／２０２５", "٢٠٢٥", "2025x", "ｘ"})
            QVERIFY2(!Year_folder_name(text), qPrintable(text));
    }

    void The_keyword_test_compares_the_whole_line_exactly()
    {
        const QString line = QStringLiteral("2026/12/071Apple ﾘﾝｺﾞとりんご");
        for (const QString keyword : {"", "/", "Apple", "pple ", "071A", "12", "りんご", "ﾘﾝｺﾞ"})
            QVERIFY2(Keyword_test(line, keyword), qPrintable(keyword));
        for (const QString keyword :
             {"apple", "APPLE", "Ａｐｐｌｅ", "リンゴ", "りんこ", "ﾘﾝｺ ", "2026/12/070", "Apple  "})
            QVERIFY2(!Keyword_test(line, keyword), qPrintable(keyword));
        QVERIFY(Keyword_test(QString(), QString()));
        QVERIFY(!Keyword_test(QString(), "/"));
    }

    void The_memory_test_wants_the_flag_in_the_eleventh_place()
    {
        QVERIFY(Memory_test("2026/01/151"));
        QVERIFY(Memory_test("2026/01/151x"));
        QVERIFY(!Memory_test("2026/01/150"));
        QVERIFY(!Memory_test("2026/01/15"));
        QVERIFY(!Memory_test("2026/1/151"));  // the "1" is tenth
        QVERIFY(!Memory_test(""));
        QVERIFY(!Memory_test("2026/01/15 1"));
    }

    void Lists_sort_by_code_units_and_keep_equal_lines_in_file_order()
    {
        const QString high = QString::fromUcs4(U"2026/01/011\U00020BB7");  // D842 DFB7
        const QStringList lines = {
            "2026/03/011b",   // 1
            "2026/03/011B",   // 2
            "2026/03/011b",   // 3
            "2026/01/011ｱ",   // 4 U+FF71
            high,             // 5
            "2026/01/011ア",  // 6 U+30A2
            "2026/01/011あ",  // 7 U+3042
            "2026/03/011b",   // 8
            "2026/01/010a",   // 9 not a memory
        };
        const QList<Listed_record> sorted = Select_and_sort(lines, Memory_test);
        QStringList got;
        for (const Listed_record& r : sorted)
            got << QString::number(r.file_line);
        // あ < ア < the surrogate pair < ｱ by code units (by code points the
        // pair would come last); B < b; the three equal b lines as in the file.
        QCOMPARE(got, QStringList({"7", "6", "5", "4", "2", "1", "3", "8"}));
        QCOMPARE(sorted.at(2).line, high);
        QVERIFY(Select_and_sort({}, Memory_test).isEmpty());

        // Many equal lines among others, more than a short insertion pass
        // would ever see: each run of equal lines keeps its file order.
        QStringList many;
        for (int i = 0; i < 300; ++i)
            many << QStringLiteral("2026/%1/011").arg(1 + (i * 7) % 12, 2, 10, QLatin1Char('0'));
        const QList<Listed_record> runs = Select_and_sort(many, Memory_test);
        QCOMPARE(runs.size(), 300);
        for (qsizetype i = 1; i < runs.size(); ++i) {
            QVERIFY(!Code_unit_less(runs[i].line, runs[i - 1].line));
            if (runs[i].line == runs[i - 1].line)
                QVERIFY(runs[i].file_line > runs[i - 1].file_line);
        }
        QVERIFY(Code_unit_less("2026/01/01", "2026/01/011"));
        QVERIFY(!Code_unit_less("2026/01/011", "2026/01/011"));
    }

    void Rows_and_recalled_dates_come_from_the_record()
    {
        QCOMPARE(Row_text_of("2026/12/071散歩").date, QStringLiteral("2026/12/07"));
        QCOMPARE(Row_text_of("2026/12/071散歩").memo, QStringLiteral("散歩"));
        QCOMPARE(Row_text_of("2026/01/151").memo, QString());
        QCOMPARE(Row_text_of("2026/01/151 ").memo, QStringLiteral(" "));
        QCOMPARE(Row_text_of("abc").date, QStringLiteral("abc"));
        QCOMPARE(Row_text_of("abc").memo, QString());

        const std::optional<Key_date> d = Key_date_of("2025/03/071散歩");
        QVERIFY(d);
        QCOMPARE(QList<int>({d->year, d->month, d->day}), QList<int>({2025, 3, 7}));
        const std::optional<Key_date> far = Key_date_of("0002/13/00");
        QVERIFY(far);
        QCOMPARE(QList<int>({far->year, far->month, far->day}), QList<int>({2, 13, 0}));
        for (const QString line : {"", "2025/03/0", "2025-03-071", "２０２５/03/071", "memo only",
                                   "2025/3/7 1x", " 2025/03/071"})
            QVERIFY2(!Key_date_of(line), qPrintable(line));
    }

    // ---- The windows as designed -----------------------------------------

    void The_memory_list_window_looks_as_designed()
    {
        auto form = Start();
        Omoide(*form, [&](F_omoide& w) {
            QCOMPARE(w.objectName(), QStringLiteral("F_omoide"));
            QCOMPARE(w.windowTitle(), QStringLiteral("『思い出』がチェックされている日です"));
            QCOMPARE(w.size(), QSize(Px(6615), Px(4380)));
            // Centred over the main window (9645, 4590, 9510 x 7020) by outer sizes.
            QCOMPARE(w.pos(),
                     QPoint(Px(9645 + (9510 - 6735) / 2.0), Px(4590 + (7020 - 4815) / 2.0)));
            QCOMPARE(w.palette().color(QPalette::Window), QColor(255, 255, 128));
            QCOMPARE(w.Grid1->geometry(), Px_rect(60, 60, 6495, 3795));
            QCOMPARE(w.Text1->geometry(), Px_rect(3000, 3900, 795, 435));
            QCOMPARE(w.VScroll1->geometry(), Px_rect(3780, 3900, 375, 435));
            QCOMPARE(w.Command1->geometry(), Px_rect(4320, 3900, 1035, 435));
            QCOMPARE(w.Command2->geometry(), Px_rect(5520, 3900, 1035, 435));
            QCOMPARE(w.Command1->text(), QStringLiteral("呼出し"));
            QCOMPARE(w.Command2->text(), QStringLiteral("終了"));
            QCOMPARE(w.findChild<QTableWidget*>("Grid1"), w.Grid1);
            QCOMPARE(Tab_chain(&w, {w.Command2, w.Command1, w.Text1, w.VScroll1, w.Grid1}),
                     QList<QWidget*>({w.Command2, w.Command1, w.Text1, w.VScroll1, w.Grid1}));
            QCOMPARE(w.focusWidget(), w.Command2);
            QCOMPARE(QList<int>({w.VScroll1->minimum(), w.VScroll1->maximum(),
                                 w.VScroll1->singleStep(), w.VScroll1->pageStep()}),
                     QList<int>({1990, 2100, 1, 1}));
            for (QWidget* c : QList<QWidget*>{w.Text1, w.Command1, w.Command2}) {
                QCOMPARE(c->font().family(), QStringLiteral("ＭＳ ゴシック"));
                QCOMPARE(c->font().pointSizeF(), 11.25);
            }
            QCOMPARE(w.Grid1->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
            QCOMPARE(w.Grid1->font().pointSizeF(), 9.0);
            QVERIFY(
                QFont::substitutes("ＭＳ Ｐゴシック").contains("IPAPGothic", Qt::CaseInsensitive));
            QCOMPARE(w.Grid1->columnCount(), 2);
            QCOMPARE(w.Grid1->columnWidth(0), Px(1200));
            QCOMPARE(w.Grid1->columnWidth(1), Px(5000));
            w.Command2->click();
        });
        QVERIFY(!left_open);
    }

    void The_memo_window_looks_as_designed()
    {
        auto form = Start();
        Memo(*form, [&](F_memo& w) {
            QCOMPARE(w.objectName(), QStringLiteral("F_memo"));
            QCOMPARE(w.windowTitle(), QStringLiteral("メモの中の言葉を指定して検索をします"));
            QCOMPARE(w.size(), QSize(Px(6600), Px(4740)));
            QCOMPARE(w.pos(),
                     QPoint(Px(9645 + (9510 - 6720) / 2.0), Px(4590 + (7020 - 5175) / 2.0)));
            QCOMPARE(w.palette().color(QPalette::Window), QColor(128, 255, 255));
            QCOMPARE(w.Label1->palette().color(QPalette::Window), QColor(128, 255, 255));
            QVERIFY(!w.Label1->autoFillBackground());
            QCOMPARE(w.Grid1->geometry(), Px_rect(60, 60, 6495, 3675));
            QCOMPARE(w.Text1->geometry(), Px_rect(60, 3780, 675, 435));
            QCOMPARE(w.VScroll1->geometry(), Px_rect(720, 3780, 375, 435));
            QCOMPARE(w.Label1->geometry(), Px_rect(1260, 3840, 1395, 225));
            QCOMPARE(w.Text2->geometry(), Px_rect(2640, 3780, 3915, 435));
            QCOMPARE(w.Command3->geometry(), Px_rect(2640, 4260, 1035, 435));
            QCOMPARE(w.Command2->geometry(), Px_rect(4380, 4260, 1035, 435));
            QCOMPARE(w.Command1->geometry(), Px_rect(5520, 4260, 1035, 435));
            QCOMPARE(w.Label1->text(), QStringLiteral("検索のｷｰﾜｰﾄﾞ"));
            QCOMPARE(w.Command3->text(), QStringLiteral("検索"));
            QCOMPARE(w.Command2->text(), QStringLiteral("呼出し"));
            QCOMPARE(w.Command1->text(), QStringLiteral("終了"));
            QCOMPARE(Tab_chain(&w, {w.Text2, w.Command3, w.Command2, w.Command1, w.Text1,
                                    w.VScroll1, w.Grid1}),
                     QList<QWidget*>({w.Text2, w.Command3, w.Command2, w.Command1, w.Text1,
                                      w.VScroll1, w.Grid1}));
            QVERIFY(!(w.Label1->focusPolicy() & Qt::TabFocus));
            QCOMPARE(w.focusWidget(), w.Text2);
            for (QWidget* c :
                 QList<QWidget*>{w.Text1, w.Text2, w.Label1, w.Command1, w.Command2, w.Command3}) {
                QCOMPARE(c->font().family(), QStringLiteral("ＭＳ ゴシック"));
                QCOMPARE(c->font().pointSizeF(), 11.25);
            }
            QCOMPARE(w.Grid1->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
            QCOMPARE(w.Grid1->font().pointSizeF(), 9.0);
            QCOMPARE(w.Grid1->columnWidth(0), Px(1200));
            QCOMPARE(w.Grid1->columnWidth(1), Px(5000));
            // Nothing is searched at opening.
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
            QCOMPARE(w.Text2->text(), QString());
            QCOMPARE(w.Text1->text(), QStringLiteral("2026"));
            QCOMPARE(w.Keyword_count(), 0);
            w.Command1->click();
        });
        QVERIFY(!left_open);
    }

    // ---- Listing ---------------------------------------------------------

    void Opening_lists_this_years_memory_days_earliest_first()
    {
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memory_index));
        Omoide(*form, [&](F_omoide& w) {
            QCOMPARE(w.Text1->text(), QStringLiteral("2026"));
            QCOMPARE(w.VScroll1->value(), 2026);
            QCOMPARE(Rows(w.Grid1), Memory_rows);
            QCOMPARE(w.Keyword_count(), 6);
            QCOMPARE(w.Keyword_lines().mid(1, 6),
                     QStringList({"2026/01/151", "2026/02/011同じ", "2026/02/011同じ",
                                  "2026/05/051カレー", "2026/05/051ｶﾚｰ", "2026/12/071散歩"}));
            QCOMPARE(w.Grid1->currentRow(), 0);
            // Every cell left and bottom; the date column and row 0 in the
            // header's colour, the memo cells not.
            const QColor header = w.Grid1->item(0, 1)->background().color();
            for (int r = 0; r < w.Grid1->rowCount(); ++r) {
                for (int c = 0; c < 2; ++c)
                    QCOMPARE(w.Grid1->item(r, c)->textAlignment(),
                             int(Qt::AlignLeft | Qt::AlignBottom));
                QCOMPARE(w.Grid1->item(r, 0)->background().color(), header);
                if (r > 0)
                    QCOMPARE(w.Grid1->item(r, 1)->background().style(), Qt::NoBrush);
            }
            w.Command2->click();
        });
        QCOMPARE(Probe(*form).f_omoide->Keyword_count(), 0);
        // Only read.
        QCOMPARE(Read_bytes(folder->File("2026/keyword.txt")), Memory_index);
        QCOMPARE(Entries(folder->File("2026")), QStringList({"keyword.txt"}));
    }

    void A_missing_folder_or_index_lists_nothing_and_says_nothing()
    {
        auto form = Start();
        QVERIFY(QDir().mkdir(folder->File("2024")));
        Omoide(*form, [&](F_omoide& w) {
            for (const char* year : {"2024", "2030"}) {
                w.Text1->setText(year);
                QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
                QCOMPARE(w.Keyword_count(), 0);
            }
            w.Command2->click();
        });
        QVERIFY(!QFileInfo::exists(folder->File("2030")));
        QCOMPARE(Entries(folder->File("2024")), QStringList());
    }

    void The_history_and_a_backup_folder_are_never_listed()
    {
        auto form = Start();
        // The day saved three times: its history holds the memo 散歩 and
        // the flag, the day itself now 雨 without it.
        const struct {
            const char* text;
            const char* memo;
            bool flag;
        } saves[] = {{"晴れ。", "散歩", true}, {"曇り。", "散歩", true}, {"雨。", "雨", false}};
        for (const auto& save : saves) {
            Controls_of(*form).Text2->setPlainText(QString::fromUtf8(save.text));
            Controls_of(*form).Text6->setText(QString::fromUtf8(save.memo));
            Controls_of(*form).Check1->setChecked(save.flag);
            fake->now = fake->now.addSecs(60);
            QCOMPARE(Probe(*form).Save_day(Main_form::Who::User), Main_form::Save_result::Saved);
        }
        QCOMPARE(Entries(At("history/2026")), QStringList{"1207"});
        QCOMPARE(Entries(At("history/2026/1207")).size(), 3);
        // A backup folder kept in the program folder, with an archive and a
        // year unpacked from one.
        QVERIFY(QDir().mkpath(At("sorane-backup/2026")));
        QVERIFY(Write_bytes(At("sorane-backup/2026/keyword.txt"), Memory_index));
        QVERIFY(Write_bytes(At("sorane-backup/sorane-20261207.zip"), "PK\x05\x06"));
        Memo(*form, [&](F_memo& w) {
            w.Text2->setText(QStringLiteral("散歩"));
            w.Command3->click();
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
            w.Text2->clear();
            w.Command3->click();
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "2026/12/07|雨", "|"}));
            for (const char* year : {"history", "sorane-backup", "history/2026", "1207"}) {
                w.Text1->setText(QString::fromUtf8(year));
                w.Command3->click();
                QVERIFY2(Rows(w.Grid1) == QStringList({"年/月/日|メ　モ", "|"}), year);
            }
            w.Command1->click();
        });
        Omoide(*form, [&](F_omoide& w) {
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
            w.Command2->click();
        });
        // Nor is either taken for another version of the day.
        QCOMPARE(form->windowTitle(), Title);
        QCOMPARE(form->Session().Other_versions({2026, 12, 7}), QStringList());
        End(*form);
    }

    void Year_texts_shaped_like_paths_read_nothing()
    {
        // The program lives in prog/; index files stand beside it, inside
        // it and in a year folder, where a path-shaped year would reach.
        QVERIFY(QDir().mkpath(folder->File("prog/2025")));
        const QByteArray index = Line("2025/03/071", "89 4a");
        QVERIFY(Write_bytes(folder->File("keyword.txt"), index));
        QVERIFY(Write_bytes(folder->File("prog/keyword.txt"), index));
        QVERIFY(Write_bytes(folder->File("prog/2025/keyword.txt"), index));
        auto form = Start(folder->File("prog/"));
        Omoide(*form, [&](F_omoide& w) {
            const QString outside = QDir::cleanPath(folder->Path());
            for (const QString& text :
                 {QString(".."), QString("../.."), QString("2025/.."), QString("."), QString("/"),
                  outside, QString("/../.."), QString("20 25"), QString("２０２５／"), QString(" "),
                  QString("　"), QString("2025/"), QString("")}) {
                w.Text1->setText(text);
                QVERIFY2(Rows(w.Grid1) == QStringList({"年/月/日|メ　モ", "|"}), qPrintable(text));
                QCOMPARE(w.Keyword_count(), 0);
            }
            // Blanks around the year and full-width digits, as an input
            // method types them, name the same folder.
            for (const QString& text :
                 {QString(" 2025"), QString("2025 "), QStringLiteral("２０２５"),
                  QStringLiteral("　２０２５　")}) {
                w.Text1->clear();
                w.Text1->setText(text);
                QVERIFY2(Rows(w.Grid1) == QStringList({"年/月/日|メ　モ", "2025/03/07|雨", "|"}),
                         qPrintable(text));
            }
            w.Text1->setText("2025");
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "2025/03/07|雨", "|"}));
            w.Command2->click();
        });
    }

    void An_index_that_cannot_be_read_is_told()
    {
        auto form = Start();
        QVERIFY(QDir().mkpath(folder->File("2024/keyword.txt")));
        const QString path = folder->File("2024/keyword.txt");
        fake->Expect_box(Io_message(QStringLiteral("索引ファイルを読み込めませんでした。"),
                                    Io_result::Failure(Io_step::Not_a_file, EISDIR, path)),
                         Title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        QVERIFY(
            Io_message("x", Io_result::Failure(Io_step::Not_a_file, EISDIR, path)).contains(path));
        Omoide(*form, [&](F_omoide& w) {
            w.Text1->setText("2024");
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
            QCOMPARE(w.Keyword_count(), 0);
            QVERIFY(w.isVisible());
            w.Command2->click();
        });
    }

    void More_than_370_records_are_all_listed()
    {
        auto form = Start();
        QByteArray index;
        for (int i = 400; i >= 1; --i)  // latest first; memos 001 .. 400
            index += QByteArray("2026/") +
                     QByteArray::number(1 + (i - 1) / 31).rightJustified(2, '0') + '/' +
                     QByteArray::number(1 + (i - 1) % 31).rightJustified(2, '0') + '1' +
                     QByteArray::number(i).rightJustified(3, '0') + "\r\n";
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), index));
        QStringList log;
        Omoide(*form, [&](F_omoide& w) {
            QCOMPARE(w.Keyword_count(), 400);
            QCOMPARE(w.Grid1->rowCount(), 402);
            QCOMPARE(Rows(w.Grid1).at(1), QStringLiteral("2026/01/01|001"));
            QCOMPARE(Rows(w.Grid1).at(400), QStringLiteral("2026/13/28|400"));
            QCOMPARE(Rows(w.Grid1).at(401), QStringLiteral("|"));
            w.Grid1->setCurrentCell(372, 1);  // 2026/12/31 (memo 372)
            QCOMPARE(w.Grid1->item(372, 1)->text(), QStringLiteral("372"));
            w.Command1->click();
        });
        QVERIFY(!left_open);
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            QList<int>({2026, 12, 31}));
    }

    void Typing_a_year_lists_at_every_keystroke_without_moving_the_spinner()
    {
        auto form = Start();
        const struct {
            const char* folder;
            QByteArray index;
        } years[] = {
            {"0002", Line("0002/02/021", "8a 43")},        // 海
            {"0020", Line("0020/03/031", "8e 52")},        // 山
            {"0202", Line("0202/04/041", "89 4a")},        // 雨
            {"2025", Line("2025/05/051", "90 b0 82 ea")},  // 晴れ
        };
        for (const auto& y : years) {
            QVERIFY(QDir().mkpath(folder->File(y.folder)));
            QVERIFY(Write_bytes(folder->File(QString(y.folder) + "/keyword.txt"), y.index));
        }
        Omoide(*form, [&](F_omoide& w) {
            w.Text1->setFocus();
            w.Text1->selectAll();
            const QStringList seen_rows = {"0002/02/02|海", "0020/03/03|山", "0202/04/04|雨",
                                           "2025/05/05|晴れ"};
            const QString typed = "2025";
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(w.Text1, typed.at(i).toLatin1());
                QCOMPARE(w.Text1->text(), typed.left(i + 1));
                QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", seen_rows.at(i), "|"}));
                QCOMPARE(w.VScroll1->value(), 2026);
            }
            // The spinner steps from its own value and overwrites the text;
            // its upper arrow raises the year, as the main window's bars do.
            w.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub);
            QCOMPARE(w.VScroll1->value(), 2027);
            QCOMPARE(w.Text1->text(), QStringLiteral("2027"));
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
            w.Command2->click();
        });
    }

    // ---- Recall ----------------------------------------------------------

    void Recall_is_refused_without_a_chosen_day_data()
    {
        QTest::addColumn<Window>("which");
        QTest::newRow("memory list") << Window::Omoide;
        QTest::newRow("memo search") << Window::Memo;
    }
    void Recall_is_refused_without_a_chosen_day()
    {
        QFETCH(Window, which);
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memory_index));
        const QList<int> reference = {Controls_of(*form).VScroll4->value(),
                                      Controls_of(*form).VScroll5->value(),
                                      Controls_of(*form).VScroll6->value()};
        Either(*form, which, [&](Day_list_window& w) {
            auto* recall =
                w.findChild<QPushButton*>(which == Window::Omoide ? "Command1" : "Command2");
            QCOMPARE(recall->text(), QStringLiteral("呼出し"));
            const int rows = w.Grid1->rowCount();
            QVERIFY(rows > 2);
            // Right after the list is built: the header row is current.
            Expect_no_day();
            recall->click();
            VERIFY_PLATFORM_CLEAN(*fake);
            // The empty row below the last result.
            Click_row(w.Grid1, rows - 1);
            QCOMPARE(w.Grid1->currentRow(), rows - 1);
            Expect_no_day();
            recall->click();
            VERIFY_PLATFORM_CLEAN(*fake);
            Expect_no_day();
            Double_click_row(w.Grid1, rows - 1);
            VERIFY_PLATFORM_CLEAN(*fake);
            // The header, clicked after a result row: row 0 is current.
            Click_row(w.Grid1, 1);
            Click_header(w.Grid1);
            QCOMPARE(w.Grid1->currentRow(), 0);
            Expect_no_day();
            recall->click();
            VERIFY_PLATFORM_CLEAN(*fake);
            Click_row(w.Grid1, 1);
            Expect_no_day();
            Double_click_header(w.Grid1);
            VERIFY_PLATFORM_CLEAN(*fake);
            // A year with nothing listed.
            w.Text1->setText("2030");
            if (which == Window::Memo)
                w.findChild<QPushButton*>("Command3")->click();
            QCOMPARE(w.Grid1->rowCount(), 2);
            w.Grid1->setCurrentCell(1, 1);
            Expect_no_day();
            recall->click();
            VERIFY_PLATFORM_CLEAN(*fake);
            QVERIFY(w.isVisible());
            w.reject();
        });
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            reference);
    }

    void A_recall_sets_year_month_and_day_in_order_and_closes_data()
    {
        QTest::addColumn<Window>("which");
        QTest::addColumn<Way>("way");
        QTest::newRow("memory list, 呼出し") << Window::Omoide << Way::Button;
        QTest::newRow("memory list, double click") << Window::Omoide << Way::Double_click;
        QTest::newRow("memo search, 呼出し") << Window::Memo << Way::Button;
        QTest::newRow("memo search, double click") << Window::Memo << Way::Double_click;
    }
    void A_recall_sets_year_month_and_day_in_order_and_closes()
    {
        QFETCH(Window, which);
        QFETCH(Way, way);
        QStringList log;
        auto form = Start();
        QVERIFY(QDir().mkpath(folder->File("2025")));  // start-up made it already
        QVERIFY(Write_bytes(folder->File("2025/keyword.txt"), Line("2025/12/011", "8a 43") +
                                                                  Line("2025/03/071", "89 4a") +
                                                                  Line("2025/01/201")));
        Controls_of(*form).VScroll4->setValue(2000);
        Controls_of(*form).VScroll5->setValue(1);
        Controls_of(*form).VScroll6->setValue(1);
        const struct {
            QScrollBar* bar;
            const char* name;
        } bars[] = {{Controls_of(*form).VScroll4, "VScroll4"},
                    {Controls_of(*form).VScroll5, "VScroll5"},
                    {Controls_of(*form).VScroll6, "VScroll6"}};
        for (const auto& b : bars)
            connect(b.bar, &QScrollBar::valueChanged, form.get(),
                    [&log, &form, which, name = b.name](int v) {
                        log << QStringLiteral("%1=%2 (count %3)")
                                   .arg(name)
                                   .arg(v)
                                   .arg(Count(*form, which));
                    });
        Either(*form, which, [&](Day_list_window& w) {
            connect(&w, &QDialog::finished, form.get(), [&log, &form, which](int r) {
                log << QStringLiteral("closed %1 (count %2)").arg(r).arg(Count(*form, which));
            });
            w.VScroll1->triggerAction(
                QAbstractSlider::SliderSingleStepAdd);  // the lower arrow lowers
            if (which == Window::Memo)
                w.findChild<QPushButton*>("Command3")->click();
            QCOMPARE(Rows(w.Grid1).at(2), QStringLiteral("2025/03/07|雨"));
            if (way == Way::Button) {
                Click_row(w.Grid1, 2);
                w.findChild<QPushButton*>(which == Window::Omoide ? "Command1" : "Command2")
                    ->click();
            } else {
                Double_click_row(w.Grid1, 2);
            }
        });
        QVERIFY(!left_open);
        QCOMPARE(log, QStringList({"VScroll4=2025 (count 3)", "VScroll5=3 (count 3)",
                                   "VScroll6=7 (count 3)", "closed 1 (count 0)"}));
        QCOMPARE(Count(*form, which), 0);
    }

    void A_recall_brings_an_odd_date_into_the_bars_ranges()
    {
        auto form = Start();
        QVERIFY(QDir().mkdir(folder->File("0002")));
        QVERIFY(Write_bytes(folder->File("0002/keyword.txt"), Line("0002/13/001")));
        QVERIFY(QDir().mkdir(folder->File("2999")));
        QVERIFY(Write_bytes(folder->File("2999/keyword.txt"), Line("2999/00/451")));
        Omoide(*form, [&](F_omoide& w) {
            w.Text1->setText("2");
            w.Grid1->setCurrentCell(1, 1);
            w.Command1->click();
        });
        QVERIFY(!left_open);
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            QList<int>({1990, 12, 1}));
        Omoide(*form, [&](F_omoide& w) {
            w.Text1->setText("2999");
            w.Grid1->setCurrentCell(1, 1);
            w.Command1->click();
        });
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            QList<int>({2100, 1, 31}));
    }

    void A_listed_line_without_a_date_is_not_recalled()
    {
        auto form = Start();
        QVERIFY(
            Write_bytes(folder->File("2026/keyword.txt"), Line("memo only") + Line("2026/12/071")));
        const QList<int> reference = {Controls_of(*form).VScroll4->value(),
                                      Controls_of(*form).VScroll5->value(),
                                      Controls_of(*form).VScroll6->value()};
        fake->Expect_box(QStringLiteral("この行には日付がないため、呼び出せません。"), Title,
                         Icon::Exclamation, Buttons::Ok, Answer::Ok);
        Memo(*form, [&](F_memo& w) {
            w.Command3->click();
            QCOMPARE(Rows(w.Grid1),
                     QStringList({"年/月/日|メ　モ", "2026/12/07|", "memo only|", "|"}));
            w.Grid1->setCurrentCell(2, 1);
            w.Command2->click();
            QVERIFY(w.isVisible());
            w.Command1->click();
        });
        QVERIFY(!left_open);
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            reference);
    }

    // ---- Closing and opening again ----------------------------------------

    void Every_way_of_closing_leaves_the_count_at_zero_data()
    {
        QTest::addColumn<Window>("which");
        QTest::addColumn<Closing>("closing");
        QTest::newRow("memory list, 終了") << Window::Omoide << Closing::End_button;
        QTest::newRow("memory list, close box") << Window::Omoide << Closing::Close_box;
        QTest::newRow("memory list, Esc") << Window::Omoide << Closing::Escape;
        QTest::newRow("memo search, 終了") << Window::Memo << Closing::End_button;
        QTest::newRow("memo search, close box") << Window::Memo << Closing::Close_box;
        QTest::newRow("memo search, Esc") << Window::Memo << Closing::Escape;
    }
    void Every_way_of_closing_leaves_the_count_at_zero()
    {
        QFETCH(Window, which);
        QFETCH(Closing, closing);
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memory_index));
        const QList<int> reference = {Controls_of(*form).VScroll4->value(),
                                      Controls_of(*form).VScroll5->value(),
                                      Controls_of(*form).VScroll6->value()};
        Either(*form, which, [&](Day_list_window& w) {
            QVERIFY(w.Keyword_count() >= 6);
            Click_row(w.Grid1, 2);
            switch (closing) {
            case Closing::End_button: {
                auto* end =
                    w.findChild<QPushButton*>(which == Window::Omoide ? "Command2" : "Command1");
                QCOMPARE(end->text(), QStringLiteral("終了"));
                end->click();
                break;
            }
            case Closing::Close_box: w.close(); break;
            case Closing::Escape: QTest::keyClick(w.Grid1, Qt::Key_Escape); break;
            }
            QVERIFY(!w.isVisible());
            QCOMPARE(w.result(), int(QDialog::Rejected));
        });
        QCOMPARE(Count(*form, which), 0);
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            reference);
    }

    void Each_opening_of_the_memory_list_starts_afresh()
    {
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memory_index));
        F_omoide* first = nullptr;
        Omoide(*form, [&](F_omoide& w) {
            first = &w;
            w.VScroll1->setValue(2030);
            QCOMPARE(w.Text1->text(), QStringLiteral("2030"));
            w.Text1->setText("2026");
            Click_row(w.Grid1, 3);
            w.Command2->click();
        });
        QCOMPARE(Probe(*form).f_omoide, first);
        // The index changes between openings; the next opening reads it anew.
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Line("2026/08/081", "8a 43")));
        Omoide(*form, [&](F_omoide& w) {
            QCOMPARE(&w, first);
            QCOMPARE(w.VScroll1->value(), 2026);
            QCOMPARE(w.Text1->text(), QStringLiteral("2026"));
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "2026/08/08|海", "|"}));
            QCOMPARE(w.Grid1->currentRow(), 0);
            QCOMPARE(w.Keyword_count(), 1);
            QCOMPARE(w.focusWidget(), w.Command2);
            Expect_no_day();
            w.Command1->click();
            w.Command2->click();
        });
        QCOMPARE(fake->calls,
                 QStringList({"modal:F_omoide", "modal:F_omoide", "box:" + Title + ":" + No_day}));
    }

    void Each_opening_of_the_memo_search_starts_afresh()
    {
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memo_index));
        F_memo* first = nullptr;
        Memo(*form, [&](F_memo& w) {
            first = &w;
            w.Text2->setText("Apple");
            w.Command3->click();
            QCOMPARE(w.Keyword_count(), 1);
            w.VScroll1->setValue(2031);
            Click_row(w.Grid1, 1);
            w.close();
        });
        Memo(*form, [&](F_memo& w) {
            QCOMPARE(&w, first);
            QCOMPARE(w.Text2->text(), QString());
            QCOMPARE(w.Text1->text(), QStringLiteral("2026"));
            QCOMPARE(w.VScroll1->value(), 2026);
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
            QCOMPARE(w.Grid1->currentRow(), 0);
            QCOMPARE(w.Keyword_count(), 0);
            QCOMPARE(w.focusWidget(), w.Text2);
            w.Command1->click();
        });
    }

    // ---- The memo search -------------------------------------------------

    void The_header_stays_in_place_while_the_list_scrolls()
    {
        auto form = Start();
        QByteArray index;
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= 10; ++day)
                index += Line(qPrintable(QStringLiteral("2026/%1/%2")
                                             .arg(month, 2, 10, QChar('0'))
                                             .arg(day, 2, 10, QChar('0')) +
                                         QLatin1Char('1')),
                              "8e 55 95 e0");  // 散歩
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), index));
        Omoide(*form, [&](F_omoide& w) {
            QCOMPARE(w.Grid1->rowCount(), 122);
            QHeaderView* header = w.Grid1->horizontalHeader();
            QVERIFY(header->isVisible());
            QCOMPARE(w.Grid1->model()->headerData(0, Qt::Horizontal).toString(),
                     QStringLiteral("年/月/日"));
            QCOMPARE(w.Grid1->model()->headerData(1, Qt::Horizontal).toString(),
                     QStringLiteral("メ　モ"));
            // At the top the first record is the first row seen.
            QCOMPARE(w.Grid1->rowAt(1), 1);
            const QRect header_place = header->geometry();
            w.Grid1->scrollToBottom();
            QVERIFY(w.Grid1->rowAt(1) > 60);
            QCOMPARE(header->geometry(), header_place);
            QVERIFY(header->isVisible());
            QVERIFY(header_place.bottom() < w.Grid1->viewport()->geometry().top());
            // Row r is still the r-th record.
            QCOMPARE(w.Grid1->item(120, 0)->text(), QStringLiteral("2026/12/10"));
            QCOMPARE(w.Keyword_lines().at(120), QStringLiteral("2026/12/101散歩"));
            w.Command2->click();
        });
    }

    void The_memo_search_tells_case_width_and_kana_apart()
    {
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memo_index));
        const QString header = "年/月/日|メ　モ";
        const QStringList all = {header,
                                 "2026/01/10|Apple pie",
                                 "2026/02/20|ＡＰＰＬＥ",
                                 "2026/03/30|りんご",
                                 "2026/04/04|リンゴ",
                                 "2026/05/05|ﾘﾝｺﾞ",
                                 "2026/06/06|",
                                 "2026/12/07|散歩",
                                 "|"};
        const QList<std::pair<QString, QList<int>>> searches = {
            {"", {1, 2, 3, 4, 5, 6, 7}},
            {"/", {1, 2, 3, 4, 5, 6, 7}},
            {"Apple", {1}},
            {"pie", {1}},
            {"apple", {}},
            {"APPLE", {}},
            {"ＡＰＰＬＥ", {2}},
            {"Ａpple", {}},
            {"りんご", {3}},
            {"リンゴ", {4}},
            {"ﾘﾝｺﾞ", {5}},
            {"071", {7}},  // the day's date and its flag
            {"2026/06/060", {6}},
            {"0", {1, 2, 3, 4, 5, 6, 7}},
            {"散歩する", {}},
        };
        Memo(*form, [&](F_memo& w) {
            for (const auto& [keyword, rows] : searches) {
                w.Text2->setText(keyword);
                QCOMPARE(Rows(w.Grid1).size() >= 2, true);
                w.Command3->click();
                QStringList expected = {header};
                for (const int r : rows)
                    expected << all.at(r);
                expected << "|";
                QVERIFY2(Rows(w.Grid1) == expected, qPrintable(keyword));
                QCOMPARE(w.Keyword_count(), int(rows.size()));
            }
            w.Command1->click();
        });
    }

    void A_memo_with_an_emoji_is_found_and_listed_exactly()
    {
        auto form = Start();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("ケーキを焼いた。"));
        Controls_of(*form).Text6->setText(QStringLiteral("誕生日🎂"));
        Controls_of(*form).Check1->setChecked(true);
        QCOMPARE(Probe(*form).Save_day(), Main_form::Save_result::Saved);
        const QStringList found = {"年/月/日|メ　モ", "2026/12/07|誕生日🎂", "|"};
        Memo(*form, [&](F_memo& w) {
            w.Text2->setText(QStringLiteral("🎂"));
            w.Command3->click();
            QCOMPARE(Rows(w.Grid1), found);
            // The substitute the index holds is no match.
            w.Text2->setText(QStringLiteral("?"));
            w.Command3->click();
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));
            w.Command1->click();
        });
        Omoide(*form, [&](F_omoide& w) {
            QCOMPARE(Rows(w.Grid1), found);
            w.reject();
        });
    }

    void The_memo_list_changes_only_on_search()
    {
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memo_index));
        QVERIFY(QDir().mkpath(folder->File("2025")));
        QVERIFY(Write_bytes(folder->File("2025/keyword.txt"), Line("2025/03/071", "89 4a")));
        Memo(*form, [&](F_memo& w) {
            w.Text2->setText("pie");
            QCOMPARE(Rows(w.Grid1), QStringList({"年/月/日|メ　モ", "|"}));  // typing is no search
            w.Command3->click();
            const QStringList found = {"年/月/日|メ　モ", "2026/01/10|Apple pie", "|"};
            QCOMPARE(Rows(w.Grid1), found);
            w.VScroll1->triggerAction(
                QAbstractSlider::SliderSingleStepAdd);  // the lower arrow lowers
            QCOMPARE(w.Text1->text(), QStringLiteral("2025"));
            w.Text2->setText("");
            QCOMPARE(Rows(w.Grid1), found);
            QCOMPARE(w.Keyword_count(), 1);
            Click_row(w.Grid1, 1);
            w.Command2->click();
        });
        QVERIFY(!left_open);
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            QList<int>({2026, 1, 10}));
    }

    // ---- One real modal run of each window ---------------------------------

    void Both_windows_run_modally_from_their_menus()
    {
        auto form = Start();
        QVERIFY(Write_bytes(folder->File("2026/keyword.txt"), Memory_index));
        const QString shots = qEnvironmentVariable("SORANE_SCREENSHOTS");
        fake->Expect_modal([&](QDialog& d) {
            When_modal<F_omoide>(&d, [&](F_omoide& w) {
                QVERIFY(w.isVisible());
                if (!shots.isEmpty())
                    w.grab().save(shots + "/F_omoide.png");
                Click_row(w.Grid1, 6);
                QTest::mouseClick(w.Command1, Qt::LeftButton);
            });
            return d.exec();
        });
        Controls_of(*form).Menu_omoide->trigger();
        QVERIFY(!Probe(*form).f_omoide->isVisible());
        QCOMPARE(Probe(*form).f_omoide->result(), int(QDialog::Accepted));
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            QList<int>({2026, 12, 7}));

        fake->Expect_modal([&](QDialog& d) {
            When_modal<F_memo>(&d, [&](F_memo& w) {
                w.Text2->setText(QStringLiteral("同じ"));
                QTest::mouseClick(w.Command3, Qt::LeftButton);
                QCOMPARE(Rows(w.Grid1).size(), 4);
                if (!shots.isEmpty())
                    w.grab().save(shots + "/F_memo.png");
                QTest::mouseClick(w.Command1, Qt::LeftButton);
            });
            return d.exec();
        });
        Controls_of(*form).Menu_memo->trigger();
        QVERIFY(!Probe(*form).f_memo->isVisible());
        QCOMPARE(Probe(*form).f_memo->result(), int(QDialog::Rejected));
        QCOMPARE(Probe(*form).f_memo->Keyword_count(), 0);
    }
};

QTEST_MAIN(Test_search)
#include "test_search.moc"
