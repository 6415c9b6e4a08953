// Building the main window: its menus, its controls and their names,
// their connections, and its place and size in twips.

#include "app/main_form.h"

#include "app/accessible_names.h"
#include "app/backup_control.h"
#include "app/lock_control.h"
#include "app/photo_control.h"
#include "app/recovery_control.h"
#include "dialogs/f_tomorrow.h"
#include "platform/clock.h"
#include "ui/chars_note.h"
#include "ui/deferred_icons.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <limits>

Main_form::Main_form(Platform& platform_layer, Clock& clock, const QString& app_dir,
                     QWidget* parent)
    : QMainWindow(parent), platform(platform_layer), session(app_dir, clock)
{
    setObjectName(QStringLiteral("Main_form"));
    Install_font_substitutions();
    // The menu bar's seldom shown icon is made when it is first drawn.
    Use_deferred_standard_icons();
    Build_menus();
    Build_controls();
    Build_navigation();
    Build_habits();
    Build_disk_watch();
    backup = new Backup_control(
        this, {platform, session, Host(), Menu_file, Menu_end, Menu_settei, Command2, Command4});
    Name_main_form_controls(*this);
    photos =
        new Photo_control(this, {platform, session, Host(), Text2, Text1, Menu_file, Menu_end});
    new Lock_control(*this);  // 設定's lock items and the idle lock (lock_control.*)
}

Main_form::~Main_form()
{
    // The fields are destroyed by the base class, after this form's own
    // members are gone: nothing of ours may watch their last events.
    Stop_navigation();
}

void Main_form::Build_menus()
{
    // The menu bar and its menus in the window's own Japanese font: the
    // desktop's default font may have no Japanese glyphs, and looking up a
    // fallback font for the captions was the largest single cost of
    // start-up.
    const QFont menu_font = Diary_font();
    menuBar()->setFont(menu_font);
    auto add_menu = [this, menu_font](const char* name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        menu->setFont(menu_font);
        return menu;
    };
    auto add_action = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    Menu_file = add_menu("Menu_file", QStringLiteral("ﾌｧｲﾙ"));
    Menu_save = add_action(Menu_file, "Menu_save", QStringLiteral("保存"));
    Menu_save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Menu_save->setShortcutContext(Qt::WindowShortcut);
    Menu_history = add_action(Menu_file, "Menu_history", QStringLiteral("この日の履歴"));
    Menu_versions = add_action(Menu_file, "Menu_versions", QStringLiteral("ほかの版…"));
    Menu_export = add_action(Menu_file, "Menu_export", QStringLiteral("エクスポート…"));
    Menu_import = add_action(Menu_file, "Menu_import", QStringLiteral("インポート…"));
    Menu_print = add_action(Menu_file, "Menu_print", QStringLiteral("印刷…"));
    Menu_print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    Menu_print->setShortcutContext(Qt::WindowShortcut);
    Menu_end = add_action(Menu_file, "Menu_end", QStringLiteral("終了"));
    Menu_kensaku = add_menu("Menu_kensaku", QStringLiteral("検索"));
    Menu_omoide = add_action(Menu_kensaku, "Menu_omoide", QStringLiteral("思い出の日"));
    Menu_memo = add_action(Menu_kensaku, "Menu_memo", QStringLiteral("メモ"));
    Menu_fulltext = add_action(Menu_kensaku, "Menu_fulltext", QStringLiteral("全文検索"));
    Menu_fulltext->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    Menu_fulltext->setShortcutContext(Qt::WindowShortcut);
    Menu_years = add_action(Menu_kensaku, "Menu_years", QStringLiteral("この日の百年"));
    connect(add_action(Menu_kensaku, "Menu_records", QStringLiteral("記録")), &QAction::triggered,
            this, &Main_form::Menu_records_Click);
    Menu_go = add_menu("Menu_go", QStringLiteral("移動"));
    Menu_today = add_action(Menu_go, "Menu_today", QStringLiteral("今日"));
    Menu_prev_day = add_action(Menu_go, "Menu_prev_day", QStringLiteral("前の日"));
    Menu_next_day = add_action(Menu_go, "Menu_next_day", QStringLiteral("次の日"));
    Menu_calendar = add_action(Menu_go, "Menu_calendar", QStringLiteral("日付を指定…"));
    Menu_settei = add_menu("Menu_settei", QStringLiteral("設定"));
    MENU_ref_default = add_action(Menu_settei, "MENU_ref_default", QStringLiteral("参照する日記"));
    Menu_help = add_menu("Menu_help", QStringLiteral("?"));
    Menu_tukaikata = add_action(Menu_help, "Menu_tukaikata", QStringLiteral("使い方"));
    connect(Menu_save, &QAction::triggered, this, &Main_form::Menu_save_Click);
    connect(Menu_end, &QAction::triggered, this, &Main_form::Menu_end_Click);
    connect(Menu_omoide, &QAction::triggered, this, &Main_form::Menu_omoide_Click);
    connect(Menu_memo, &QAction::triggered, this, &Main_form::Menu_memo_Click);
    Connect_year_actions();
    connect(Menu_history, &QAction::triggered, this, &Main_form::Menu_history_Click);
    connect(Menu_versions, &QAction::triggered, this, &Main_form::Menu_versions_Click);
    connect(Menu_export, &QAction::triggered, this, &Main_form::Menu_export_Click);
    connect(Menu_import, &QAction::triggered, this, &Main_form::Menu_import_Click);
    connect(Menu_print, &QAction::triggered, this, &Main_form::Menu_print_Click);
    connect(Menu_fulltext, &QAction::triggered, this, &Main_form::Menu_fulltext_Click);
}

