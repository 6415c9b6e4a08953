// The 全文検索 window on a fresh program folder: the list as the user types,
// what a row shows, the counts, the recall into the reference panel, the
// folding options kept in the program's own settings file, and the menu
// item that opens it.

#include "dialogs/fulltext_hits_delegate.h"
#include "dialogs/fulltext_hits_model.h"
#include "dialogs/fulltext_window.h"
#include "platform/cp932.h"
#include "store/store.h"
#include "support/diary_fixture.h"
#include "ui/look.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

namespace {

const QString No_day = QStringLiteral("呼び出す日が指定されていません");
const QString Title = QStringLiteral("【ソラネ】Ver.2.0");

QStringList Rows(const QTableView* view)
{
    const QAbstractItemModel* model = view->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->data(model->index(r, c)).toString();
        rows << cells.join(u'|');
    }
    return rows;
}

QStringList Items(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

}  // namespace

class Test_fulltext_window : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder = std::make_unique<Temp_folder>();
        cache = std::make_unique<Temp_folder>();
        QVERIFY(folder->Ok() && cache->Ok());
        fake = std::make_unique<Fake_platform>();
        main_window = std::make_unique<QWidget>();
        Diary_store store(folder->Path());
        const auto write_day = [&store](int y, int m, int d, const QString& text) {
            QVERIFY(store.Ensure_year_folder(y).Ok());
            QVERIFY(store.Write_text_file(store.Day_file_path(y, m, d), text).Ok());
        };
        write_day(2026, 12, 9, QStringLiteral("夜は寄せ鍋にした。"));
        write_day(2026, 12, 1, QStringLiteral("晴れ。"));
        write_day(1999, 1, 2, QStringLiteral("ナベを買った。\n鍋は重い。"));
        QVERIFY(Write_bytes(store.Keyword_file_path(2026),
                            cp932::Encode(u"2026/12/091夕食\r\n2026/12/010散歩\r\n").bytes));
        shown.clear();
        window = std::make_unique<Fulltext_window>(
            Dialog_host{main_window.get(), *fake,
                        [] {
                            return Twips_rect{0, 0, 9510, 7020};
                        }},
            folder->Path(), cache->Path(), [this](int y, int m, int d) {
                shown << QStringLiteral("%1/%2/%3").arg(y).arg(m).arg(d);
            });
        window->Form_Load();
        QTRY_VERIFY_WITH_TIMEOUT(!window->Index().Building(), 20000);
    }
    void cleanup()
    {
        window.reset();
        main_window.reset();
        VERIFY_PLATFORM_CLEAN(*fake);
    }

    void The_list_follows_the_typing_newest_first()
    {
        QVERIFY(window->Results->model()->rowCount() == 0);
        QTest::keyClicks(window->Words, QStringLiteral("x"));
        window->Words->setText(QStringLiteral("鍋"));
        // Nothing before the pause, the list after it.
        QCOMPARE(window->Results->model()->rowCount(), 0);
        QTRY_COMPARE(Rows(window->Results),
                     (QStringList{QStringLiteral("2026/12/09 (水)|★|夕食|夜は寄せ鍋にした。"),
                                  QStringLiteral("1999/01/02 (土)|||ナベを買った。 鍋は重い。")}));
        QCOMPARE(window->Count->text(), QStringLiteral("2日見つかりました（2年にわたって）"));
        QCOMPARE(Items(window->Years),
                 (QStringList{QStringLiteral("2026年 1日"), QStringLiteral("1999年 1日")}));
        // The words found are marked in the line.
        const QVariantList marks =
            window->Results->model()
                ->data(window->Results->model()->index(0, 3), Qt::UserRole + 1)
                .toList();
        QCOMPARE(marks, QVariantList{QPoint(4, 1)});
        // A memo is searched too; all words must occur; a range of years.
        window->Words->setText(QStringLiteral("散歩"));
        QTRY_COMPARE(Rows(window->Results),
                     QStringList{QStringLiteral("2026/12/01 (火)||散歩|晴れ。")});
        window->Words->setText(QStringLiteral("鍋 重い"));
        QTRY_COMPARE(window->Results->model()->rowCount(), 1);
        window->Words->setText(QStringLiteral("鍋"));
        window->Last_year_box->setValue(2000);
        QTRY_COMPARE(Rows(window->Results),
                     QStringList{QStringLiteral("1999/01/02 (土)|||ナベを買った。 鍋は重い。")});
        window->Words->setText(QStringLiteral("すき焼き"));
        QTRY_COMPARE(window->Count->text(), QStringLiteral("見つかりませんでした"));
    }

    void The_first_search_reads_the_files_while_the_index_is_built()
    {
        // Enough days that the build outlasts the reading of the files.
        Diary_store store(folder->Path());
        for (int year = 1990; year < 1996; ++year) {
            QVERIFY(store.Ensure_year_folder(year).Ok());
            for (QDate d(year, 1, 1); d.year() == year; d = d.addDays(1))
                QVERIFY(store
                            .Write_text_file(store.Day_file_path(year, d.month(), d.day()),
                                             QStringLiteral("今日も晴れ。").repeated(20))
                            .Ok());
        }
        Temp_folder other_cache;
        Fulltext_window fresh(Dialog_host{main_window.get(), *fake, [] { return Twips_rect{}; }},
                              folder->Path(), other_cache.Path(), [](int, int, int) {});
        fresh.Words->setText(QStringLiteral("鍋"));
        fresh.Form_Load();
        QVERIFY(fresh.Index().Building());
        QCOMPARE(fresh.Count->text(), QStringLiteral("日記のファイルを読んで探しています…"));
        // The build waits for the files to be read for this answer.
        QCOMPARE(fresh.Index().Build_total(), 0);
        const QStringList found{QStringLiteral("2026/12/09 (水)|★|夕食|夜は寄せ鍋にした。"),
                                QStringLiteral("1999/01/02 (土)|||ナベを買った。 鍋は重い。")};
        QTRY_COMPARE_WITH_TIMEOUT(Rows(fresh.Results), found, 20000);
        QCOMPARE(fresh.Count->text(), QStringLiteral("2日見つかりました（2年にわたって）"));
        // Typed again at once: the reading begun is dropped for the new words.
        fresh.Words->setText(QStringLiteral("晴れ"));
        fresh.Run_search();
        fresh.Words->setText(QStringLiteral("重い"));
        fresh.Run_search();
        QTRY_COMPARE_WITH_TIMEOUT(Rows(fresh.Results), found.mid(1), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!fresh.Index().Building(), 30000);
        fresh.Run_search();
        QCOMPARE(Rows(fresh.Results), found.mid(1));
    }

    void Thirty_February_is_listed_without_a_weekday_and_recalled()
    {
        // The date bars allow the day; the calendar has no weekday for it.
        QVERIFY(Write_bytes(folder->File("2026/0230.txt"), Hex("93 e7 0d 0a")));  // 鍋
        window->Words->setText(QStringLiteral("鍋"));
        QTest::keyClick(window->Words, Qt::Key_Return);
        QTRY_COMPARE(Rows(window->Results).value(0),
                     QStringLiteral("2026/12/09 (水)|★|夕食|夜は寄せ鍋にした。"));
        QCOMPARE(Rows(window->Results).value(1), QStringLiteral("2026/02/30|||鍋"));
        window->Results->setFocus();
        window->Results->selectRow(1);
        QTest::keyClick(window->Results, Qt::Key_Return);
        QCOMPARE(shown, QStringList{QStringLiteral("2026/2/30")});
    }

    void Enter_recalls_the_chosen_day_into_the_reference_panel()
    {
        window->Words->setText(QStringLiteral("鍋"));
        // Enter in the field searches at once.
        QTest::keyClick(window->Words, Qt::Key_Return);
        QCOMPARE(window->Results->model()->rowCount(), 2);
        window->Results->setFocus();
        window->Results->selectRow(1);
        QTest::keyClick(window->Results, Qt::Key_Return);
        QCOMPARE(shown, QStringList{QStringLiteral("1999/1/2")});
        QCOMPARE(window->result(), int(QDialog::Accepted));
    }

    void A_recall_without_a_day_says_so_and_stays()
    {
        window->Words->setText(QStringLiteral("すき焼き"));
        window->Run_search();
        fake->Expect_box(No_day, Title, Platform::Icon::Exclamation, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        window->Recall->click();
        QVERIFY(shown.isEmpty());
    }

    void Folding_options_are_kept_and_change_what_is_found()
    {
        window->Words->setText(QStringLiteral("なべ"));
        window->Run_search();
        QCOMPARE(window->Results->model()->rowCount(), 0);
        window->Fold_kana->setChecked(true);
        // The index is built again for the new folding; meanwhile the files
        // are read, and the window says so; the status line goes with the
        // build.
        const QStringList found{QStringLiteral("1999/01/02 (土)|||ナベを買った。 鍋は重い。")};
        if (window->Index().Building())
            QCOMPARE(window->Count->text(), QStringLiteral("日記のファイルを読んで探しています…"));
        QTRY_COMPARE_WITH_TIMEOUT(Rows(window->Results), found, 20000);
        QCOMPARE(window->Count->text(), QStringLiteral("1日見つかりました（1年にわたって）"));
        QTRY_VERIFY_WITH_TIMEOUT(window->Status->text().isEmpty(), 20000);
        QCOMPARE(Rows(window->Results), found);
        // The choice is kept beside the diary, never in the Windows
        // program's settings.
        const QSettings kept(folder->File("sorane-linux.ini"), QSettings::IniFormat);
        QCOMPARE(kept.value(QStringLiteral("fulltext/kana")).toBool(), true);
        QCOMPARE(kept.value(QStringLiteral("fulltext/width")).toBool(), true);
        QVERIFY(!QFile::exists(folder->File("sorane.ini")));
        // A window opened later starts with the kept choice.
        Fulltext_window again(Dialog_host{main_window.get(), *fake, [] { return Twips_rect{}; }},
                              folder->Path(), cache->Path(), [](int, int, int) {});
        QVERIFY(again.Fold_kana->isChecked());
    }

    void A_marked_cell_draws_its_letters_as_an_unmarked_one()
    {
        // The same text in a cell with the words 散歩 marked and in one
        // without marks: left of the marker the letters are the same pixels.
        QTableView view;
        view.setFont(List_font());
        QStandardItemModel cells(2, 1);
        const QString text = QStringLiteral("雪が降った日に散歩した");
        cells.setData(cells.index(0, 0), text);
        cells.setData(cells.index(1, 0), text);
        cells.setData(cells.index(1, 0), QVariantList{QPoint(7, 2)}, Marks_role);
        view.setModel(&cells);
        Fulltext_hits_delegate delegate;
        const auto drawn = [&](int row) {
            QStyleOptionViewItem option;
            option.initFrom(view.viewport());
            option.widget = &view;
            option.font = view.font();
            option.rect = QRect(0, 0, 400, QFontMetrics(view.font()).height() + 4);
            option.state = QStyle::State_Enabled;
            QImage image(option.rect.size(), QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            delegate.paint(&painter, option, cells.index(row, 0));
            return image;
        };
        const QImage plain = drawn(0);
        const QImage marked = drawn(1);
        const int before_mark = QFontMetrics(view.font()).horizontalAdvance(text.left(7)) - 2;
        QVERIFY(before_mark > 40);
        int ink = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < before_mark; ++x) {
                QCOMPARE(QColor(marked.pixel(x, y)), QColor(plain.pixel(x, y)));
                ink += qGray(plain.pixel(x, y)) < 128;
            }
        QVERIFY(ink > 30);
        // The marked words stand on the marker.
        const QColor marker(255, 224, 64);
        int on_marker = 0;
        for (int y = 0; y < marked.height(); ++y)
            for (int x = before_mark; x < marked.width(); ++x)
                on_marker += QColor(marked.pixel(x, y)) == marker;
        QVERIFY(on_marker > 50);
    }

    void The_search_menu_opens_it_with_a_shortcut()
    {
        Fake_platform form_fake;
        const QByteArray ini = First_ini;
        QVERIFY(Write_bytes(folder->File("sorane.ini"), ini));
        form_fake.screen_twips = QSizeF(28800, 16200);
        const std::unique_ptr<Main_form> form = Start_form(form_fake, folder->Path());
        QVERIFY(form);
        QVERIFY(
            Controls_of(*form).Menu_kensaku->actions().contains(Controls_of(*form).Menu_fulltext));
        QCOMPARE(Controls_of(*form).Menu_fulltext->text(), QStringLiteral("全文検索"));
        QCOMPARE(Controls_of(*form).Menu_fulltext->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        // Opened from the menu, a day recalled: the reference panel shows
        // it, and the main window carries on.
        qputenv("XDG_CACHE_HOME", cache->Path().toLocal8Bit());
        form_fake.Expect_modal([](QDialog& dialog) {
            auto& search = static_cast<Fulltext_window&>(dialog);
            search.Words->setText(QStringLiteral("鍋"));
            search.Run_search();
            for (int wait = 0; wait < 2000 && search.Index().Building(); ++wait)
                QTest::qWait(10);
            search.Run_search();
            search.Results->selectRow(1);
            search.Recall->click();
            return search.result();
        });
        Controls_of(*form).Menu_fulltext->trigger();
        QCOMPARE(Controls_of(*form).VScroll4->value(), 1999);
        QCOMPARE(form->Session().App_dir(), folder->Path());
        QTest::mouseClick(Controls_of(*form).Command2, Qt::LeftButton);
        QVERIFY(form->Ended());
        VERIFY_PLATFORM_CLEAN(form_fake);
    }

private:
    std::unique_ptr<Temp_folder> folder;
    std::unique_ptr<Temp_folder> cache;
    std::unique_ptr<Fake_platform> fake;
    std::unique_ptr<QWidget> main_window;
    std::unique_ptr<Fulltext_window> window;
    QStringList shown;
};

QTEST_MAIN(Test_fulltext_window)
#include "test_fulltext_window.moc"
