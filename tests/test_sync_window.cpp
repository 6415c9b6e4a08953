// Another computer's versions of a day, as the main window meets them: a
// day edited here that changes on disk is asked about at once; ほかの版…
// settles a synchronising tool's copy (kept, taken or merged), the version
// not kept in the history before the copy goes; a year's copies of
// keyword.txt are merged record by record. Files are compared as bytes.

#include "dialogs/history_window.h"
#include "dialogs/versions_window.h"
#include "support/diary_fixture.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

using Answer = Platform::Answer;

// 雨。 as another computer's day file; 雨。/散歩しない。, another version of
// the day as long as the day's own file (a history that links the day file
// by its size would keep the wrong bytes), and the two merged.
const QByteArray Rain_file = Hex("89 4a 81 42 0d 0a");
const QByteArray Other_file = Hex("89 4a 81 42 0d 0a 8e 55 95 e0 82 b5 82 c8 82 a2 81 42 0d 0a");
const QString Other_day_text = QStringLiteral("雨。\n散歩しない。");
const QByteArray Merged_file = Day_file_bytes + Other_file;
const QString Sync_copy = QStringLiteral("2026/1207.sync-conflict-20261207-101010-ABCDEFG.txt");

enum class Settle {
    Keep,
    Take,
    Merge
};

}  // namespace

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(Settle)

class Test_sync_window : public QObject, Diary_fixture {
    Q_OBJECT

    std::unique_ptr<Main_form> Start_active()
    {
        auto form = Start();
        QApplication::setActiveWindow(form.get());
        if (!QTest::qWaitForWindowActive(form.get()))
            return nullptr;
        return form;
    }

    static QAction* Versions_menu(Main_form& form)
    {
        return form.findChild<QAction*>(QStringLiteral("Menu_versions"));
    }