void Main_form::Build_controls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    Set_window_look(*client, look::Main_green);
    setCentralWidget(client);

    auto line_edit = [client](QLineEdit*& field) {
        field = new QLineEdit(client);
        return field;
    };
    auto scroll_bar = [client](QScrollBar*& bar, int low, int high) {
        bar = new QScrollBar(Qt::Vertical, client);
        bar->setRange(low, high);
        bar->setValue(low);
        bar->setSingleStep(1);
        bar->setPageStep(1);
    };
    auto text_area = [client](QPlainTextEdit*& area) {
        area = new QPlainTextEdit(client);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Paint_in_bands(*area->verticalScrollBar());
    };
    auto button = [client](QPushButton*& b, const QString& caption) {
        b = new QPushButton(caption, client);
        b->setAutoDefault(false);
    };

    // Created in the order of Main_form_places, so that the later control
    // lies above the earlier one where they overlap.
    line_edit(Text3);
    scroll_bar(VScroll1, First_year, Last_year);
    line_edit(Text4);
    scroll_bar(VScroll2, 1, 12);
    line_edit(Text5);
    scroll_bar(VScroll3, 1, 31);
    Shape1 = new QFrame(client);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setFrameShadow(QFrame::Plain);
    Shape1->setLineWidth(1);
    Check1 = new QCheckBox(QStringLiteral("思い出"), client);
    Label1 = new QLabel(QStringLiteral("メモ"), client);
    line_edit(Text6);
    text_area(Text1);
    text_area(Text2);
    line_edit(Text7);
    scroll_bar(VScroll4, First_year, Last_year);
    line_edit(Text8);
    scroll_bar(VScroll5, 1, 12);
    line_edit(Text9);
    scroll_bar(VScroll6, 1, 31);
    button(Command1, QStringLiteral("画面切替"));
    button(Command3, QStringLiteral("占い"));
    button(Command4, QStringLiteral("明日へ"));
    button(Command2, QStringLiteral("終了"));

    // Characters the Windows program shows as substitutes are told about
    // while they are in the day's text or memo.
    chars_note = new Chars_note(Text2, Text6);

    // A memo is one line of any length: the index keeps it whole, and so
    // must the field, or the next save of the day would cut it.
    Text6->setMaxLength(std::numeric_limits<int>::max());
    Text1->setReadOnly(true);
    QPalette reference = Text1->palette();
    reference.setColor(QPalette::Base, Qt::white);
    reference.setColor(QPalette::Text, look::Reference_blue);
    Text1->setPalette(reference);
    for (QLineEdit* field : {Text7, Text8, Text9}) {
        QPalette blue = field->palette();
        blue.setColor(QPalette::Text, look::Reference_blue);
        field->setPalette(blue);
    }

    const struct {
        QWidget* widget;
        const char* name;
    } names[] = {
        {Text1, "Text1"},       {Text2, "Text2"},       {Text3, "Text3"},
        {Text4, "Text4"},       {Text5, "Text5"},       {Text6, "Text6"},
        {Text7, "Text7"},       {Text8, "Text8"},       {Text9, "Text9"},
        {VScroll1, "VScroll1"}, {VScroll2, "VScroll2"}, {VScroll3, "VScroll3"},
        {VScroll4, "VScroll4"}, {VScroll5, "VScroll5"}, {VScroll6, "VScroll6"},
        {Command1, "Command1"}, {Command2, "Command2"}, {Command3, "Command3"},
        {Command4, "Command4"}, {Check1, "Check1"},     {Label1, "Label1"},
        {Shape1, "Shape1"},
    };
    for (const auto& n : names)
        n.widget->setObjectName(QLatin1String(n.name));

    // The date fields show their bars' values until start-up sets them.
    Text3->setText(QString::number(VScroll1->value()));
    Text4->setText(QString::number(VScroll2->value()));
    Text5->setText(QString::number(VScroll3->value()));
    Text7->setText(QString::number(VScroll4->value()));
    Text8->setText(QString::number(VScroll5->value()));
    Text9->setText(QString::number(VScroll6->value()));

    Place_controls(*client, Main_form_places);

    const int menu_height = menuBar()->sizeHint().height();
    setMinimumSize(Twips_to_pixels(Design_client_width, Dpi()),
                   Twips_to_pixels(Design_client_height, Dpi()) + menu_height);
    Set_outer_twips({0, 0, Design_width, Design_height});
    placed = false;

    connect(Command2, &QPushButton::clicked, this, &Main_form::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &Main_form::Command4_Click);
    Connect_layout_handlers();
    connect(Command3, &QPushButton::clicked, this, &Main_form::Command3_Click);
}

