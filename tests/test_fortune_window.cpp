// The 占い button and the fortune window, on a set clock and a fresh program
// folder: the gate's order and words, the told state written at once, the
// window's look and place, each result shown as it is drawn, tomorrow's
// heading, and closing the window while the drawing waits.

#include "app/main_form.h"
#include "dialogs/f_uranai.h"
#include "fortune/draw_fortune.h"
#include "fortune/fortune_tables.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"
#include "support/diary_fixture.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <deque>
#include <sys/stat.h>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;

// The first run's settings (First_ini) after a fortune was told, with the
// reference date as the panel holds it.
const QByteArray Told_ini =
    Ini({"0", "4590", "9645", "7020", "9510", "nomal", "1", "2025/12/7", "2026/12/07", "sumi"});

const QString Told_already_text = QStringLiteral("本日の占いはもう終わっています");
const QString Write_first_text =
    QStringLiteral("この占いは、今日の日記の内容を解析して明日の運気を予測するものです。\r"
                   "まず、今日の日記をつけて下さい。");
const QString Waiting_title = QStringLiteral("計算中です。しばらくお待ち下さい。");
const QString Computing = QStringLiteral("計算中");

// Plays back a fixed list of draws; hooks act at a given draw or re-seed,
// as a user's click or the window's end would come in the middle of the
// drawing.
class Scripted_generator final : public Random_generator {
public:
    explicit Scripted_generator(std::deque<double> scripted_draws)
        : draws(std::move(scripted_draws))
    {}

    double Draw() override
    {
        ++draw_count;
        if (on_draw)
            on_draw(draw_count);
        if (draws.empty()) {
            overdrawn = true;
            return 0.0;
        }
        const double u = draws.front();
        draws.pop_front();
        return u;
    }
    void Seed_from_clock(const QDateTime&, quint64) override { ++clock_seeds; }
    void Reseed(double x) override
    {
        reseeds << x;
        if (on_reseed)
            on_reseed(int(reseeds.size()));
    }

    std::deque<double> draws;
    int draw_count = 0;
    int clock_seeds = 0;
    QList<double> reseeds;
    bool overdrawn = false;
    std::function<void(int)> on_draw;
    std::function<void(int)> on_reseed;
};

// The draws for a fortune of 小吉, 緑, ９ and 天網恢恢疎にして漏らさず after
// wait_passes passes, with no passes in the later steps.
std::deque<double> Draws(int wait_passes)
{
    return {(wait_passes + 0.5) / 2000, 0.45, 0.0, 0.35, 0.0, 0.95, 0.0, 20.5 / 30};
}

// What the window shows: its title and the four value labels.
QString Shown(const F_uranai& window)
{
    return QStringList({window.windowTitle(), window.Label5->text(), window.Label6->text(),
                        window.Label7->text(), window.Label8->text()})
        .join(u'|');
}

// The window's first activation as the window system delivers it, then the
// event loop's turn in which the drawing runs.
void Activate(QDialog& dialog)
{
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&dialog, &activate);
    QCoreApplication::processEvents();
}

enum class Gate_outcome {
    Told_already,
    Write_first,
    Opens
};
enum class Closing {
    Ok_button,
    Close_box,
    Destroyed
};

}  // namespace

Q_DECLARE_METATYPE(Gate_outcome)
Q_DECLARE_METATYPE(Closing)