    // The day's versions in its history, oldest first, as bytes.
    static QList<QByteArray> History_files(Main_form& form)
    {
        QList<QByteArray> out;
        for (const History_version& v : form.Session().History().Versions(2026, 12, 7))
            out.prepend(Read_bytes(v.path));
        return out;
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    void A_day_being_edited_and_changed_on_disk_is_asked_about_at_once_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("the files' version") << Answer::Yes;
        QTest::newRow("back to the text") << Answer::Cancel;
    }
    void A_day_being_edited_and_changed_on_disk_is_asked_about_at_once()
    {
        QFETCH(Answer, answer);
        auto form = Start_active();
        QVERIFY(form);
        Write_diary_entry(*form);
        const QString copy = QStringLiteral("2026/1207.conflict-20261207-213015.txt");
        fake->Expect_box(Changed_day_question(copy), App_title, Platform::Icon::Exclamation,
                         Platform::Buttons::Yes_no_cancel, answer);
        // Nobody saves or moves: the folder's watch alone brings the question.
        QVERIFY(Write_bytes(At("2026/1207.txt"), Rain_file));
        QTRY_VERIFY(fake->Problems().isEmpty());
        if (answer == Answer::Yes) {
            QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("雨。"));
            QCOMPARE(Read_bytes(At(copy)),
                     Hex("83 81 83 82 81 46 8e 55 95 e0 0d 0a"                 // メモ：散歩
                         "8e 76 82 a2 8f 6f 81 46 82 a0 82 e8 0d 0a 0d 0a") +  // 思い出：あり
                         Day_file_bytes);
            return;
        }
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QVERIFY(!QFile::exists(At(copy)));
        // The same change is asked about once; another file in the folder
        // asks nothing (an unscripted question fails the test).
        QVERIFY(Write_bytes(At("2026/0101.txt"), Rain_file));
        QTest::qWait(700);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Rain_file);
    }

    void A_sync_copy_is_kept_taken_or_merged_and_the_version_not_kept_goes_to_the_history_data()
    {
        QTest::addColumn<Settle>("settle");
        QTest::newRow("keep the current day") << Settle::Keep;
        QTest::newRow("take the other version") << Settle::Take;
        QTest::newRow("merge by editing") << Settle::Merge;
    }
    void A_sync_copy_is_kept_taken_or_merged_and_the_version_not_kept_goes_to_the_history()
    {
        QFETCH(Settle, settle);
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/1207.txt"), Day_file_bytes));
        QVERIFY(Write_bytes(At(Sync_copy), Other_file));
        auto form = Start();
        QCOMPARE(form->windowTitle(),
                 App_title + QStringLiteral("　（この日の別の版：%1）").arg(Sync_copy));
        fake->Expect_modal([settle](QDialog& d) {
            auto* w = qobject_cast<Versions_window*>(&d);
            if (!w || w->List1->count() != 1 || w->List1->item(0)->text() != Sync_copy ||
                w->Other_text->toPlainText() != Other_day_text ||
                w->Current_text->toPlainText() != Day_text ||
                w->Other_text->extraSelections().size() != 2 ||
                w->Current_text->extraSelections().size() != 2 || w->Merge_button->isEnabled())
                return -1;
            switch (settle) {
            case Settle::Keep: w->Keep_button->click(); break;
            case Settle::Take: w->Take_button->click(); break;
            case Settle::Merge:
                w->Current_text->moveCursor(QTextCursor::End);
                w->Current_text->insertPlainText("\n" + Other_day_text);
                if (w->Other_text->extraSelections().size() != 0 || !w->Merge_button->isEnabled())
                    return -1;  // every line of the other version is in the day now
                w->Merge_button->click();
                break;
            }
            return d.result();
        });
        Versions_menu(*form)->trigger();
        VERIFY_PLATFORM_CLEAN(*fake);
        QVERIFY(!QFile::exists(At(Sync_copy)));
        QCOMPARE(form->windowTitle(), App_title);
        switch (settle) {
        case Settle::Keep:
            QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
            QCOMPARE(History_files(*form), QList<QByteArray>({Other_file}));
            break;
        case Settle::Take:
            QCOMPARE(Read_bytes(At("2026/1207.txt")), Other_file);
            QCOMPARE(Controls_of(*form).Text2->toPlainText(), Other_day_text);
            QCOMPARE(History_files(*form), QList<QByteArray>({Day_file_bytes}));
            break;
        case Settle::Merge:
            QCOMPARE(Read_bytes(At("2026/1207.txt")), Merged_file);
            // The copy first, then the day the merged text replaced.
            QCOMPARE(History_files(*form), QList<QByteArray>({Other_file, Day_file_bytes}));
            break;
        }
    }

    void Our_copy_brings_its_memo_and_a_copy_of_the_exact_text_its_characters()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/1207.txt"), Day_file_bytes));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), Today_record_saved));  // 散歩, 思い出
        // This program's copy: メモ：雨, 思い出：なし, an empty line, 雨。
        const QString own = QStringLiteral("2026/1207.conflict-20261207-101010.txt");
        QVERIFY(Write_bytes(At(own), Hex("83 81 83 82 81 46 89 4a 0d 0a"
                                         "8e 76 82 a2 8f 6f 81 46 82 c8 82 b5 0d 0a 0d 0a") +
                                         Rain_file));
        // A sync tool's copy of the day's exact text: memo 🎂, text 雪😀.
        const QString exact = QStringLiteral("2026/1207.utf8.sync-conflict-20261207-101010-X.txt");
        QVERIFY(Write_bytes(At(exact), QStringLiteral("🎂\n雪😀").toUtf8()));
        auto form = Start();
        const auto take = [&](const QString& name, const QString& record) {
            fake->Expect_modal([name, record](QDialog& d) {
                auto* w = qobject_cast<Versions_window*>(&d);
                if (!w || w->List1->findItems(name, Qt::MatchExactly).size() != 1)
                    return -1;
                w->List1->setCurrentItem(w->List1->findItems(name, Qt::MatchExactly).front());
                if (w->Other_record->text() != record)
                    return -1;
                w->Take_button->click();
                return d.result();
            });
            Versions_menu(*form)->trigger();
            VERIFY_PLATFORM_CLEAN(*fake);
        };
        take(own, Record_line(QStringLiteral("雨"), false));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Rain_file);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 89 4a 0d 0a"));  // 2026/12/070雨
        QVERIFY(!QFile::exists(At(own)));
        take(exact, Record_line(QStringLiteral("🎂"), false));
        // The files with the substitutes Windows writes, the exact text beside.
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("90 e1 3f 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 3f 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/1207.utf8.txt")), QStringLiteral("🎂\n雪😀").toUtf8());
        QVERIFY(!QFile::exists(At(exact)));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("雪😀"));
        QCOMPARE(form->windowTitle(), App_title);
    }

    void Closing_the_window_removes_nothing()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At(Sync_copy), Rain_file));
        auto form = Start();
        fake->Expect_modal([](QDialog& d) {
            d.reject();
            return d.result();
        });
        Versions_menu(*form)->trigger();
        QCOMPARE(Read_bytes(At(Sync_copy)), Rain_file);
        QVERIFY(!QFile::exists(At("history")));
    }

    void Copies_of_the_index_are_merged_record_by_record()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        // Here: 5 December 散歩; the copy: 5 December 雨 (differs) and
        // 6 December 雪 (only there).
        const QByteArray index = Hex("32 30 32 36 2f 31 32 2f 30 35 30 8e 55 95 e0 0d 0a");
        const QByteArray snow = Hex("32 30 32 36 2f 31 32 2f 30 36 31 90 e1 0d 0a");
        QVERIFY(Write_bytes(At("2026/keyword.txt"), index));
        QVERIFY(Write_bytes(At("2026/1205.txt"), Rain_file));
        const QString copy = QStringLiteral("2026/keyword.sync-conflict-20261207-101010-XYZ.txt");
        QVERIFY(Write_bytes(At(copy), Hex("32 30 32 36 2f 31 32 2f 30 35 30 89 4a 0d 0a") + snow));
        auto form = Start();
        fake->Expect_box(
            QStringLiteral("2026年の索引ファイル（keyword.txt）のほかの版「%1」を、この日記に"
                           "まとめました。\nほかの版にだけあった1日分のメモと思い出を加えました。\n"
                           "メモや思い出が違っていた1日分は、その日のほかの版（.conflict-…）として"
                           "残しました。")
                .arg(copy),
            App_title, Platform::Icon::Information, Platform::Buttons::Ok, Answer::Ok);
        fake->Expect_box(QStringLiteral("2026年12月7日の日記には、ほかの版がありません。"),
                         App_title, Platform::Icon::Information, Platform::Buttons::Ok, Answer::Ok);
        Versions_menu(*form)->trigger();
        VERIFY_PLATFORM_CLEAN(*fake);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), index + snow);
        QCOMPARE(Read_bytes(At("2026/1205.conflict-20261207-213015.txt")),
                 Hex("83 81 83 82 81 46 89 4a 0d 0a"                       // メモ：雨
                     "8e 76 82 a2 8f 6f 81 46 82 c8 82 b5 0d 0a 0d 0a") +  // 思い出：なし
                     Rain_file);
        QVERIFY(!QFile::exists(At(copy)));
    }
};

QTEST_MAIN(Test_sync_window)
#include "test_sync_window.moc"