double Main_form::Dpi() const { return logicalDpiX(); }

Twips_rect Main_form::Outer_twips() const
{
    const QPoint pos = this->pos();
    const QSize client(width(), height() - menuBar()->sizeHint().height());
    if (placed && pos == placed_pos && client == placed_client)
        return placed_twips;
    const double dpi = Dpi();
    return {Pixels_to_twips(pos.x(), dpi), Pixels_to_twips(pos.y(), dpi),
            Pixels_to_twips(client.width(), dpi) + Frame_width,
            Pixels_to_twips(client.height(), dpi) + Frame_height};
}

void Main_form::Set_outer_twips(const Twips_rect& outer)
{
    const double dpi = Dpi();
    const QPoint pos(Twips_to_pixels(outer.left, dpi), Twips_to_pixels(outer.top, dpi));
    const QSize client(Twips_to_pixels(outer.width - Frame_width, dpi),
                       Twips_to_pixels(outer.height - Frame_height, dpi));
    move(pos);
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    placed_twips = outer;
    placed_pos = pos;
    placed_client = client;
    placed = true;
}

void Main_form::Show_failure(const QString& headline, const Io_result& result, const QString& note)
{
    ::Show_failure(platform, headline, result, note);
}

Dialog_host Main_form::Host()
{
    return {this, platform, [this] { return Outer_twips(); }, session.App_dir()};
}

Recovery_host Main_form::For_recovery()
{
    return {platform,
            session,
            this,
            Text2,
            Text6,
            Check1,
            Menu_save,
            f_tomorrow,
            [this] { return ended; },
            [this](const Panel_date& date) { Go_to_diary_day(date); },
            [this](Who who) { return Save_day(who); }};
}

void Main_form::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}