class Test_fortune_window : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    // The busy pointer went on once and off again, and is off now.
    void Verify_busy_balanced()
    {
        QCOMPARE(fake->calls.count(QStringLiteral("busy+")), 1);
        QCOMPARE(fake->calls.count(QStringLiteral("busy-")), 1);
        QVERIFY(fake->calls.indexOf(QStringLiteral("busy+")) <
                fake->calls.indexOf(QStringLiteral("busy-")));
        QCOMPARE(fake->busy_depth, 0);
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup()
    {
        VERIFY_PLATFORM_CLEAN(*fake);
        QCOMPARE(fake->busy_depth, 0);
        Verify_no_window_left_open();
    }

    // ---- The gate ---------------------------------------------------------

    void The_gate_in_its_order_data()
    {
        QTest::addColumn<QString>("fortune_state");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Gate_outcome>("outcome");
        QTest::newRow("told, with a text") << "sumi"
                                           << "晴れ" << Gate_outcome::Told_already;
        QTest::newRow("told beats an empty text") << "sumi"
                                                  << "" << Gate_outcome::Told_already;
        QTest::newRow("not told, empty text") << "mada"
                                              << "" << Gate_outcome::Write_first;
        QTest::newRow("not told, one line break") << "mada"
                                                  << "\n"
                                                  << Gate_outcome::Opens;
        QTest::newRow("not told, blanks") << "mada"
                                          << "　 " << Gate_outcome::Opens;
        QTest::newRow("Sumi in another case is not told") << "Sumi"
                                                          << "晴れ" << Gate_outcome::Opens;
        QTest::newRow("an empty state is not told") << ""
                                                    << "晴れ" << Gate_outcome::Opens;
    }
    void The_gate_in_its_order()
    {
        QFETCH(QString, fortune_state);
        QFETCH(QString, text);
        QFETCH(Gate_outcome, outcome);
        // The state as the settings file holds it at start, on the day of
        // its last run.
        const QByteArray ini = Ini({"0", "4590", "9645", "7020", "9510", "nomal", "1", "2026/12/07",
                                    "2026/12/07", fortune_state.toUtf8()});
        QVERIFY(Write_bytes(At("sorane.ini"), ini));
        auto form = Start();
        Controls_of(*form).Text2->setPlainText(text);
        fake->calls.clear();

        QByteArray ini_when_opened;
        QString state_when_opened;
        switch (outcome) {
        case Gate_outcome::Told_already:
            fake->Expect_box(Told_already_text, QStringLiteral("【ソラネ】Ver.2.0"), Icon::None,
                             Buttons::Ok, Answer::Ok);
            break;
        case Gate_outcome::Write_first:
            fake->Expect_box(Write_first_text, QStringLiteral("【ソラネ】Ver.2.0"), Icon::None,
                             Buttons::Ok, Answer::Ok);
            break;
        case Gate_outcome::Opens:
            fake->Expect_modal([&](QDialog&) {
                ini_when_opened = Read_bytes(At("sorane.ini"));
                state_when_opened = form->Session().State().settings.fortune_state.Word();
                return int(QDialog::Accepted);
            });
            break;
        }
        QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);

        if (outcome == Gate_outcome::Opens) {
            QCOMPARE(fake->calls, QStringList({"modal:F_uranai"}));
            // Told, and on disk, before the window opened; the day itself
            // was not written.
            QCOMPARE(state_when_opened, QStringLiteral("sumi"));
            QCOMPARE(ini_when_opened, Told_ini);
            QCOMPARE(Entries(At("2026")), QStringList({"keyword.txt"}));
            QCOMPARE(form->Session().State().settings.fortune_state.Word(), QStringLiteral("sumi"));
        } else {
            QCOMPARE(fake->calls.size(), 1);
            QVERIFY(fake->calls[0].startsWith(QStringLiteral("box:")));
            QCOMPARE(form->Session().State().settings.fortune_state.Word(), fortune_state);
            QCOMPARE(Read_bytes(At("sorane.ini")), ini);
        }
    }

    void The_button_tells_a_whole_fortune_with_the_programs_generator()
    {
        auto form = Start();
        Controls_of(*form).Text2->setPlainText(QStringLiteral("晴れ"));
        QStringList shown;
        fake->Expect_modal([&](QDialog& dialog) {
            auto* window = qobject_cast<F_uranai*>(&dialog);
            if (!window)
                return int(QDialog::Rejected);
            Activate(*window);
            shown = Shown(*window).split(u'|');
            window->Command1->click();
            return window->result();
        });
        fake->calls.clear();
        QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);
        QCOMPARE(shown.size(), 5);
        QCOMPARE(shown[0], QStringLiteral("2026年12月08日の運勢です"));
        QVERIFY(std::find(luck_table.begin(), luck_table.end(), shown[1]) != luck_table.end());
        QVERIFY(std::find(color_table.begin(), color_table.end(), shown[2]) != color_table.end());
        QVERIFY(std::find(number_table.begin(), number_table.end(), shown[3]) !=
                number_table.end());
        QVERIFY(std::find(advice_table.begin(), advice_table.end(), shown[4]) !=
                advice_table.end());
        Verify_busy_balanced();
    }

    void A_fortune_told_before_a_crash_is_not_told_again()
    {
        {
            auto form = Start();
            Controls_of(*form).Text2->setPlainText(QStringLiteral("晴れ"));
            fake->Expect_modal([](QDialog&) { return int(QDialog::Accepted); });
            QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);
            // Killed: the window goes without any ending.
        }
        QCOMPARE(Read_bytes(At("sorane.ini")), Told_ini);

        fake->now = QDateTime(QDate(2026, 12, 7), QTime(23, 0, 0));
        {
            auto form = Start();
            Controls_of(*form).Text2->setPlainText(QStringLiteral("晴れ"));
            fake->Expect_box(Told_already_text, App_title, Icon::None, Buttons::Ok, Answer::Ok);
            QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);
        }
        // The next day the fortune can be asked for again.
        fake->now = QDateTime(QDate(2026, 12, 8), QTime(7, 0, 0));
        auto form = Start();
        Controls_of(*form).Text2->setPlainText(QStringLiteral("雨"));
        fake->Expect_modal([](QDialog&) { return int(QDialog::Accepted); });
        QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);
        QCOMPARE(form->Session().State().settings.fortune_state.Word(), QStringLiteral("sumi"));
    }

    void A_failed_write_of_the_told_state_is_reported()
    {
        auto form = Start();
        Controls_of(*form).Text2->setPlainText(QStringLiteral("晴れ"));
        QVERIFY(::chmod(QFile::encodeName(At("sorane.ini")).constData(), 0444) == 0);
        fake->calls.clear();
        fake->Expect_box(QStringLiteral("占いを済ませたことを設定ファイルに保存できませんでした。\n"
                                        "ファイル: %1\n"
                                        "理由: ファイルが読み取り専用になっています。\n\n"
                                        "終了するときに、もう一度保存します。")
                             .arg(At("sorane.ini")),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        fake->Expect_modal([](QDialog&) { return int(QDialog::Accepted); });
        QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);
        // Reported before the window opened; the fortune is still told.
        QCOMPARE(fake->calls.size(), 2);
        QCOMPARE(fake->calls[1], QStringLiteral("modal:F_uranai"));
        QCOMPARE(form->Session().State().settings.fortune_state.Word(), QStringLiteral("sumi"));
        QCOMPARE(Read_bytes(At("sorane.ini")), First_ini);
        QCOMPARE(Entries(folder->Path()), QStringList({"2025", "2026", "sorane.ini"}));
    }

    // ---- The window -------------------------------------------------------

    void The_window_as_it_opens()
    {
        auto form = Start();
        Scripted_generator generator({});
        F_uranai window(form->Host(), form->Session().Time(), generator,
                        Fortune_text_length(Controls_of(*form).Text2->toPlainText()));
        QCOMPARE(window.objectName(), QStringLiteral("F_uranai"));
        QCOMPARE(window.windowTitle(), Waiting_title);
        QCOMPARE(window.size(), QSize(Px(5070), Px(2760)));
        // Centred over the main window (9645, 4590, 9510 x 7020) by outer
        // sizes: 5070 x 2760 and the frame, 5190 x 3195.
        QCOMPARE(window.pos(), QPoint(Px(11805), Px(6502.5)));

        const QColor green(0, 255, 0);
        QCOMPARE(window.palette().color(QPalette::Window), green);
        QVERIFY(window.autoFillBackground());
        QCOMPARE(window.font().family(), QStringLiteral("ＭＳ ゴシック"));
        QCOMPARE(window.font().pointSizeF(), 11.25);
        QCOMPARE(window.font().weight(), QFont::Normal);

        const struct {
            QLabel* label;
            const char* name;
            const char* caption;
            QPoint twips;
        } labels[] = {
            {window.Label4, "Label4", "全体運：", {480, 240}},
            {window.Label5, "Label5", "計算中", {1440, 240}},
            {window.Label1, "Label1", "ラッキーカラー：", {480, 720}},
            {window.Label6, "Label6", "計算中", {2400, 720}},
            {window.Label2, "Label2", "ラッキーナンバー：", {480, 1200}},
            {window.Label7, "Label7", "計算中", {2640, 1200}},
            {window.Label3, "Label3", "アドバイス：", {480, 1680}},
            {window.Label8, "Label8", "計算中", {1920, 1680}},
        };
        for (const auto& l : labels) {
            QCOMPARE(window.findChild<QLabel*>(QLatin1String(l.name)), l.label);
            QCOMPARE(l.label->text(), QString::fromUtf8(l.caption));
            QCOMPARE(l.label->pos(), QPoint(Px(l.twips.x()), Px(l.twips.y())));
            QCOMPARE(l.label->palette().color(QPalette::Window), green);
            QVERIFY(l.label->autoFillBackground());
            QCOMPARE(l.label->palette().color(QPalette::WindowText),
                     QApplication::palette().color(QPalette::WindowText));
            QVERIFY2(l.label->width() >= l.label->fontMetrics().horizontalAdvance(l.label->text()),
                     l.name);
        }
        QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command1")), window.Command1);
        QCOMPARE(window.Command1->text(), QStringLiteral("OK"));
        QCOMPARE(window.Command1->geometry(), QRect(Px(1920), Px(2220), Px(1275), Px(435)));
        // Nothing is drawn before the window is activated.
        QCOMPARE(generator.draw_count, 0);
        QVERIFY(fake->calls.filter(QStringLiteral("busy")).isEmpty());
    }

    void Each_result_shows_as_it_is_drawn_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("wait_passes");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<double>("first_reseed");
        // L = 4 ("晴れ" and a line break). The first re-seed is L x D in the
        // wait phase, or L x T for the luck when there is no wait pass.
        QTest::newRow("7 December, three waits")
            << QDateTime(QDate(2026, 12, 7), QTime(21, 30, 15)) << 3
            << QStringLiteral("2026年12月08日の運勢です") << 4.0 * 46363;
        QTest::newRow("31 December, no wait")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << 0
            << QStringLiteral("2027年01月01日の運勢です") << 4.0 * 86399 / 86400;
        QTest::newRow("28 February of a leap year")
            << QDateTime(QDate(2028, 2, 28), QTime(0, 0, 0)) << 1
            << QStringLiteral("2028年02月29日の運勢です") << 4.0 * 46811;
    }
    void Each_result_shows_as_it_is_drawn()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, wait_passes);
        QFETCH(QString, heading);
        QFETCH(double, first_reseed);
        auto form = Start();
        fake->now = now;
        Controls_of(*form).Text2->setPlainText(QStringLiteral("晴れ\n"));
        Scripted_generator generator(Draws(wait_passes));
        F_uranai window(form->Host(), form->Session().Time(), generator,
                        Fortune_text_length(Controls_of(*form).Text2->toPlainText()));
        QStringList seen;
        QList<int> busy_at_draws;
        generator.on_draw = [&](int) {
            seen << Shown(window);
            busy_at_draws << fake->busy_depth;
        };
        fake->calls.clear();
        Activate(window);

        const QString waiting = Waiting_title + "|計算中|計算中|計算中|計算中";
        const QString told = heading + "|小吉|緑|９|天網恢恢疎にして漏らさず";
        QCOMPARE(seen, QStringList({
                           waiting,                                   // the wait's draw
                           heading + "|計算中|計算中|計算中|計算中",  // luck
                           heading + "|小吉|計算中|計算中|計算中",    // colour
                           heading + "|小吉|計算中|計算中|計算中",
                           heading + "|小吉|緑|計算中|計算中",  // number
                           heading + "|小吉|緑|計算中|計算中",
                           heading + "|小吉|緑|９|計算中",  // advice
                           heading + "|小吉|緑|９|計算中",
                       }));
        QCOMPARE(Shown(window), told);
        QVERIFY(!generator.overdrawn);
        QVERIFY(generator.draws.empty());
        QCOMPARE(generator.reseeds.value(0), first_reseed);
        QCOMPARE(fake->calls.count(QStringLiteral("events")), wait_passes);
        // The busy pointer stood over every draw and is off now; the event
        // passes of the wait all came while it stood.
        QCOMPARE(busy_at_draws, QList<int>(8, 1));
        Verify_busy_balanced();
        QCOMPARE(fake->calls, QStringList(QStringLiteral("busy+")) +
                                  QStringList(wait_passes, QStringLiteral("events")) +
                                  QStringList(QStringLiteral("busy-")));

        // Each value stands beside its title and shows whole.
        for (QLabel* value : {window.Label5, window.Label6, window.Label7, window.Label8})
            QVERIFY2(value->width() >= value->fontMetrics().horizontalAdvance(value->text()),
                     qPrintable(value->objectName()));
        QCOMPARE(window.Label8->pos(), QPoint(Px(1920), Px(1680)));
        QVERIFY(window.Label8->width() > Px(675));

        // A second activation draws nothing more.
        Activate(window);
        QCOMPARE(generator.draw_count, 8);
    }

    void Closing_during_the_wait_stops_the_drawing_data()
    {
        QTest::addColumn<Closing>("closing");
        QTest::newRow("OK") << Closing::Ok_button;
        QTest::newRow("close box") << Closing::Close_box;
        QTest::newRow("window destroyed") << Closing::Destroyed;
    }
    void Closing_during_the_wait_stops_the_drawing()
    {
        QFETCH(Closing, closing);
        auto form = Start();
        Controls_of(*form).Text2->setPlainText(QStringLiteral("晴れ"));
        fake->Expect_modal([](QDialog&) { return int(QDialog::Accepted); });
        QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);
        QCOMPARE(form->Session().State().settings.fortune_state.Word(), QStringLiteral("sumi"));

        // The window run for real, with a long wait; the user ends it
        // during the third pass.
        Scripted_generator generator(Draws(1999));
        QPointer<F_uranai> window =
            new F_uranai(form->Host(), form->Session().Time(), generator,
                         Fortune_text_length(Controls_of(*form).Text2->toPlainText()));
        QString shown_at_close;
        bool started = false;
        generator.on_reseed = [&](int n) {
            started = true;
            if (n != 3)
                return;
            shown_at_close = Shown(*window);
            switch (closing) {
            case Closing::Ok_button: window->Command1->click(); break;
            case Closing::Close_box: window->windowHandle()->close(); break;
            case Closing::Destroyed: delete window.data(); break;
            }
        };
        fake->calls.clear();
        const int result = window->exec();

        QVERIFY(started);  // the window's activation started the drawing
        QCOMPARE(shown_at_close, Waiting_title + "|計算中|計算中|計算中|計算中");
        // Stopped after the pass in which the window closed: no luck drawn,
        // nothing more shown, the busy pointer off.
        QCOMPARE(generator.draw_count, 1);
        QCOMPARE(generator.reseeds.size(), 3);
        QCOMPARE(fake->calls.count(QStringLiteral("events")), 3);
        Verify_busy_balanced();
        QCOMPARE(fake->calls.last(), QStringLiteral("busy-"));
        QCOMPARE(form->Session().State().settings.fortune_state.Word(), QStringLiteral("sumi"));
        switch (closing) {
        case Closing::Ok_button:
        case Closing::Close_box:
            QVERIFY(window);
            QVERIFY(!window->isVisible());
            QCOMPARE(result, closing == Closing::Ok_button ? int(QDialog::Accepted)
                                                           : int(QDialog::Rejected));
            QCOMPARE(Shown(*window), Waiting_title + "|計算中|計算中|計算中|計算中");
            delete window.data();
            break;
        case Closing::Destroyed:
            QVERIFY(!window);
            QCOMPARE(result, int(QDialog::Rejected));
            break;
        }
        // Asking again the same day is refused.
        fake->Expect_box(Told_already_text, App_title, Icon::None, Buttons::Ok, Answer::Ok);
        QTest::mouseClick(Controls_of(*form).Command3, Qt::LeftButton);
    }

    void An_OK_after_the_wait_closes_once_all_four_are_shown()
    {
        auto form = Start();
        Controls_of(*form).Text2->setPlainText(QStringLiteral("晴れ"));
        Scripted_generator generator(Draws(2));
        F_uranai window(form->Host(), form->Session().Time(), generator,
                        Fortune_text_length(Controls_of(*form).Text2->toPlainText()));
        bool visible_at_last_draw = false;
        generator.on_draw = [&](int n) {
            // OK is clicked while the luck is drawn; the click waits its
            // turn behind the drawing.
            if (n == 2)
                QMetaObject::invokeMethod(window.Command1, &QAbstractButton::click,
                                          Qt::QueuedConnection);
            if (n == 8)
                visible_at_last_draw = window.isVisible();
        };
        fake->calls.clear();
        QCOMPARE(window.exec(), int(QDialog::Accepted));
        QVERIFY(visible_at_last_draw);
        QVERIFY(!window.isVisible());
        QCOMPARE(Shown(window), "2026年12月08日の運勢です|小吉|緑|９|天網恢恢疎にして漏らさず");
        Verify_busy_balanced();
    }

    void A_window_closed_before_its_drawing_began_draws_nothing()
    {
        auto form = Start();
        Scripted_generator generator(Draws(5));
        F_uranai window(form->Host(), form->Session().Time(), generator,
                        Fortune_text_length(Controls_of(*form).Text2->toPlainText()));
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window, &activate);
        window.reject();  // before the event loop's turn
        QCoreApplication::processEvents();
        QCOMPARE(generator.draw_count, 0);
        QVERIFY(fake->calls.filter(QStringLiteral("busy")).isEmpty());
    }

    void On_the_desktop_the_busy_pointer_goes_off_when_the_window_closes_early()
    {
        // The real platform: events really run in the wait, and the pointer
        // is the application's own.
        Real_platform platform;
        Real_clock clock;
        Main_form form(platform, clock, folder->Path());
        QVERIFY(form.Form_Load());
        form.Show_window();
        Controls_of(form).Text2->setPlainText(QStringLiteral("晴れ"));
        Scripted_generator generator(Draws(1999));
        F_uranai window(form.Host(), form.Session().Time(), generator,
                        Fortune_text_length(Controls_of(form).Text2->toPlainText()));
        QList<int> pointers;
        generator.on_reseed = [&](int n) {
            const QCursor* pointer = QGuiApplication::overrideCursor();
            pointers << (pointer ? int(pointer->shape()) : -1);
            if (n == 1)  // the user's click, taken in a pass of the wait
                QTimer::singleShot(0, window.Command1, &QAbstractButton::click);
        };
        QCOMPARE(window.exec(), int(QDialog::Accepted));
        QCOMPARE(generator.draw_count, 1);
        QVERIFY(!pointers.isEmpty());
        QVERIFY(pointers.size() < 1999);
        QCOMPARE(pointers, QList<int>(pointers.size(), int(Qt::WaitCursor)));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(window.Label5->text(), Computing);
        form.hide();
    }

    // ---- The real message box --------------------------------------------

    void A_lone_carriage_return_shows_as_a_second_line_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("lines");
        // The explanation wraps in the box: its lines are not counted.
        QTest::newRow("the explanation")
            << Write_first_text << QString(Write_first_text).replace(QChar(13), QChar(10)) << 0;
        QTest::newRow("lone CR") << QStringLiteral("一\r二") << QStringLiteral("一\n二") << 2;
        QTest::newRow("CR LF kept")
            << QStringLiteral("一\r\n二") << QStringLiteral("一\r\n二") << 2;
        QTest::newRow("CR at the end") << QStringLiteral("一\r") << QStringLiteral("一\n") << 2;
        QTest::newRow("one line") << QStringLiteral("一") << QStringLiteral("一") << 1;
    }
    void A_lone_carriage_return_shows_as_a_second_line()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(int, lines);
        Real_platform platform;
        QString box_text;
        QString box_title;
        int label_height = 0;
        int line_height = 0;
        When_modal<QMessageBox>(nullptr, [&](QMessageBox& box) {
            box_text = box.text();
            box_title = box.windowTitle();
            if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                label_height = label->sizeHint().height();
                line_height = label->fontMetrics().height();
            }
            box.button(QMessageBox::Ok)->click();
        });
        QCOMPARE(platform.Message_box(text, App_title, Icon::None, Buttons::Ok), Answer::Ok);
        QCOMPARE(box_text, shown);
        QCOMPARE(box_title, QStringLiteral("【ソラネ】Ver.2.0"));
        // The label is as high as its lines.
        if (lines > 0)
            QVERIFY2(label_height >= lines * line_height &&
                         label_height < (lines + 1) * line_height,
                     qPrintable(QStringLiteral("%1 / %2").arg(label_height).arg(line_height)));
    }
};

QTEST_MAIN(Test_fortune_window)
#include "test_fortune_window.moc"
