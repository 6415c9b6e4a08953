// The main window's layout at several sizes in both screen modes, the mode
// switch and its persistence, the window brought back onto the screen, the
// reference setting's dialog, and the help menu.

#include "app/main_form.h"
#include "dialogs/f_ref_settei.h"
#include "dialogs/f_tomorrow.h"
#include "dialogs/f_yesterday.h"
#include "dialogs/manual_window.h"
#include "support/diary_fixture.h"
#include "ui/look.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QTranslator>
#include <QWindow>
#include <QtTest>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;

// Settings of a window at the design size, centred on 1920 x 1080 pixels.
QByteArray Ini_with(const QByteArray& screen_mode, const QByteArray& ref_mode,
                    const QByteArray& last_ref = "2025/12/7")
{
    return Ini({"0", "4590", "9645", "7020", "9510", screen_mode, ref_mode, last_ref, "2026/12/07",
                "mada"});
}

// Places in twips of the controls the layout moves, and of two that stay.
struct Places {
    Twips_rect text6, text2, text1, command2, text7, command1, text3;
};

}  // namespace

Q_DECLARE_METATYPE(Places)

class Test_layout : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    using Diary_fixture::Px;
    // On the screen, a place's edges each stand on the pixel nearest to them.
    QRect Px(const Twips_rect& r) const
    {
        const int left = Px(r.left);
        const int top = Px(r.top);
        return {left, top, Px(r.left + r.width) - left, Px(r.top + r.height) - top};
    }
    // Every control's place, to see what a step moved.
    static QList<QRect> Geometries(const Main_form& form)
    {
        QList<QRect> out;
        for (const QObject* child : form.centralWidget()->children())
            if (auto* w = qobject_cast<const QWidget*>(child))
                out << w->geometry();
        return out;
    }
    // Resizes the window to an outer size in twips that is a whole number of
    // pixels.
    void Resize_outer(Main_form& form, double w, double h)
    {
        form.resize(Px(w - Frame_width),
                    Px(h - Frame_height) + form.menuBar()->sizeHint().height());
        QCoreApplication::processEvents();
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    // ---- The layout -----------------------------------------------------

    void The_formulas_at_several_sizes_data()
    {
        QTest::addColumn<double>("w");
        QTest::addColumn<double>("h");
        QTest::addColumn<QByteArray>("screen_mode");
        QTest::addColumn<Places>("places");
        const Twips_rect text3{60, 60, 675, 435};
        QTest::newRow("design, nomal") << 9510.0 << 7020.0 << QByteArray("nomal")
                                       << Places{{4620, 60, 4755, 435},
                                                 {0, 540, 9375, 2655},
                                                 {0, 3240, 9375, 2535},
                                                 {7980, 5820, 1395, 435},
                                                 {60, 5820, 675, 435},
                                                 {2700, 5820, 1275, 435},
                                                 text3};
        QTest::newRow("design, wide") << 9510.0 << 7020.0 << QByteArray("wide")
                                      << Places{{4620, 60, 4755, 435},
                                                {0, 540, 9375, 5235},
                                                {0, 3240, 9375, 2535},
                                                {7980, 5820, 1395, 435},
                                                {60, 5820, 675, 435},
                                                {2700, 5820, 1275, 435},
                                                text3};
        QTest::newRow("H 9020, nomal") << 9510.0 << 9020.0 << QByteArray("nomal")
                                       << Places{{4620, 60, 4755, 435},
                                                 {0, 540, 9375, 3655},
                                                 {0, 4240, 9375, 3535},
                                                 {7980, 7820, 1395, 435},
                                                 {60, 7820, 675, 435},
                                                 {2700, 7820, 1275, 435},
                                                 text3};
        QTest::newRow("H 9020, wide") << 9510.0 << 9020.0 << QByteArray("wide")
                                      << Places{{4620, 60, 4755, 435},
                                                {0, 540, 9375, 7235},
                                                {0, 4240, 9375, 3535},
                                                {7980, 7820, 1395, 435},
                                                {60, 7820, 675, 435},
                                                {2700, 7820, 1275, 435},
                                                text3};
        QTest::newRow("1000 wider, nomal") << 10510.0 << 7020.0 << QByteArray("nomal")
                                           << Places{{4620, 60, 5755, 435},
                                                     {0, 540, 10375, 2655},
                                                     {0, 3240, 10375, 2535},
                                                     {8980, 5820, 1395, 435},
                                                     {60, 5820, 675, 435},
                                                     {2700, 5820, 1275, 435},
                                                     text3};
        QTest::newRow("1000 wider and H 9020, an odd mode")
            << 10510.0 << 9020.0 << QByteArray("Nomal")
            << Places{{4620, 60, 5755, 435},
                      {0, 540, 10375, 7235},
                      {0, 4240, 10375, 3535},
                      {8980, 7820, 1395, 435},
                      {60, 7820, 675, 435},
                      {2700, 7820, 1275, 435},
                      text3};
        // One pixel higher: half a pixel to each text field.
        QTest::newRow("15 higher, nomal") << 9510.0 << 7035.0 << QByteArray("nomal")
                                          << Places{{4620, 60, 4755, 435},
                                                    {0, 540, 9375, 2662.5},
                                                    {0, 3247.5, 9375, 2542.5},
                                                    {7980, 5835, 1395, 435},
                                                    {60, 5835, 675, 435},
                                                    {2700, 5835, 1275, 435},
                                                    text3};
        QTest::newRow("15 higher, wide") << 9510.0 << 7035.0 << QByteArray("wide")
                                         << Places{{4620, 60, 4755, 435},
                                                   {0, 540, 9375, 5250},
                                                   {0, 3247.5, 9375, 2542.5},
                                                   {7980, 5835, 1395, 435},
                                                   {60, 5835, 675, 435},
                                                   {2700, 5835, 1275, 435},
                                                   text3};
        // Smaller than the design size (a window manager that ignores the
        // minimum size): laid out as at the design size.
        QTest::newRow("8000 x 5000") << 8000.0 << 5000.0 << QByteArray("nomal")
                                     << Places{{4620, 60, 4755, 435},
                                               {0, 540, 9375, 2655},
                                               {0, 3240, 9375, 2535},
                                               {7980, 5820, 1395, 435},
                                               {60, 5820, 675, 435},
                                               {2700, 5820, 1275, 435},
                                               text3};
    }
    void The_formulas_at_several_sizes()
    {
        QFETCH(double, w);
        QFETCH(double, h);
        QFETCH(QByteArray, screen_mode);
        QFETCH(Places, places);
        QVERIFY(Write_bytes(At("sorane.ini"), Ini_with(screen_mode, "1")));
        auto form = Start();
        Probe(*form).Lay_out(w, h);
        QCOMPARE(Controls_of(*form).Text6->geometry(), Px(places.text6));
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(places.text2));
        QCOMPARE(Controls_of(*form).Text1->geometry(), Px(places.text1));
        QCOMPARE(Controls_of(*form).Command2->geometry(), Px(places.command2));
        QCOMPARE(Controls_of(*form).Text7->geometry(), Px(places.text7));
        QCOMPARE(Controls_of(*form).Command1->geometry(), Px(places.command1));
        QCOMPARE(Controls_of(*form).Text3->geometry(), Px(places.text3));
        form.reset();
    }

    void In_the_wide_mode_Text2_covers_Text1_at_every_height()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini_with("wide", "1")));
        auto form = Start();
        for (double h = 7020; h <= 12000; h += 7.5) {
            Probe(*form).Lay_out(9510, h);
            QCOMPARE(Controls_of(*form).Text2->geometry().bottom(),
                     Controls_of(*form).Text1->geometry().bottom());
            QCOMPARE(Controls_of(*form).Text2->geometry().top(), Px(540));
            QVERIFY(Controls_of(*form).Text1->geometry().top() >
                    Controls_of(*form).Text2->geometry().top());
            // A 45-twip gap above the bottom row, which stands on its formula.
            QCOMPARE(Controls_of(*form).Command1->y(), Px(h - 7020 + 5820));
        }
        QVERIFY(form->centralWidget()->children().indexOf(Controls_of(*form).Text2) >
                form->centralWidget()->children().indexOf(Controls_of(*form).Text1));
        form.reset();
    }

    void The_window_size_reaches_the_layout()
    {
        auto form = Start();
        // 67 pixels wider and 133 higher: 1005 and 1995 twips.
        Resize_outer(*form, 9510 + 1005, 7020 + 1995);
        QCOMPARE(Probe(*form).Outer_twips().width, 10515.0);
        QCOMPARE(Probe(*form).Outer_twips().height, 9015.0);
        QCOMPARE(Controls_of(*form).Text6->geometry(), Px(Twips_rect{4620, 60, 5760, 435}));
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(Twips_rect{0, 540, 10380, 3652.5}));
        QCOMPARE(Controls_of(*form).Text1->geometry(), Px(Twips_rect{0, 4237.5, 10380, 3532.5}));
        QCOMPARE(Controls_of(*form).Command2->geometry(), Px(Twips_rect{8985, 7815, 1395, 435}));
        QCOMPARE(Controls_of(*form).Command4->geometry(), Px(Twips_rect{5460, 7815, 1275, 435}));
        QCOMPARE(Controls_of(*form).VScroll6->geometry(), Px(Twips_rect{2280, 7815, 375, 435}));
        QCOMPARE(Controls_of(*form).VScroll3->geometry(), Px(Twips_rect{2280, 60, 375, 435}));

        // Below the design size the window does not go.
        form->resize(Px(5000), Px(3000));
        QCoreApplication::processEvents();
        QCOMPARE(Probe(*form).Outer_twips().width, 9510.0);
        QCOMPARE(Probe(*form).Outer_twips().height, 7020.0);
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(Twips_rect{0, 540, 9375, 2655}));
        QCOMPARE(Controls_of(*form).Command2->geometry(), Px(Twips_rect{7980, 5820, 1395, 435}));
        form.reset();
    }

    void At_a_height_of_540_the_height_layout_is_left_alone()
    {
        auto form = Start();
        Probe(*form).Lay_out(10510, 9020);
        Probe(*form).Lay_out(9510, 540);
        // The widths follow; the heights stay as they were at 9020.
        QCOMPARE(Controls_of(*form).Text6->geometry(), Px(Twips_rect{4620, 60, 4755, 435}));
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(Twips_rect{0, 540, 9375, 3655}));
        QCOMPARE(Controls_of(*form).Text1->geometry(), Px(Twips_rect{0, 4240, 9375, 3535}));
        QCOMPARE(Controls_of(*form).Command2->geometry(), Px(Twips_rect{7980, 7820, 1395, 435}));
        QCOMPARE(Controls_of(*form).Command3->geometry(), Px(Twips_rect{4080, 7820, 1275, 435}));
        // The mode switch at that height leaves the height too.
        Probe(*form).Command1_Click();
        QCOMPARE(form->Session().State().settings.screen_mode.Word(), QStringLiteral("wide"));
        for (const QRect& g : Geometries(*form))
            QVERIFY(g.width() >= 0 && g.height() >= 0);
        form.reset();
    }

    void Minimizing_changes_nothing_and_restoring_lays_out()
    {
        auto form = Start();
        const QList<QRect> before = Geometries(*form);
        form->showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(form->isMinimized());
        Resize_outer(*form, 9510 + 1005, 7020 + 1995);
        Probe(*form).Form_Resize();
        QCOMPARE(Geometries(*form), before);

        form->showNormal();
        QCoreApplication::processEvents();
        QCOMPARE(Controls_of(*form).Text1->geometry(), Px(Twips_rect{0, 4237.5, 10380, 3532.5}));
        form.reset();
    }

    // ---- The mode switch ------------------------------------------------

    void Switching_twice_restores_the_layout_and_moves_only_Text2()
    {
        auto form = Start();
        Resize_outer(*form, 9510, 7020 + 2010);  // H = 9030, a whole number of pixels
        const QList<QRect> nomal = Geometries(*form);
        QCOMPARE(form->Session().State().settings.screen_mode.Word(), QStringLiteral("nomal"));

        QTest::mouseClick(Controls_of(*form).Command1, Qt::LeftButton);
        QCOMPARE(form->Session().State().settings.screen_mode.Word(), QStringLiteral("wide"));
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(Twips_rect{0, 540, 9375, 7245}));
        QCOMPARE(Controls_of(*form).Text2->geometry().bottom(),
                 Controls_of(*form).Text1->geometry().bottom());
        QList<QRect> wide = Geometries(*form);
        const int text2 = form->centralWidget()->children().indexOf(Controls_of(*form).Text2);
        wide[text2] = nomal[text2];
        QCOMPARE(wide, nomal);  // nothing else moved

        QTest::mouseClick(Controls_of(*form).Command1, Qt::LeftButton);
        QCOMPARE(form->Session().State().settings.screen_mode.Word(), QStringLiteral("nomal"));
        QCOMPARE(Geometries(*form), nomal);
        form.reset();
    }

    void The_mode_is_kept_across_runs()
    {
        auto form = Start();
        QTest::mouseClick(Controls_of(*form).Command1, Qt::LeftButton);
        End(*form);
        form.reset();
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini_with("wide", "1"));

        form = Start();
        QCOMPARE(form->Session().State().settings.screen_mode.Word(), QStringLiteral("wide"));
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(Twips_rect{0, 540, 9375, 5235}));
        QTest::mouseClick(Controls_of(*form).Command1, Qt::LeftButton);
        End(*form);
        form.reset();
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini_with("nomal", "1"));
    }

    void An_odd_mode_is_laid_out_wide_and_becomes_nomal()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini_with("NOMAL", "1")));
        auto form = Start();
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(Twips_rect{0, 540, 9375, 5235}));
        QTest::mouseClick(Controls_of(*form).Command1, Qt::LeftButton);
        QCOMPARE(form->Session().State().settings.screen_mode.Word(), QStringLiteral("nomal"));
        QCOMPARE(Controls_of(*form).Text2->geometry(), Px(Twips_rect{0, 540, 9375, 2655}));
        End(*form);
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini_with("nomal", "1"));
    }

    // ---- The window's place ---------------------------------------------

    void A_window_off_every_screen_comes_back_data()
    {
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<QByteArray>("top");
        QTest::addColumn<QPoint>("place");  // twips
        QTest::newRow("far left and up")
            << QByteArray("-48000") << QByteArray("-48000") << QPoint(9645, 4590);
        QTest::newRow("title bar above the screen")
            << QByteArray("2000") << QByteArray("-300") << QPoint(9645, 4590);
        QTest::newRow("far right")
            << QByteArray("90000") << QByteArray("1500") << QPoint(9645, 4590);
        QTest::newRow("half off to the left stays")
            << QByteArray("-4500") << QByteArray("1500") << QPoint(-4500, 1500);
        QTest::newRow("on the screen stays")
            << QByteArray("1500") << QByteArray("1500") << QPoint(1500, 1500);
    }
    void A_window_off_every_screen_comes_back()
    {
        QFETCH(QByteArray, left);
        QFETCH(QByteArray, top);
        QFETCH(QPoint, place);
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"0", top, left, "7020", "9510", "nomal", "1",
                                                   "2025/12/7", "2026/12/07", "mada"})));
        auto form = Start();
        QCOMPARE(form->pos(), QPoint(Px(place.x()), Px(place.y())));
        QCOMPARE(Probe(*form).Outer_twips().width, 9510.0);
        form.reset();
    }

    // ---- The reference setting ------------------------------------------

    void The_dialog_as_it_opens()
    {
        auto form = Start();
        fake->Expect_modal([&](QDialog& d) {
            auto* dialog = qobject_cast<F_ref_settei*>(&d);
            if (!dialog)
                return int(QDialog::Rejected);
            [&] {
                QCOMPARE(dialog->objectName(), QStringLiteral("F_ref_settei"));
                QCOMPARE(dialog->windowTitle(), QStringLiteral("【ソラネ】Ver.2.0"));
                QCOMPARE(dialog->palette().color(QPalette::Window), QColor(255, 255, 0));
                QVERIFY(dialog->autoFillBackground());
                QCOMPARE(dialog->size(), QSize(Px(6495), Px(2325)));
                QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
                QCOMPARE(dialog->font().family(), QStringLiteral("ＭＳ ゴシック"));
                QCOMPARE(dialog->font().pointSizeF(), 11.25);
                // Centred over the main window (9645, 4590, 9510 x 7020):
                // the dialog's frame is the design frame without its 300-twip
                // menu bar, 120 x 435.
                QCOMPARE(dialog->pos(), QPoint(Px(9645 + (9510 - 6615) / 2.0),
                                               Px(4590 + (7020 - (2325 + 435)) / 2.0)));
                const struct {
                    QWidget* control;
                    const char* name;
                    QString text;
                    Twips_rect place;
                } controls[] = {
                    {dialog->Label1,
                     "Label1",
                     "起動時に、参照ウィンドウに読み込む日記を設定します。",
                     {240, 180, 5850, 225}},
                    {dialog->Option1, "Option1", "一年前の同月同日", {720, 600, 2595, 495}},
                    {dialog->Option2, "Option2", "昨日", {720, 1140, 1215, 495}},
                    {dialog->Option3, "Option3", "前回参照していた日", {720, 1680, 2595, 495}},
                    {dialog->Command2, "Command2", "OK", {5160, 900, 1215, 495}},
                    {dialog->Command1, "Command1", "CANSEL", {5160, 1680, 1215, 495}},
                };
                for (const auto& c : controls) {
                    QCOMPARE(c.control->objectName(), QLatin1String(c.name));
                    QCOMPARE(c.control->geometry(), Px(c.place));
                    const QVariant text = c.control->property("text");
                    QCOMPARE(text.toString(), c.text);
                }
                QVERIFY(dialog->Option1->isChecked());
                QVERIFY(!dialog->Option2->isChecked() && !dialog->Option3->isChecked());
                // Tab order: OK, CANSEL, then the options.
                QList<QWidget*> stops;
                QWidget* w = dialog->Command2;
                do {
                    if (w->focusPolicy() & Qt::TabFocus)
                        stops << w;
                    w = w->nextInFocusChain();
                } while (w != dialog->Command2 && stops.size() < 10);
                QCOMPARE(stops,
                         QList<QWidget*>({dialog->Command2, dialog->Command1, dialog->Option1,
                                          dialog->Option2, dialog->Option3}));
                QCOMPARE(dialog->focusWidget(), dialog->Command2);
                // One group: choosing one clears the others.
                dialog->Option3->click();
                QVERIFY(!dialog->Option1->isChecked());
            }();
            return int(QDialog::Rejected);
        });
        Controls_of(*form).MENU_ref_default->trigger();
        QCOMPARE(fake->calls, QStringList({"modal:F_ref_settei"}));
        QCOMPARE(form->Session().Reference_choice(), 1);
        form.reset();
    }

    void Choosing_yesterday_takes_effect_at_the_next_start()
    {
        auto form = Start();
        fake->Expect_modal([](QDialog& d) {
            auto* dialog = qobject_cast<F_ref_settei*>(&d);
            dialog->Option2->click();
            dialog->Command2->click();
            return dialog->result();
        });
        Controls_of(*form).MENU_ref_default->trigger();
        QCOMPARE(form->Session().Reference_choice(), 2);
        QCOMPARE(QStringList({Controls_of(*form).Text7->text(), Controls_of(*form).Text8->text(),
                              Controls_of(*form).Text9->text()}),
                 QStringList({"2025", "12", "7"}));  // the panel stays
        End(*form);
        form.reset();
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini_with("nomal", "2"));

        form = Start();
        QCOMPARE(QStringList({Controls_of(*form).Text7->text(), Controls_of(*form).Text8->text(),
                              Controls_of(*form).Text9->text()}),
                 QStringList({"2026", "12", "6"}));
        form.reset();
    }

    void The_day_shown_at_the_end_comes_back()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), Ini_with("nomal", "1")));
        auto form = Start();
        fake->Expect_modal([](QDialog& d) {
            auto* dialog = qobject_cast<F_ref_settei*>(&d);
            dialog->Option3->click();
            dialog->Command2->click();
            return dialog->result();
        });
        Controls_of(*form).MENU_ref_default->trigger();
        Probe(*form).Show_reference_day(2024, 3, 7);
        End(*form);
        form.reset();
        QCOMPARE(Read_bytes(At("sorane.ini")), Ini_with("nomal", "3", "2024/3/7"));
        form = Start();
        QCOMPARE(QStringList({Controls_of(*form).Text7->text(), Controls_of(*form).Text8->text(),
                              Controls_of(*form).Text9->text()}),
                 QStringList({"2024", "3", "7"}));
        form.reset();
    }

    // The text areas' scroll bars are drawn band by band: the same pixels
    // as one drawing, at rest, scrolled, with nothing to scroll, and with a
    // height that is not a whole number of bands.
    void A_scroll_bar_drawn_in_bands_looks_the_same_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::newRow("at the top") << 400 << 100 << 0;
        QTest::newRow("scrolled, odd height") << 333 << 100 << 57;
        QTest::newRow("nothing to scroll") << 250 << 0 << 0;
        QTest::newRow("shorter than a band") << 40 << 10 << 3;
    }
    void A_scroll_bar_drawn_in_bands_looks_the_same()
    {
        QFETCH(int, height);
        QFETCH(int, maximum);
        QFETCH(int, value);
        auto image_of = [&](bool banded) {
            QScrollBar bar(Qt::Vertical);
            if (banded)
                Paint_in_bands(bar);
            bar.setRange(0, maximum);
            bar.setPageStep(20);
            bar.setValue(value);
            bar.resize(bar.sizeHint().width(), height);
            return bar.grab().toImage();
        };
        const QImage whole = image_of(false);
        QCOMPARE(whole.height(), height);
        QCOMPARE(image_of(true), whole);
    }

    void Cancel_and_the_close_box_keep_the_value_data()
    {
        QTest::addColumn<QByteArray>("ref_mode");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QByteArray>("reference");  // the panel's day at the end
        QTest::newRow("CANSEL") << QByteArray("3") << "cansel" << 3 << QByteArray("2025/3/7");
        QTest::newRow("close box") << QByteArray("3") << "close" << 3 << QByteArray("2025/3/7");
        QTest::newRow("Esc") << QByteArray("2") << "escape" << 2 << QByteArray("2026/12/6");
        QTest::newRow("7, OK without a choice")
            << QByteArray("7") << "ok" << 7 << QByteArray("1990/1/1");
        QTest::newRow("0, CANSEL") << QByteArray("0") << "cansel" << 0 << QByteArray("1990/1/1");
    }
    void Cancel_and_the_close_box_keep_the_value()
    {
        QFETCH(QByteArray, ref_mode);
        QFETCH(QString, how);
        QFETCH(int, kept);
        QFETCH(QByteArray, reference);
        QVERIFY(Write_bytes(At("sorane.ini"), Ini_with("nomal", ref_mode, "2025/3/7")));
        auto form = Start();
        bool none_selected = false;
        fake->Expect_modal([&](QDialog& d) {
            auto* dialog = qobject_cast<F_ref_settei*>(&d);
            none_selected = !dialog->Option1->isChecked() && !dialog->Option2->isChecked() &&
                            !dialog->Option3->isChecked();
            if (how != QLatin1String("ok"))
                dialog->Option1->click();
            if (how == QLatin1String("cansel"))
                dialog->Command1->click();
            else if (how == QLatin1String("close"))
                dialog->close();
            else if (how == QLatin1String("escape"))
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->Command2->click();
            return dialog->result();
        });
        Controls_of(*form).MENU_ref_default->trigger();
        QCOMPARE(none_selected, kept < 1 || kept > 3);
        QCOMPARE(form->Session().Reference_choice(), kept);
        End(*form);
        QCOMPARE(Read_bytes(At("sorane.ini")),
                 Ini_with("nomal", QByteArray::number(kept), reference));
    }

    void The_dialog_runs_modally_for_real()
    {
        auto form = Start();
        int ref_mode = form->Session().Reference_choice();
        for (const char* ending : {"ok", "close box"}) {
            F_ref_settei dialog(form->Host(), ref_mode);
            bool seen = false;
            When_modal<F_ref_settei>(nullptr, [&](F_ref_settei& shown) {
                seen = true;
                QTest::mouseClick(shown.Option2, Qt::LeftButton);
                if (qstrcmp(ending, "ok") == 0)
                    QTest::mouseClick(shown.Command2, Qt::LeftButton);
                else
                    shown.windowHandle()->close();
            });
            const int result = dialog.exec();
            QVERIFY(seen);
            QCOMPARE(result,
                     qstrcmp(ending, "ok") == 0 ? int(QDialog::Accepted) : int(QDialog::Rejected));
            QVERIFY(!dialog.isVisible());
            QCOMPARE(ref_mode, 2);  // set by OK, kept by the close box
        }
        form.reset();
    }

    // ---- The message windows and Qt's own texts ---------------------------

    void Enter_closes_the_greeting()
    {
        auto form = Start();
        QVERIFY(Write_bytes(At("yesterda.txt"), Hex("82 a0 0d 0a")));  // あ
        // Owned by the main window, which goes first.
        auto* greeting = new F_yesterday(form->Host(), form->Session().Store());
        QVERIFY(greeting->Form_Load());
        bool seen = false;
        When_modal<F_yesterday>(nullptr, [&](F_yesterday& shown) {
            seen = true;
            // As the desktop delivers it: to the window, whose focus takes it.
            QTest::keyClick(shown.windowHandle(), Qt::Key_Return);
            if (shown.isVisible()) {
                QWidget* focus = shown.focusWidget();
                QFAIL(qPrintable("Enter left the greeting open; focus on " +
                                 (focus ? focus->objectName() : QStringLiteral("nothing"))));
                shown.reject();
            }
        });
        QCOMPARE(greeting->exec(), int(QDialog::Accepted));
        QVERIFY(seen);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Hex("82 a0 0d 0a"));
        form.reset();
    }

    void The_received_message_can_be_edited_and_copied_up()
    {
        auto form = Start();
        QVERIFY(Write_bytes(At("yesterda.txt"), Hex("82 a0 0d 0a")));  // あ
        const QByteArray tomorrow = Hex("82 a2 0d 0a");                // い
        QVERIFY(Write_bytes(At("tomorrow.txt"), tomorrow));
        const auto files = QDir(folder->Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        // Owned by the main window, which goes first.
        F_tomorrow& window = *new F_tomorrow(form->Host(), form->Session());
        QVERIFY(window.Form_Load());
        window.show();
        QVERIFY(!window.Text2->isReadOnly());
        window.Text2->moveCursor(QTextCursor::End);
        QTest::keyClicks(window.Text2, QStringLiteral("xy"));
        QTest::keyClick(window.Text2, Qt::Key_Backspace);
        QCOMPARE(window.Text2->toPlainText(), QStringLiteral("あx"));
        QTest::mouseClick(window.Command2, Qt::LeftButton);
        QCOMPARE(window.Text1->toPlainText(), QStringLiteral("いあx"));
        // Closed without saving: neither file has changed, and none came.
        window.Text1->clear();
        window.reject();
        QCOMPARE(Read_bytes(At("yesterda.txt")), Hex("82 a0 0d 0a"));
        QCOMPARE(Read_bytes(At("tomorrow.txt")), tomorrow);
        QCOMPARE(QDir(folder->Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), files);
        form.reset();
    }

    void Qt_texts_are_in_Japanese()
    {
        const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(translations + QStringLiteral("/qtbase_ja.qm")))
            QSKIP("Qt's Japanese translations (qtbase_ja.qm) are not installed");
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copy"));
        QVERIFY(Install_japanese_qt_texts(*QCoreApplication::instance()));
        const auto remove = qScopeGuard([] {
            for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
                QCoreApplication::removeTranslator(t);
                delete t;
            }
        });
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("コピー(&C)"));
        auto form = Start();
        QMenu* menu = Controls_of(*form).Text6->createStandardContextMenu();  // the field's own
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts << action->text();
        QVERIFY2(texts.contains(QStringLiteral("コピー(&C)\tCtrl+C")), qPrintable(texts.join('|')));
        QVERIFY2(texts.contains(QStringLiteral("貼り付け(&P)\tCtrl+V")),
                 qPrintable(texts.join('|')));
        form.reset();
    }

    // ---- Help ------------------------------------------------------------

    void Help_opens_the_manual_and_the_diary_stays_usable()
    {
        QVERIFY(Write_bytes(At("sorane.txt"), "manual\n"));
        auto form = Start();
        fake->calls.clear();
        Controls_of(*form).Menu_tukaikata->trigger();
        Controls_of(*form).Menu_tukaikata->trigger();
        QCOMPARE(fake->calls,
                 QStringList({"open:" + At("sorane.txt"), "open:" + At("sorane.txt")}));
        QVERIFY(!QApplication::activeModalWidget());
        Controls_of(*form).Text2->setFocus();
        QTest::keyClicks(Controls_of(*form).Text2, "abc");
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("abc"));
        form.reset();
    }

    void Help_without_the_manual_says_so_data()
    {
        QTest::addColumn<bool>("folder_of_that_name");
        QTest::newRow("no file") << false;
        QTest::newRow("a folder named sorane.txt") << true;
    }
    void Help_without_the_manual_says_so()
    {
        QFETCH(bool, folder_of_that_name);
        if (folder_of_that_name)
            QVERIFY(QDir().mkpath(At("sorane.txt")));
        auto form = Start();
        fake->calls.clear();
        fake->Expect_box(QStringLiteral("使い方のファイル（sorane.txt）が見つかりません。"),
                         QStringLiteral("使い方を表示できません"), Icon::Critical, Buttons::Ok,
                         Answer::Ok);
        Controls_of(*form).Menu_tukaikata->trigger();
        QCOMPARE(fake->calls.size(), 1);  // the box and nothing else
        form.reset();
    }

    void Help_the_desktop_cannot_open_is_shown_in_a_window_of_its_own()
    {
        QVERIFY(Write_bytes(At("sorane.txt"), "使い方\n\n日記を書く。\n検索する。\n"));
        auto form = Start();
        fake->calls.clear();
        fake->open_succeeds = false;
        Controls_of(*form).Menu_tukaikata->trigger();
        QCOMPARE(fake->calls, QStringList({"open:" + At("sorane.txt")}));
        auto* window = form->findChild<Manual_window*>("Manual_window");
        QVERIFY(window && window->isVisible() && !window->isModal());
        QCOMPARE(window->Text1->toPlainText(),
                 QStringLiteral("使い方\n\n日記を書く。\n検索する。\n"));
        QVERIFY(window->Text1->isReadOnly());
        // Its search finds the words, and rings for words it lacks.
        window->Find_words->setText(QStringLiteral("検索"));
        QTest::mouseClick(window->Find_next, Qt::LeftButton);
        QCOMPARE(window->Text1->textCursor().selectedText(), QStringLiteral("検索"));
        window->Find_words->setText(QStringLiteral("写真"));
        QTest::mouseClick(window->Find_next, Qt::LeftButton);
        QCOMPARE(fake->calls.last(), QStringLiteral("beep"));
        // The diary stays usable beside it; a second 使い方 reuses it.
        Controls_of(*form).Text2->setFocus();
        QTest::keyClicks(Controls_of(*form).Text2, "abc");
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("abc"));
        Controls_of(*form).Menu_tukaikata->trigger();
        QCOMPARE(form->findChildren<Manual_window*>().size(), 1);
        window->close();
        form.reset();
    }

    // ---- What is installed beside the program ---------------------------

    void The_manual_and_the_desktop_entry()
    {
        const QString source = QStringLiteral(SORANE_SOURCE_DIR "/");
        const QByteArray manual = Read_bytes(source + "sorane.txt");
        QVERIFY(manual.size() > 4000);
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(manual);
        QVERIFY2(!utf8.hasError(), "the manual is not UTF-8");
        QVERIFY(!manual.contains('\r'));
        // Every window, button and menu entry, the folder, the rescue file.
        for (const char* word : {"画面切替",
                                 "占い",
                                 "明日へ",
                                 "終了",
                                 "思い出",
                                 "メモ",
                                 "参照する日記",
                                 "使い方",
                                 "一年前の同月同日",
                                 "昨日",
                                 "前回参照していた日",
                                 "CANSEL",
                                 "~/sorane",
                                 "sorane.ini",
                                 "keyword.txt",
                                 "tomorrow.txt",
                                 "yesterda.txt",
                                 "sorane-rescue-",
                                 "シフトJIS",
                                 "思い出の日",
                                 "検索"})
            QVERIFY2(text.contains(QString::fromUtf8(word)), word);

        const QString entry = QString::fromUtf8(Read_bytes(source + "data/sorane.desktop.in"));
        const QStringList lines = entry.split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        for (const char* line : {"Type=Application", "Name=Sorane", "Name[ja]=ソラネ",
                                 "Categories=Office;", "Icon=sorane", "Terminal=false"})
            QVERIFY2(lines.contains(QString::fromUtf8(line)), line);
        QVERIFY(lines.contains(QStringLiteral("Exec=@SORANE_EXEC@")));
        const QByteArray icon = Read_bytes(source + "data/sorane.svg");
        QVERIFY(icon.startsWith("<?xml") || icon.startsWith("<svg"));
        QVERIFY(icon.contains("viewBox"));
    }
};

QTEST_MAIN(Test_layout)
#include "test_layout.moc"
