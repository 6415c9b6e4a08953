// 記録 opened from the 検索 menu on a fresh program folder and a set clock
// (7 December 2026): the words of the page from files written here as
// bytes, a hovered and a clicked day, the counts following a day saved in
// the diary panel, the picture saved as a private PNG, and a word of 言葉
// opening 全文検索 with it.

#include "app/main_form.h"
#include "dialogs/fulltext_window.h"
#include "dialogs/records_view.h"
#include "dialogs/records_window.h"
#include "dialogs/words_panel.h"
#include "support/diary_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollArea>
#include <QtTest>

class Test_records_window : public QObject, private Diary_fixture {
    Q_OBJECT

    std::unique_ptr<Temp_folder> cache;

    bool Put(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(At(relative)).absolutePath());
        return Write_bytes(At(relative), bytes);
    }
    static Records_window* Open(Main_form& form)
    {
        QAction* item = form.findChild<QAction*>(QStringLiteral("Menu_records"));
        if (!item || item->text() != QStringLiteral("記録"))
            return nullptr;
        item->trigger();
        auto* window = form.findChild<Records_window*>();
        if (window)
            window->Wait_for_counts();
        return window;
    }

private slots:
    void init()
    {
        QVERIFY(Set_up());
        cache = std::make_unique<Temp_folder>();
        qputenv("XDG_CACHE_HOME", cache->Path().toLocal8Bit());
    }
    void cleanup() { Verify_clean(); }

    void The_page_counts_names_and_follows_the_days()
    {
        // 2025: 5 and 6 December (雨 / 晴れ、風), 6 December a memory day
        // with memo 散歩; 2024: 29 February (雨の日).
        QVERIFY(Put("2025/1205.txt", Hex("89 4a 0d 0a")));
        QVERIFY(Put("2025/1206.txt", Hex("90 b0 82 ea 0d 0a 95 97 0d 0a")));
        QVERIFY(Put("2025/keyword.txt", Hex("32 30 32 35 2f 31 32 2f 30 36 31 8e 55 95 e0 0d 0a")));
        QVERIFY(Put("2024/0229.txt", Hex("89 4a 82 cc 93 fa")));
        auto form = Start();
        Records_window* window = Open(*form);
        QVERIFY(window && window->isVisible());
        Records_view* view = window->View1;
        // 2026 has the folder start-up makes for today.
        QCOMPARE(window->Combo1->count(), 3);
        QCOMPARE(window->Combo1->currentText(), QStringLiteral("2026年"));
        QCOMPARE(view->Summary_text(),
                 QStringLiteral("全部で 3 年　書いた日 3 日　7 字　いちばん長く続いたのは 2 日、"
                                "いまは 0 日続いています"));
        QCOMPARE(view->Years()[1].year, 2025);
        QCOMPARE(view->Year_text(view->Years()[1]),
                 QStringLiteral("2025年　書いた日 2 日　4 字　最長 2 日続けて"));
        QCOMPARE(view->Day_tip(QDate(2025, 12, 6)),
                 QStringLiteral("2025年12月6日（土）　3 字　★思い出\nメモ: 散歩"));
        QCOMPARE(view->Day_tip(QDate(2024, 2, 29)), QStringLiteral("2024年2月29日（木）　3 字"));
        QCOMPARE(view->Day_tip(QDate(2024, 3, 1)),
                 QStringLiteral("2024年3月1日（金）　書いていません"));

        // A click on a day's square shows it in the reference panel.
        const QRect cell = view->Cell_of(QDate(2024, 2, 29));
        QVERIFY(!cell.isEmpty());
        QCOMPARE(view->Day_at(cell.center()), QDate(2024, 2, 29));
        window->Scroll1->ensureVisible(cell.center().x(), cell.center().y());
        QTest::mouseClick(view, Qt::LeftButton, {}, cell.center());
        const Main_form_controls c = Controls_of(*form);
        QCOMPARE((QStringList{c.Text7->text(), c.Text8->text(), c.Text9->text()}),
                 (QStringList{"2024", "2", "29"}));

        // Today written and saved in the diary panel: the next count has it.
        Write_diary_entry(*form);
        c.Menu_save->trigger();
        QVERIFY(window->Counting());
        window->Wait_for_counts();
        QCOMPARE(view->Years()[0].days_written, 1);
        QCOMPARE(view->Years()[0].characters, 8);  // 晴れ。 / 散歩した。
        QVERIFY(view->Summary_text().contains(QStringLiteral("いまは 1 日続いています")));
        QVERIFY(view->Day_tip(QDate(2026, 12, 7)).endsWith(QStringLiteral("★思い出\nメモ: 散歩")));

        // The kept counts are private, and a second window counts nothing again.
        const QString kept = Records_cache_path(cache->File("sorane"), At(""));
        QCOMPARE(Mode_of(kept), 0600);
        Records_cache again;
        again.Load(kept);
        Diary_store store(At(""));
        QCOMPARE(again.Refresh(store).size(), 3);
        QVERIFY(!again.Changed());

        // The picture: every year, in a file for the user alone.
        const QString png = cache->File("records.png");
        QVERIFY(window->Save_picture(png));
        QCOMPARE(Mode_of(png), 0600);
        QImage image;
        QVERIFY(image.load(png, "PNG"));
        QCOMPARE(image.size(), view->sizeHint());
        QCOMPARE(image.pixelColor(view->Cell_of(QDate(2024, 2, 29)).center()),
                 QColor(0xc6, 0xe4, 0x8b));
        QCOMPARE(image.pixelColor(view->Cell_of(QDate(2024, 3, 1)).center()),
                 QColor(0xeb, 0xed, 0xf0));
        window->close();
    }

    void A_word_opens_the_full_text_search_with_it()
    {
        // 雨が降った。 / 雨が降る。
        QVERIFY(Put("2025/0301.txt", Hex("89 4a 82 aa 8d 7e 82 c1 82 bd 81 42")));
        QVERIFY(Put("2025/0302.txt", Hex("89 4a 82 aa 8d 7e 82 e9 81 42")));
        auto form = Start();
        Records_window* window = Open(*form);
        QVERIFY(window);
        window->Combo1->setCurrentIndex(window->Combo1->findData(2025));
        Words_panel* words = window->Words1;
        words->Wait();
        QCOMPARE(words->List1->count(), 2);
        QCOMPARE(words->List1->item(0)->text(), QStringLiteral("雨　2"));
        QCOMPARE(words->List1->item(1)->text(), QStringLiteral("降る　2"));
        QCOMPARE(words->Label2->text(),
                 QStringLiteral("2025年の 2 日から。クリックで全文検索します。"));
        words->Combo2->setCurrentIndex(2);  // 2月: nothing written
        words->Wait();
        QCOMPARE(words->List1->count(), 0);
        QCOMPARE(words->Label2->text(), QStringLiteral("2025年2月には書いた日がありません。"));
        words->Combo2->setCurrentIndex(3);
        words->Wait();

        QString searched;
        fake->Expect_modal([&searched](QDialog& dialog) {
            auto* search = qobject_cast<Fulltext_window*>(&dialog);
            if (search)
                searched = search->Words->text();
            return 0;
        });
        const QRect row = words->List1->visualItemRect(words->List1->item(1));
        QTest::mouseClick(words->List1->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(searched, QStringLiteral("降る"));
        window->close();
    }
};

QTEST_MAIN(Test_records_window)
#include "test_records_window.moc"
