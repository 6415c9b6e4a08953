// Moving the diary panel and the reference panel between days, driven
// through the real bars (mouse clicks on their arrows) on a fresh program
// folder and a set clock (7 December 2026). Files are compared whole with
// bytes written here; the order of what a move does is watched from the
// fields' own signals.

#include "app/main_form.h"
#include "support/diary_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextCursor>
#include <QWindow>
#include <QtTest>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;

const QString Read_only_text = QStringLiteral("こちらは参照専用です。");

QRect Part_of(QScrollBar* bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

// The upper and the lower arrow, clicked with the mouse.
void Up(QScrollBar* bar)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, Part_of(bar, QStyle::SC_ScrollBarSubLine).center());
}
void Down(QScrollBar* bar)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, Part_of(bar, QStyle::SC_ScrollBarAddLine).center());
}

QStringList Date_of(QLineEdit* y, QLineEdit* m, QLineEdit* d)
{
    return {y->text(), m->text(), d->text()};
}

}  // namespace

class Test_navigation : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    QStringList Diary_date(Main_form& f)
    {
        return Date_of(Controls_of(f).Text3, Controls_of(f).Text4, Controls_of(f).Text5);
    }
    QList<int> Diary_bars(Main_form& f)
    {
        return {Controls_of(f).VScroll1->value(), Controls_of(f).VScroll2->value(),
                Controls_of(f).VScroll3->value()};
    }
    QStringList Reference_date(Main_form& f)
    {
        return Date_of(Controls_of(f).Text7, Controls_of(f).Text8, Controls_of(f).Text9);
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    // ---- The bars as spinners -------------------------------------------

    void The_bars_are_spinners_over_the_date_ranges()
    {
        auto form = Start();
        const struct {
            QScrollBar* bar;
            int low, high;
        } bars[] = {
            {Controls_of(*form).VScroll1, 1990, 2100}, {Controls_of(*form).VScroll2, 1, 12},
            {Controls_of(*form).VScroll3, 1, 31},      {Controls_of(*form).VScroll4, 1990, 2100},
            {Controls_of(*form).VScroll5, 1, 12},      {Controls_of(*form).VScroll6, 1, 31}};
        for (const auto& b : bars) {
            QCOMPARE(b.bar->minimum(), b.low);
            QCOMPARE(b.bar->maximum(), b.high);
            QCOMPARE(b.bar->singleStep(), 1);
            QCOMPARE(b.bar->pageStep(), 1);
        }
        // The date fields take digits only, up to the range's width.
        for (QLineEdit* field :
             {Controls_of(*form).Text3, Controls_of(*form).Text4, Controls_of(*form).Text5,
              Controls_of(*form).Text7, Controls_of(*form).Text8, Controls_of(*form).Text9}) {
            QVERIFY2(!field->isReadOnly(), qPrintable(field->objectName()));
            const QValidator* digits = field->validator();
            const qsizetype width =
                field == Controls_of(*form).Text3 || field == Controls_of(*form).Text7 ? 4 : 2;
            int at = 0;
            for (QString typed : {QStringLiteral("2a0261"), QStringLiteral("１"),
                                  QStringLiteral("-1"), QString(width + 1, u'1')})
                QCOMPARE(digits->validate(typed, at), QValidator::Invalid);
            for (QString typed : {QString(), QStringLiteral("0"), QString(width, u'9')})
                QCOMPARE(digits->validate(typed, at), QValidator::Acceptable);
        }

        // Upper arrow up, lower arrow down, by one; the wheel turned up raises.
        QScrollBar* month = Controls_of(*form).VScroll5;
        Up(month);
        QCOMPARE(month->value(), 12);  // at the end already: stays
        Down(month);
        QCOMPARE(month->value(), 11);
        Down(month);
        QCOMPARE(month->value(), 10);
        Up(month);
        QCOMPARE(month->value(), 11);
        QCOMPARE(Controls_of(*form).Text8->text(), QStringLiteral("11"));
        // The arrows fill the bar at its design size; a page step, where a
        // trough is clicked, moves by one the same way.
        month->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(month->value(), 12);
        month->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(month->value(), 11);
        month->setValue(5);
        const QPoint centre = month->rect().center();
        QWheelEvent wheel(centre, month->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(month, &wheel);
        QCOMPARE(month->value(), 6);
        QCOMPARE(Controls_of(*form).Text8->text(), QStringLiteral("6"));

        // A date field cannot be edited by hand.
        Controls_of(*form).Text5->setFocus();
        QTest::keyClicks(Controls_of(*form).Text5, "9");
        QTest::keyClick(Controls_of(*form).Text5, Qt::Key_Backspace);
        QCOMPARE(Controls_of(*form).Text5->text(), QStringLiteral("7"));
        form.reset();
    }

    void At_the_end_of_a_range_a_step_does_nothing()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        auto form = Start();
        Controls_of(*form).VScroll3->setValue(31);
        const auto tree = File_tree(folder->Path());
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("あ"));
        QSignalSpy changed(Controls_of(*form).VScroll3, &QScrollBar::valueChanged);
        Up(Controls_of(*form).VScroll3);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "31"}));
        QCOMPARE(File_tree(folder->Path()), tree);  // no step, so no save
        Controls_of(*form).VScroll1->setValue(2100);
        Up(Controls_of(*form).VScroll1);
        QCOMPARE(Controls_of(*form).Text3->text(), QStringLiteral("2100"));
        Controls_of(*form).VScroll2->setValue(1);
        Down(Controls_of(*form).VScroll2);
        QCOMPARE(Controls_of(*form).Text4->text(), QStringLiteral("1"));
        form.reset();
    }

    // ---- The diary panel --------------------------------------------------

    void Moving_saves_the_day_left_then_shows_number_memo_and_text()
    {
        // 2026/12/08 has a memo 買い物 (ticked) and the text あ.
        const QByteArray index_0808 =
            Hex("32 30 32 36 2f 31 32 2f 30 38 31 94 83 82 a2 95 a8 0d 0a");
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), Today_record_only + index_0808));
        QVERIFY(Write_bytes(At("2026/1208.txt"), Hex("82 a0 0d 0a")));
        auto form = Start();
        Write_diary_entry(*form);
        Controls_of(*form).Check1->setChecked(false);

        QStringList effects;
        auto saved_now = [&] {
            return Read_bytes(At("2026/1207.txt")) == Day_file_bytes ? "saved" : "not saved";
        };
        for (QLineEdit* field : {Controls_of(*form).Text3, Controls_of(*form).Text4,
                                 Controls_of(*form).Text5, Controls_of(*form).Text6})
            connect(field, &QLineEdit::textChanged, this, [&, field](const QString& text) {
                effects << field->objectName() + "=" + text + " " + saved_now();
            });
        connect(Controls_of(*form).Check1, &QCheckBox::toggled, this,
                [&](bool on) { effects << QStringLiteral("Check1=%1").arg(on); });
        connect(Controls_of(*form).Text2, &QPlainTextEdit::textChanged, this,
                [&] { effects << "Text2=" + Controls_of(*form).Text2->toPlainText(); });

        Up(Controls_of(*form).VScroll3);
        QCOMPARE(effects,
                 QStringList({"Text5=8 saved", "Check1=1", "Text6=買い物 saved", "Text2=あ"}));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 8e 55 95 e0 0d 0a") + index_0808);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));

        // Back to the day written: it comes back from the files; the day
        // left was not edited, so nothing is written.
        const auto tree = File_tree(folder->Path());
        Down(Controls_of(*form).VScroll3);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text6->text(), Day_memo);
        QVERIFY(!Controls_of(*form).Check1->isChecked());
        QCOMPARE(File_tree(folder->Path()), tree);
        form.reset();
    }

    void Browsing_days_that_were_not_edited_writes_nothing()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/keyword.txt"),
                            Today_record_only + Hex("32 30 32 36 2f 31 32 2f 30 38 31 0d 0a")));
        QVERIFY(Write_bytes(At("2026/1208.txt"), Hex("82 a0 0d 0a")));
        QVERIFY(Write_bytes(At("2026/1209.txt"), Hex("0d 0a")));
        auto form = Start();
        const auto tree = File_tree(folder->Path());
        for (int i = 0; i < 4; ++i)
            Up(Controls_of(*form).VScroll3);
        Down(Controls_of(*form).VScroll2);
        Down(Controls_of(*form).VScroll1);
        Up(Controls_of(*form).VScroll1);
        Up(Controls_of(*form).VScroll2);
        for (int i = 0; i < 4; ++i)
            Down(Controls_of(*form).VScroll3);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(File_tree(folder->Path()), tree);
        form.reset();
    }

    void A_year_without_a_folder_shows_an_empty_day_and_creates_nothing()
    {
        auto form = Start();
        Write_diary_entry(*form);
        Up(Controls_of(*form).VScroll1);  // 2027: no folder
        QCOMPARE(Diary_date(*form), QStringList({"2027", "12", "7"}));
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        QVERIFY(Controls_of(*form).Text6->text().isEmpty());
        QVERIFY(!Controls_of(*form).Check1->isChecked());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        QCOMPARE(Entries(folder->Path()), QStringList({"2025", "2026", "sorane.ini"}));

        // A file standing where a year folder would be is no folder either.
        QVERIFY(Write_bytes(At("2028"), "x"));
        const auto tree = File_tree(folder->Path());
        Up(Controls_of(*form).VScroll1);
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        Up(Controls_of(*form).VScroll1);
        Down(Controls_of(*form).VScroll1);
        Down(Controls_of(*form).VScroll1);
        QCOMPARE(File_tree(folder->Path()), tree);
        form.reset();
    }

    void Thirty_February_is_a_day_like_any_other()
    {
        // 2026/02/30 has a file; 2000 has no folder at all.
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/0230.txt"), Hex("82 a0 0d 0a")));
        auto form = Start();
        Controls_of(*form).VScroll2->setValue(2);
        Controls_of(*form).VScroll3->setValue(30);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "2", "30"}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("あ"));

        Controls_of(*form).VScroll1->setValue(2000);
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨"));
        Down(Controls_of(*form).VScroll3);  // to 2000/02/29: 2000/02/30 is saved
        QCOMPARE(Entries(At("2000")), QStringList({"0230.txt", "keyword.txt"}));
        QCOMPARE(Read_bytes(At("2000/0230.txt")), Hex("89 4a 0d 0a"));
        QCOMPARE(Read_bytes(At("2000/keyword.txt")),
                 Hex("32 30 30 30 2f 30 32 2f 33 30 30 0d 0a"));  // 2000/02/300
        QCOMPARE(Read_bytes(At("2026/0230.txt")), Hex("82 a0 0d 0a"));
        form.reset();
    }

    void Memo_and_flag_come_from_every_matching_record_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("memo");
        // Records of 2026/12/08 among others, and no day file.
        QTest::newRow("one record, ticked, memo")
            << Hex("32 30 32 36 2f 31 32 2f 30 38 31 94 83 82 a2 95 a8 0d 0a") << true
            << QStringLiteral("買い物");
        QTest::newRow("ticked first, 0 later: stays ticked, later memo")
            << Hex("32 30 32 36 2f 31 32 2f 30 38 31 83 81 83 82 0d 0a"
                   "32 30 32 36 2f 31 32 2f 30 37 30 0d 0a"
                   "32 30 32 36 2f 31 32 2f 30 38 30 94 83 82 a2 95 a8 0d 0a")
            << true << QStringLiteral("買い物");
        QTest::newRow("flag 0, no memo")
            << Hex("32 30 32 36 2f 31 32 2f 30 38 30 0d 0a") << false << QString();
        QTest::newRow("eleven characters, flag 1")
            << Hex("32 30 32 36 2f 31 32 2f 30 38 31") << true << QString();
        QTest::newRow("no record")
            << Hex("32 30 32 36 2f 31 32 2f 30 39 31 83 81 83 82 0d 0a") << false << QString();
    }
    void Memo_and_flag_come_from_every_matching_record()
    {
        QFETCH(QByteArray, index);
        QFETCH(bool, ticked);
        QFETCH(QString, memo);
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), index));
        auto form = Start();
        Controls_of(*form).Check1->setChecked(true);  // the day left is ticked, with a memo
        Controls_of(*form).Text6->setText(QStringLiteral("雨"));
        const QByteArray saved_record = Hex("32 30 32 36 2f 31 32 2f 30 37 31 89 4a");
        Up(Controls_of(*form).VScroll3);
        QCOMPARE(Controls_of(*form).Check1->isChecked(), ticked);
        QCOMPARE(Controls_of(*form).Text6->text(), memo);
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());
        QVERIFY(Read_bytes(At("2026/keyword.txt")).contains(saved_record));
        // Leaving the day unedited writes nothing, duplicates included.
        const auto tree = File_tree(folder->Path());
        Up(Controls_of(*form).VScroll3);
        QCOMPARE(File_tree(folder->Path()), tree);
        form.reset();
    }

    void The_month_steps_from_12_to_11()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(
            At("2026/keyword.txt"),
            Hex("32 30 32 36 2f 31 31 2f 30 37 31 8e 55 95 e0 0d 0a")));  // 2026/11/071散歩
        QVERIFY(Write_bytes(At("2026/1107.txt"), Hex("90 b0 82 ea 81 42 0d 0a")));  // 晴れ。
        auto form = Start();
        Down(Controls_of(*form).VScroll2);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "11", "7"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 11, 7}));
        QCOMPARE(Controls_of(*form).Text6->text(), QStringLiteral("散歩"));
        QVERIFY(Controls_of(*form).Check1->isChecked());
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("晴れ。"));
        form.reset();
    }

    void A_change_under_the_lock_does_nothing()
    {
        auto form = Start();
        Write_diary_entry(*form);
        const auto tree = File_tree(folder->Path());
        Probe(*form).scroll_lock = Main_form_probe::Scroll_lock::On;
        Controls_of(*form).VScroll3->setValue(20);
        Controls_of(*form).VScroll6->setValue(20);
        Probe(*form).scroll_lock = Main_form_probe::Scroll_lock::Off;
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(Reference_date(*form), QStringList({"2025", "12", "7"}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(File_tree(folder->Path()), tree);

        // Before start-up has set the lock it counts as "on".
        Main_form fresh(*fake, *fake, folder->Path());
        Controls_of(fresh).Text2->setPlainText(QStringLiteral("あ"));
        Controls_of(fresh).VScroll3->setValue(9);
        Controls_of(fresh).VScroll4->setValue(2026);
        QCOMPARE(Controls_of(fresh).Text5->text(), QStringLiteral("1"));
        QCOMPARE(Controls_of(fresh).Text7->text(), QStringLiteral("1990"));
        QCOMPARE(File_tree(folder->Path()), tree);
        form.reset();
    }

    // ---- A day that cannot be saved ----------------------------------------

    void A_failed_save_keeps_the_panel_on_its_day()
    {
        auto form = Start();
        Write_diary_entry(*form);
        QVERIFY(QDir().mkpath(At("2026/1207.txt")));  // a folder where the file belongs
        const QString box =
            QStringLiteral(
                "メモと思い出は保存しましたが、本文は保存できませんでした。\nファイル: %1\n"
                "理由: ファイルの場所に同じ名前のフォルダーがあります。")
                .arg(At("2026/1207.txt"));
        fake->Expect_box(box, App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        Up(Controls_of(*form).VScroll3);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 7}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text6->text(), Day_memo);
        QVERIFY(Controls_of(*form).Check1->isChecked());
        VERIFY_PLATFORM_CLEAN(*fake);

        // Holding the arrow down does not go on trying once the message
        // was shown: one message, and the bar stays.
        fake->Expect_box(box, App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        const QPoint arrow =
            Part_of(Controls_of(*form).VScroll2, QStyle::SC_ScrollBarAddLine).center();
        QTest::mousePress(Controls_of(*form).VScroll2, Qt::LeftButton, {}, arrow);
        QTest::qWait(900);
        QTest::mouseRelease(Controls_of(*form).VScroll2, Qt::LeftButton, {}, arrow);
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 7}));
        VERIFY_PLATFORM_CLEAN(*fake);

        // Once the way is clear the same move saves and goes on.
        QVERIFY(QDir(At("2026/1207.txt")).removeRecursively());
        Up(Controls_of(*form).VScroll3);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        form.reset();
    }

    void A_typed_date_and_Enter_move_as_the_arrows_do()
    {
        auto form = Start();
        Write_diary_entry(*form);
        QLineEdit* day = Controls_of(*form).Text5;
        // Typed, then left without Enter: nothing moves, nothing is written,
        // the field shows the panel's day again.
        const auto tree = File_tree(folder->Path());
        day->setFocus();
        day->selectAll();
        QTest::keyClicks(day, "15");
        Controls_of(*form).Text2->setFocus();
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(File_tree(folder->Path()), tree);

        // Enter: the day left is saved, then the day typed is shown.
        day->setFocus();
        day->selectAll();
        QTest::keyClicks(day, "15");
        QTest::keyClick(day, Qt::Key_Return);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "15"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 15}));
        QVERIFY(Controls_of(*form).Text2->toPlainText().isEmpty());

        // A day the bar does not have: a beep, and the field shows 15 again.
        day->selectAll();
        QTest::keyClicks(day, "32");
        fake->calls.clear();
        QTest::keyClick(day, Qt::Key_Return);
        QCOMPARE(fake->calls, QStringList({"beep"}));
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "15"}));
        // Escape gives the typed year up.
        QLineEdit* year = Controls_of(*form).Text3;
        year->setFocus();
        year->selectAll();
        QTest::keyClicks(year, "2030");
        QTest::keyClick(year, Qt::Key_Escape);
        QCOMPARE(year->text(), QStringLiteral("2026"));

        // A save that fails keeps the panel, the bars and the field on the
        // day written, as an arrow does.
        Controls_of(*form).Text2->setPlainText(Day_text);
        Controls_of(*form).Text6->setText(Day_memo);
        QVERIFY(QDir().mkpath(At("2026/1215.txt")));
        fake->Expect_box(QStringLiteral("メモと思い出は保存しましたが、本文は保存できませんでした。"
                                        "\nファイル: %1\n"
                                        "理由: ファイルの場所に同じ名前のフォルダーがあります。")
                             .arg(At("2026/1215.txt")),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        QLineEdit* month = Controls_of(*form).Text4;
        month->setFocus();
        month->selectAll();
        QTest::keyClicks(month, "3");
        QTest::keyClick(month, Qt::Key_Enter);
        VERIFY_PLATFORM_CLEAN(*fake);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "15"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 15}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);

        // The reference panel's fields move it the same way, without a save.
        QLineEdit* reference_year = Controls_of(*form).Text7;
        reference_year->setFocus();
        reference_year->selectAll();
        QTest::keyClicks(reference_year, "2001");
        QTest::keyClick(reference_year, Qt::Key_Return);
        QCOMPARE(Controls_of(*form).VScroll4->value(), 2001);
        QCOMPARE(Reference_date(*form), QStringList({"2001", "12", "7"}));
        form.reset();
    }

    void Going_back_to_the_text_keeps_the_panel_on_its_day()
    {
        auto form = Start();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨😀"));
        const QString question = Change_day_elsewhere();
        const auto tree = File_tree(folder->Path());
        fake->Expect_box(question, App_title, Icon::Exclamation, Buttons::Yes_no_cancel,
                         Answer::Cancel);
        Down(Controls_of(*form).VScroll1);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 7}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("雨😀"));
        QCOMPARE(File_tree(folder->Path()), tree);

        fake->Expect_box(question, App_title, Icon::Exclamation, Buttons::Yes_no_cancel,
                         Answer::No);
        Down(Controls_of(*form).VScroll1);
        QCOMPARE(Diary_date(*form), QStringList({"2025", "12", "7"}));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("89 4a 3f 0d 0a"));  // 雨?
        QCOMPARE(Read_bytes(At("2026/1207.utf8.txt")), QStringLiteral("\n雨😀").toUtf8());
        form.reset();
    }

    void An_arrow_held_while_the_save_asks_moves_one_day()
    {
        auto form = Start();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨😀"));
        const QString question = Change_day_elsewhere();
        // The user answers after 0.6 s, longer than the arrow's delay before
        // it repeats, with the button still held on the arrow.
        fake->Expect_box(question, App_title, Icon::Exclamation, Buttons::Yes_no_cancel, Answer::No,
                         [] { QTest::qWait(600); });
        const QPoint arrow =
            Part_of(Controls_of(*form).VScroll3, QStyle::SC_ScrollBarSubLine).center();
        QTest::mousePress(Controls_of(*form).VScroll3, Qt::LeftButton, {}, arrow);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 8}));
        QTest::qWait(200);
        QTest::mouseRelease(Controls_of(*form).VScroll3, Qt::LeftButton, {}, arrow);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));
        QCOMPARE(Diary_bars(*form), QList<int>({2026, 12, 8}));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("89 4a 3f 0d 0a"));  // 雨?
        QVERIFY(!QFile::exists(At("2026/1208.txt")));
        form.reset();
    }

    void A_memo_of_any_length_survives_an_edit_of_the_day()
    {
        // 100,000 characters: あ and a, by turns.
        QByteArray memo_bytes;
        for (int i = 0; i < 50000; ++i)
            memo_bytes += Hex("82 a0 61");
        const QByteArray record = QByteArray("2026/12/070") + memo_bytes + "\r\n";
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), record));
        auto form = Start();
        QCOMPARE(Controls_of(*form).Text6->text().size(), 100000);
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("雨"));
        Up(Controls_of(*form).VScroll3);
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("89 4a 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")).size(), record.size());
        QVERIFY(Read_bytes(At("2026/keyword.txt")) == record);
        form.reset();
    }

    // ---- Text being composed in an input method ----------------------------

    void Composed_text_is_saved_with_the_rest()
    {
        auto form = Start();
        Controls_of(*form).Text2->setFocus();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("今日は"));
        QInputMethodEvent composing(QStringLiteral("にっき"), {});
        QCoreApplication::sendEvent(Controls_of(*form).Text2, &composing);
        QCOMPARE(Controls_of(*form).Text2->toPlainText(),
                 QStringLiteral("今日は"));  // not in the text yet
        Up(Controls_of(*form).VScroll3);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Hex("8d a1 93 fa 82 cd 82 c9 82 c1 82 ab 0d 0a"));

        // In the memo, and ending the program.
        Controls_of(*form).Text6->setFocus();
        QInputMethodEvent memo(QStringLiteral("日記"), {});
        QCoreApplication::sendEvent(Controls_of(*form).Text6, &memo);
        QTest::mouseClick(Controls_of(*form).Command2, Qt::LeftButton);
        QVERIFY(form->Ended());
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 30 0d 0a"
                     "32 30 32 36 2f 31 32 2f 30 38 30 93 fa 8b 4c 0d 0a"));  // 2026/12/080日記
        QCOMPARE(Read_bytes(At("2026/1208.txt")), Hex("0d 0a"));
    }

    // ---- The reference panel ----------------------------------------------

    void The_reference_panel_moves_with_one_load_per_bar_changed()
    {
        QVERIFY(QDir().mkpath(At("2024")));
        QVERIFY(Write_bytes(At("2024/0507.txt"), Hex("82 a0 0d 0a")));        // あ
        QVERIFY(Write_bytes(At("2024/0307.txt"), Hex("8e 55 95 e0 0d 0a")));  // 散歩
        auto form = Start();
        Write_diary_entry(*form);  // not saved by any of this
        const auto tree = File_tree(folder->Path());
        QSignalSpy loads(Controls_of(*form).Text1, &QPlainTextEdit::textChanged);

        Probe(*form).Show_reference_day(2024, 5, 7);  // year and month change
        QCOMPARE(Reference_date(*form), QStringList({"2024", "5", "7"}));
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), QStringLiteral("あ"));
        QCOMPARE(loads.count(), 2);

        loads.clear();
        Probe(*form).Show_reference_day(2024, 3, 7);  // only the month
        QCOMPARE(loads.count(), 1);
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), QStringLiteral("散歩"));
        QCOMPARE(
            QList<int>({Controls_of(*form).VScroll4->value(), Controls_of(*form).VScroll5->value(),
                        Controls_of(*form).VScroll6->value()}),
            QList<int>({2024, 3, 7}));

        loads.clear();
        Probe(*form).Show_reference_day(2024, 3, 7);  // already there
        QCOMPARE(loads.count(), 0);

        // By the arrows: a day without a file, a year without a folder.
        Up(Controls_of(*form).VScroll6);
        QCOMPARE(Reference_date(*form), QStringList({"2024", "3", "8"}));
        QVERIFY(Controls_of(*form).Text1->toPlainText().isEmpty());
        // Year, month, day in this order: the month comes in before the day.
        QStringList shown;
        connect(Controls_of(*form).Text1, &QPlainTextEdit::textChanged, this, [&] {
            shown << Reference_date(*form).join('/') + "=" +
                         Controls_of(*form).Text1->toPlainText();
        });
        Probe(*form).Show_reference_day(2024, 5, 7);
        QCOMPARE(shown, QStringList({"2024/5/8=", "2024/5/7=あ"}));
        Probe(*form).Show_reference_day(2030, 3, 7);
        QVERIFY(Controls_of(*form).Text1->toPlainText().isEmpty());

        // The diary panel is untouched and nothing is written or created.
        QCOMPARE(Diary_date(*form), QStringList({"2026", "12", "7"}));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QCOMPARE(Controls_of(*form).Text6->text(), Day_memo);
        QVERIFY(Controls_of(*form).Check1->isChecked());
        QCOMPARE(File_tree(folder->Path()), tree);
        form.reset();
    }

    void A_long_reference_day_is_shown_whole()
    {
        QVERIFY(QDir().mkpath(At("2024")));
        QByteArray long_day;
        while (long_day.size() < 32100)
            long_day += Hex("82 a0 0d 0a");  // あ CR LF
        QVERIFY(Write_bytes(At("2024/0507.txt"), long_day));
        auto form = Start();
        fake->calls.clear();
        Probe(*form).Show_reference_day(2024, 5, 7);
        QVERIFY(fake->calls.isEmpty());  // no box
        // "あ" and a line break each, less the final one.
        QCOMPARE(Controls_of(*form).Text1->toPlainText().size(), long_day.size() / 4 * 2 - 1);
        // A short day after it.
        Up(Controls_of(*form).VScroll6);
        QVERIFY(Controls_of(*form).Text1->toPlainText().isEmpty());
        QVERIFY(fake->calls.isEmpty());
        // Only shown: the file keeps its bytes.
        End(*form);
        QCOMPARE(Read_bytes(At("2024/0507.txt")), long_day);
    }

    void Typed_keys_in_the_reference_text_are_refused_data()
    {
        // Each key: its code, its modifiers and the text the platform gives
        // with it (X11 gives control characters for Ctrl+letter; some
        // platforms give none).
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QList<int>>("modifiers");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("messages");
        const int ctrl = int(Qt::ControlModifier);
        const int shift = int(Qt::ShiftModifier);
        QTest::newRow("a letter") << QList<int>{Qt::Key_A} << QList<int>{0} << QStringList{"a"}
                                  << 1;
        QTest::newRow("あ") << QList<int>{Qt::Key_unknown} << QList<int>{0} << QStringList{"あ"}
                            << 1;
        QTest::newRow("Enter") << QList<int>{Qt::Key_Return} << QList<int>{0} << QStringList{"\r"}
                               << 1;
        QTest::newRow("Backspace")
            << QList<int>{Qt::Key_Backspace} << QList<int>{0} << QStringList{"\b"} << 1;
        QTest::newRow("Escape") << QList<int>{Qt::Key_Escape} << QList<int>{0}
                                << QStringList{"\x1b"} << 1;
        QTest::newRow("Ctrl+V Ctrl+X") << QList<int>{Qt::Key_V, Qt::Key_X} << QList<int>{ctrl, ctrl}
                                       << QStringList{"\x16", "\x18"} << 2;
        QTest::newRow("Ctrl+V, Ctrl+X without text")
            << QList<int>{Qt::Key_V, Qt::Key_X} << QList<int>{ctrl, ctrl} << QStringList{"", ""}
            << 2;
        QTest::newRow("Ctrl+C, Ctrl+A copy and select")
            << QList<int>{Qt::Key_C, Qt::Key_A, Qt::Key_C, Qt::Key_A}
            << QList<int>{ctrl, ctrl, ctrl, ctrl} << QStringList{"\x03", "\x01", "", ""} << 0;
        QTest::newRow("Ctrl+C between refused letters")
            << QList<int>{Qt::Key_A, Qt::Key_C, Qt::Key_B} << QList<int>{0, ctrl, 0}
            << QStringList{"a", "\x03", "b"} << 2;
        QTest::newRow("three letters, three messages")
            << QList<int>{Qt::Key_A, Qt::Key_B, Qt::Key_C} << QList<int>{0, 0, 0}
            << QStringList{"a", "b", "c"} << 3;
        QTest::newRow("Delete") << QList<int>{Qt::Key_Delete} << QList<int>{0}
                                << QStringList{"\x7f"} << 0;
        QTest::newRow("Shift+Insert, Shift+Delete, Ctrl+Insert")
            << QList<int>{Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Insert}
            << QList<int>{shift, shift, ctrl} << QStringList{"", "", ""} << 0;
        QTest::newRow("arrows and paging")
            << QList<int>{Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End} << QList<int>{0, 0, shift}
            << QStringList{"", "", ""} << 0;
    }
    void Typed_keys_in_the_reference_text_are_refused()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QList<int>, modifiers);
        QFETCH(QStringList, texts);
        QFETCH(int, messages);
        QVERIFY(QDir().mkpath(At("2025")));
        QVERIFY(
            Write_bytes(At("2025/1207.txt"), Hex("8e 55 95 e0 0d 0a 82 a0 0d 0a")));  // 散歩 / あ
        auto form = Start();
        QApplication::clipboard()->setText(QStringLiteral("貼り付け"));
        Controls_of(*form).Text1->setFocus();
        Controls_of(*form).Text1->selectAll();
        for (int i = 0; i < messages; ++i)
            fake->Expect_box(Read_only_text, App_title, Icon::None, Buttons::Ok, Answer::Ok);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const auto key = Qt::Key(keys[i]);
            const auto mods = Qt::KeyboardModifiers(modifiers[i]);
            // A shortcut check comes first, as the application sends it.
            QKeyEvent override(QEvent::ShortcutOverride, key, mods, texts[i]);
            QCoreApplication::sendEvent(Controls_of(*form).Text1, &override);
            QTest::sendKeyEvent(QTest::Press, Controls_of(*form).Text1, key, texts[i], mods);
            QTest::sendKeyEvent(QTest::Release, Controls_of(*form).Text1, key, texts[i], mods);
        }
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), QStringLiteral("散歩\nあ"));
        QCOMPARE(fake->calls.count("box:" + App_title + ":" + Read_only_text), messages);
        QCOMPARE(fake->calls.size(), messages);
        form.reset();
    }

    // Ctrl+F in the reference text opens 全文検索, as from the diary text,
    // instead of being refused as a typed character.
    void A_menu_key_in_the_reference_text_opens_its_window()
    {
        auto form = Start();
        Controls_of(*form).Text1->setFocus();
        fake->Expect_modal([](QDialog&) { return 0; });
        QTest::keyClick(Controls_of(*form).Text1, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(fake->calls, QStringList{QStringLiteral("modal:Fulltext_window")});
        form.reset();
    }

    void The_reference_text_can_be_copied()
    {
        QVERIFY(QDir().mkpath(At("2025")));
        QVERIFY(
            Write_bytes(At("2025/1207.txt"), Hex("8e 55 95 e0 0d 0a 82 a0 0d 0a")));  // 散歩 / あ
        auto form = Start();
        const QString whole = QStringLiteral("散歩\nあ");
        QClipboard* clipboard = QApplication::clipboard();
        Controls_of(*form).Text1->setFocus();

        // Select all and copy from the keyboard, both ways of copying.
        clipboard->setText(QStringLiteral("前"));
        QTest::keyClick(Controls_of(*form).Text1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Controls_of(*form).Text1, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), whole);
        QTextCursor first_line(Controls_of(*form).Text1->document());
        first_line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        Controls_of(*form).Text1->setTextCursor(first_line);
        QTest::keyClick(Controls_of(*form).Text1, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("散歩"));

        // The context menu's select all and copy.
        clipboard->setText(QStringLiteral("前"));
        QMenu* menu = Controls_of(*form).Text1->createStandardContextMenu();  // the field's own
        auto* select_all = menu->findChild<QAction*>(QStringLiteral("select-all"));
        auto* copy = menu->findChild<QAction*>(QStringLiteral("edit-copy"));
        QVERIFY(select_all && copy);
        select_all->trigger();
        copy->trigger();
        QCOMPARE(clipboard->text(), whole);

        // Copying changed nothing, and a letter is still refused.
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), whole);
        QVERIFY(fake->calls.isEmpty());
        fake->Expect_box(Read_only_text, App_title, Icon::None, Buttons::Ok, Answer::Ok);
        QTest::keyClick(Controls_of(*form).Text1, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), whole);
        QCOMPARE(clipboard->text(), whole);
        form.reset();
    }

    void Nothing_but_typing_changes_the_reference_text_either()
    {
        QVERIFY(QDir().mkpath(At("2025")));
        QVERIFY(Write_bytes(At("2025/1207.txt"), Hex("8e 55 95 e0 0d 0a")));  // 散歩
        auto form = Start();
        QApplication::clipboard()->setText(QStringLiteral("貼り付け"));
        Controls_of(*form).Text1->setFocus();
        Controls_of(*form).Text1->selectAll();
        Controls_of(*form).Text1->paste();
        Controls_of(*form).Text1->cut();
        QInputMethodEvent composing(QStringLiteral("にっき"), {});
        QCoreApplication::sendEvent(Controls_of(*form).Text1, &composing);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("日記"));
        QCoreApplication::sendEvent(Controls_of(*form).Text1, &commit);
        // The menu belongs to the field and goes with it.
        QMenu* menu = Controls_of(*form).Text1->createStandardContextMenu();
        for (QAction* action : menu->actions())
            if (action->isEnabled())
                action->trigger();
        QCOMPARE(Controls_of(*form).Text1->toPlainText(), QStringLiteral("散歩"));
        QVERIFY(!Controls_of(*form).Text1->testAttribute(Qt::WA_InputMethodEnabled));
        form.reset();
    }

    // ---- A real arrow click through the window system ----------------------

    void A_mouse_click_on_an_arrow_moves_one_day_and_saves()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
        const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xdotool.isEmpty())
            QSKIP("needs xdotool");
        auto form = Start();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        Write_diary_entry(*form);
        const QPoint arrow = Controls_of(*form).VScroll3->mapToGlobal(
            Part_of(Controls_of(*form).VScroll3, QStyle::SC_ScrollBarSubLine).center());
        QCOMPARE(QProcess::execute(xdotool, {"mousemove", QString::number(arrow.x()),
                                             QString::number(arrow.y()), "click", "1"}),
                 0);
        QTRY_COMPARE(Diary_date(*form), QStringList({"2026", "12", "8"}));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        form.reset();
    }
};

QTEST_MAIN(Test_navigation)
#include "test_navigation.moc"
