#include "app/main_form.h"

#include "app/backup_control.h"
#include "dialogs/f_tomorrow.h"
#include "platform/clock.h"
#include "ui/chars_note.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <limits>

Main_form::Main_form(Platform& platform_layer, Clock& clock, const QString& app_dir,
                     QWidget* parent)
    : QMainWindow(parent), platform(platform_layer), session(app_dir, clock)
{
    setObjectName(QStringLiteral("Main_form"));
    Install_font_substitutions();
    Build_menus();
    Build_controls();
    Build_navigation();
    backup = new Backup_control(*this);
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
    return {this, platform, [this] { return Outer_twips(); }};
}

bool Main_form::Form_Load()
{
    if (!session.Read_today()) {
        const QDate today = session.Today();
        platform.Message_box(
            QStringLiteral("パソコンの日付が%1年%2月%3日になっています。\n"
                           "この日記が扱えるのは1990年から2100年までです。\n"
                           "パソコンの日付を確かめてから、もう一度起動してください。")
                .arg(today.year())
                .arg(today.month())
                .arg(today.day()),
            App_title, Platform::Icon::Critical, Platform::Buttons::Ok);
        return false;
    }
    const Panel_date today = Panel_date::Of(session.Today());
    const QSizeF screen = platform.Screen_size_twips();

    // 1, 2: centred at the design size, with the title.
    Set_outer_twips({(screen.width() - Design_width) / 2, (screen.height() - Design_height) / 2,
                     Design_width, Design_height});
    setWindowTitle(App_title);

    // A program folder this process may not write to is one cause, told
    // once: start-up then makes nothing there, and the diary can be read.
    if (const Io_result r = session.Check_program_folder(); !r.Ok())
        Show_failure(QStringLiteral("プログラムのフォルダーに書き込めません。"), r,
                     QStringLiteral("日記を読むことはできますが、保存はできません。"));

    // 4, 5: the current year always has a folder and an index.
    if (session.Program_folder_writable()) {
        if (const Io_result r = session.Ensure_year_folder(today.year); !r.Ok())
            Show_failure(QStringLiteral("今年のフォルダーを作れませんでした。"), r);
        else if (const Io_result index = session.Create_this_year_index(); !index.Ok())
            Show_failure(QStringLiteral("今年の索引ファイルを作れませんでした。"), index);
    }

    // 6: the settings, first values on the first run.
    const Twips_rect centred = Outer_twips();
    Io_result settings_error;
    switch (session.Read_settings(
        Settings::First_values(float(centred.top), float(centred.left), today.Key()),
        settings_error)) {
    case Diary_session::Settings_start::Create_failed:
        Show_failure(QStringLiteral("設定ファイルを作れませんでした。"), settings_error);
        break;
    case Diary_session::Settings_start::Read_failed:
        Show_failure(QStringLiteral("設定ファイルを読み込めませんでした。"), settings_error,
                     QStringLiteral("最初の設定で始めます。設定ファイルは書き換えません。"));
        break;
    default: break;
    }
    const Window_geometry window = session.Window();

    // 7 to 9: the window's place and size as at the last end; a window that
    // was minimized comes back at the design size, centred.
    resize_lock = true;
    if (window.state == 1)
        Set_outer_twips({(screen.width() - Design_width) / 2, (screen.height() - Design_height) / 2,
                         Design_width, Design_height});
    else
        Set_outer_twips(window.outer);
    Bring_onto_screen();
    Apply_text2_height(Outer_twips().height);
    resize_lock = false;

    // 10 to 12: today in the diary panel.
    scroll_lock = Scroll_lock::On;
    VScroll1->setValue(today.year);
    Text3->setText(QString::number(VScroll1->value()));
    VScroll2->setValue(today.month);
    Text4->setText(QString::number(VScroll2->value()));
    VScroll3->setValue(today.day);
    Text5->setText(QString::number(VScroll3->value()));
    scroll_lock = Scroll_lock::Off;
    Load_diary_day(today.year, today.month, today.day);
    Put_caret_at_end();

    // 13, 14: the reference day chosen by ref_mode.
    scroll_lock = Scroll_lock::On;
    if (const std::optional<Panel_date> reference = session.Start_reference_day()) {
        VScroll4->setValue(reference->year);
        Text7->setText(QString::number(VScroll4->value()));
        VScroll5->setValue(reference->month);
        Text8->setText(QString::number(VScroll5->value()));
        VScroll6->setValue(reference->day);
        Text9->setText(QString::number(VScroll6->value()));
        session.Set_reference_date(*reference);
        if (session.Program_folder_writable()) {
            if (const Io_result e = session.Ensure_year_folder(reference->year); !e.Ok())
                Show_failure(QStringLiteral("参照する年のフォルダーを作れませんでした。"), e);
        }
    }
    scroll_lock = Scroll_lock::Off;
    Load_reference_text();

    // 15, 16: the message from yesterday.
    Hand_over_messages_at_start();

    // 17, 18.
    session.Finish_start();
    return true;
}

void Main_form::Show_window()
{
    switch (session.Window().state) {
    case 1: showMinimized(); break;
    case 2: showMaximized(); break;
    default: show(); break;
    }
}

Day_entry Main_form::Current_entry() const
{
    return {Text2->toPlainText(), Text6->text(), Check1->isChecked()};
}

void Main_form::Show_entry(const Day_entry& entry)
{
    Check1->setChecked(entry.flag);
    Text6->setText(entry.memo);
    Text2->setPlainText(entry.text);
}

void Main_form::Tell_day_read(const Diary_session::Day_read& read, const QString& headline,
                              const QString& note)
{
    if (!read.index_error.Ok())
        Show_failure(QStringLiteral("索引ファイルを読み込めませんでした。"), read.index_error,
                     note);
    if (!read.text_error.Ok())
        Show_failure(headline, read.text_error, note);
}

void Main_form::Load_diary_day(int year, int month, int day)
{
    const Diary_session::Day_read read = session.Load_diary_day({year, month, day});
    Show_entry(session.Loaded_day());
    session.Day_shown(Current_entry());
    Text2->document()->setModified(false);
    Show_other_versions();
    Tell_day_read(read, QStringLiteral("日記を読み込めませんでした。"),
                  QStringLiteral("この日の日記は、ファイルを守るため保存しません。"));
}

QString Title_with_other_versions(const QStringList& other_versions)
{
    if (other_versions.isEmpty())
        return App_title;
    QString note = QStringLiteral("　（この日の別の版：%1").arg(other_versions.front());
    if (other_versions.size() > 1)
        note += QStringLiteral(" ほか%1件").arg(other_versions.size() - 1);
    return App_title + note + QStringLiteral("）");
}

void Main_form::Show_other_versions()
{
    const QString title = Title_with_other_versions(session.Other_versions(session.Diary_date()));
    if (windowTitle() != title)
        setWindowTitle(title);
}

void Main_form::Load_reference_text()
{
    Diary_session::Day_read read;
    Text1->setPlainText(session.Load_reference_text(read));
    Tell_day_read(read, QStringLiteral("参照する日記を読み込めませんでした。"), QString());
}

void Main_form::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

QString Save_failure_headline(const Diary_session::Day_plan& plan)
{
    switch (plan.failure) {
    case Diary_session::Failure::Unreadable_day:
        return QStringLiteral("読み込めなかった日記を上書きしないよう、保存しませんでした。");
    case Diary_session::Failure::Text_only:
        return QStringLiteral("メモと思い出は保存しましたが、本文は保存できませんでした。");
    case Diary_session::Failure::Conflict_copy:
        return QStringLiteral("書き換えられた日記の控えを作れなかったため、保存しませんでした。");
    case Diary_session::Failure::History:
        return plan.remove
                   ? QStringLiteral("以前の版を履歴に残せなかったため、日記を消しませんでした。")
                   : QStringLiteral("以前の版を履歴に残せなかったため、保存しませんでした。");
    case Diary_session::Failure::Changed_before_removal:
        return QStringLiteral("この日の日記は、読み込んだ後にほかのパソコンや同期ソフトなどで"
                              "書き換えられていたため、消しませんでした。\n"
                              "書き換えられた日記を表示します。");
    case Diary_session::Failure::Write:
    case Diary_session::Failure::None: break;
    }
    if (plan.remove)
        return QStringLiteral("日記を消せませんでした。");
    return QStringLiteral("日記を保存できませんでした。");
}

Diary_session::Day_plan Main_form::Plan_day_save(Who who)
{
    Commit_composition();
    // The text is taken from the field once; what is written is this very
    // text (the field cannot change under a modal question).
    return session.Plan_day_save(Current_entry(), who);
}

QString Changed_on_disk_question(const Diary_session::Day_plan& plan, const QString& app_dir)
{
    const QString copy = plan.conflict_copy.startsWith(app_dir)
                             ? plan.conflict_copy.mid(app_dir.size())
                             : plan.conflict_copy;
    // A day removed elsewhere leaves nothing to keep in a copy.
    const bool removed = plan.disk.file.isEmpty() && !plan.disk.record.found;
    const QString keep_mine =
        removed ? QStringLiteral("「いいえ」：ここで書いた日記で保存します。\n")
                : QStringLiteral("「いいえ」：ここで書いた日記で保存します。書き換えられた日記は"
                                 "「%1」に残します。\n")
                      .arg(copy);
    return QStringLiteral("%1年%2月%3日の日記は、読み込んだ後に、ほかのパソコンや同期ソフトなどで"
                          "書き換えられています。\n"
                          "「はい」：書き換えられた日記を残します。ここで書いた日記は「%4」に"
                          "書き出します。\n")
               .arg(plan.date.year)
               .arg(plan.date.month)
               .arg(plan.date.day)
               .arg(copy) +
           keep_mine + QStringLiteral("「キャンセル」：保存せずに、日記の画面に戻ります。");
}

QString History_question(const Diary_session::Day_plan& plan)
{
    return Io_message(QStringLiteral("%1年%2月%3日の日記の以前の版を、履歴に残せませんでした。")
                          .arg(plan.date.year)
                          .arg(plan.date.month)
                          .arg(plan.date.day),
                      plan.error) +
           QStringLiteral("\n\n「はい」：履歴に残さずに保存します。以前の版は残りません。\n"
                          "「いいえ」：保存せずに、日記の画面に戻ります。");
}

// marked: the day has the 思い出 mark, on disk or in the panel.
QString Removal_question(const Diary_session::Day_plan& plan, bool marked)
{
    return QStringLiteral("%1年%2月%3日の日記とメモを消しますか？\n"
                          "本文とメモが空になりました。この日のファイルを消します%4。\n"
                          "消す前の日記は「この日の履歴」に残り、「元に戻す」で戻せます。\n\n"
                          "「はい」：この日の日記を消します。\n"
                          "「いいえ」：消さずに、前の日記をそのまま残します。\n"
                          "「キャンセル」：日記の画面に戻ります。")
        .arg(plan.date.year)
        .arg(plan.date.month)
        .arg(plan.date.day)
        .arg(marked ? QStringLiteral("（思い出の印も消えます）") : QString());
}

Main_form::Save_result Main_form::Run_plan(Diary_session::Day_plan& plan)
{
    if (plan.remove) {
        // Emptying a day is how a day is removed; it is asked, since an
        // empty field is also what a slip of the hand leaves.
        const Platform::Answer answer = platform.Message_box(
            Removal_question(plan, plan.entry.flag || session.Loaded_day().flag), App_title,
            Platform::Icon::Question, Platform::Buttons::Yes_no_cancel);
        if (ended)
            return Save_result::Declined;
        if (answer == Platform::Answer::No) {
            plan.result = Save_result::Unchanged;
            return Save_result::Unchanged;
        }
        if (answer != Platform::Answer::Yes) {
            plan.result = Save_result::Declined;
            return Save_result::Declined;
        }
        const Save_result removed = session.Write_day(plan);
        if (removed == Save_result::Saved) {
            Text2->document()->setModified(false);
        } else if (plan.failure == Diary_session::Failure::Changed_before_removal) {
            Show_entry(session.Loaded_day());
            session.Day_shown(Current_entry());
            Text2->document()->setModified(false);
        }
        return removed;
    }
    Save_result result = session.Write_day(plan);
    if (result == Save_result::Changed_on_disk) {
        const Platform::Answer answer =
            platform.Message_box(Changed_on_disk_question(plan, session.App_dir()), App_title,
                                 Platform::Icon::Exclamation, Platform::Buttons::Yes_no_cancel);
        if (ended)
            return Save_result::Declined;
        if (answer != Platform::Answer::Yes && answer != Platform::Answer::No) {
            plan.result = Save_result::Declined;
            return Save_result::Declined;
        }
        plan.keep =
            answer == Platform::Answer::Yes ? Diary_session::Keep::Disk : Diary_session::Keep::Mine;
        result = session.Write_day(plan);
        if (plan.keep == Diary_session::Keep::Disk && result == Save_result::Unchanged) {
            // The files' version is the day now, in the panel too.
            Show_entry(session.Loaded_day());
            session.Day_shown(Current_entry());
            Text2->document()->setModified(false);
        }
        Show_other_versions();
    }
    if (result == Save_result::Failed && plan.failure == Diary_session::Failure::History &&
        plan.who == Who::User) {
        // Keeping the old version failed (a full disk, a folder in the
        // way): the user decides whether the new text is worth more than
        // the old version. Nothing is written without that answer.
        const Platform::Answer answer =
            platform.Message_box(History_question(plan), App_title, Platform::Icon::Exclamation,
                                 Platform::Buttons::Yes_no);
        if (ended)
            return Save_result::Declined;
        if (answer != Platform::Answer::Yes) {
            plan.result = Save_result::Declined;
            return Save_result::Declined;
        }
        plan.without_history = true;
        plan.result = Save_result::Saved;
        plan.failure = Diary_session::Failure::None;
        plan.error = {};
        result = session.Write_day(plan);
    }
    if (result == Save_result::Saved)
        Text2->document()->setModified(false);
    return result;
}

Main_form::Save_result Main_form::Save_day(Who who)
{
    Diary_session::Day_plan plan = Plan_day_save(who);
    if (ended)
        return Save_result::Declined;
    const Save_result result = Run_plan(plan);
    if (result == Save_result::Failed && who == Who::User) {
        if (plan.failure == Diary_session::Failure::Changed_before_removal)
            platform.Message_box(Save_failure_headline(plan), App_title,
                                 Platform::Icon::Exclamation, Platform::Buttons::Ok);
        else
            Show_failure(Save_failure_headline(plan), plan.error);
    }
    return result;
}

int Main_form::Window_state() const { return isMinimized() ? 1 : isMaximized() ? 2 : 0; }

Io_result Main_form::Save_settings()
{
    return session.Save_settings({Window_state(), Outer_twips()});
}

QString Main_form::Rescue_question(const QString& rescue) const
{
    if (rescue.isEmpty())
        return QStringLiteral("このまま終了しますか？\n"
                              "「はい」：終了します。設定は前回の終了時のままになります。\n"
                              "「いいえ」：終了せずに、日記の画面に戻ります。");
    // The program folder refuses new files: the user's own folder takes the
    // text, named in full since the user would not look there.
    if (QFileInfo(rescue).absolutePath() + QLatin1Char('/') != session.App_dir())
        return QStringLiteral("このまま終了しますか？\n"
                              "「はい」：終了します。書いた日記は「%1」に書き出します。\n"
                              "「いいえ」：終了せずに、日記の画面に戻ります。")
            .arg(rescue);
    return QStringLiteral(
               "このまま終了しますか？\n"
               "「はい」：終了します。書いた日記は、プログラムのフォルダーの「%1」に書き出します。\n"
               "「いいえ」：終了せずに、日記の画面に戻ります。")
        .arg(QFileInfo(rescue).fileName());
}

void Main_form::Finish()
{
    ended = true;
    // Everything is saved: a backup still running stops without delaying
    // the end, and leaves no file.
    backup->Stop();
    emit Program_ended();
}

bool Main_form::Form_QueryUnload()
{
    if (ended)
        return true;
    if (in_query)
        return false;
    in_query = true;
    const auto leave = qScopeGuard([this] { in_query = false; });

    Diary_session::Day_plan plan = Plan_day_save(Who::User);
    if (ended)
        return true;
    if (plan.result == Save_result::Declined)
        return false;
    const Io_result settings_result = Save_settings();
    const Save_result day = Run_plan(plan);
    if (ended)
        return true;
    if (day == Save_result::Declined)
        return false;  // the day changed on disk, and the user went back to it
    const bool day_failed = day == Save_result::Failed;
    if (settings_result.Ok() && !day_failed) {
        Finish();
        return true;
    }

    QStringList parts;
    if (!settings_result.Ok())
        parts << Io_message(QStringLiteral("設定を保存できませんでした。"), settings_result);
    QString rescue;
    if (day_failed) {
        parts << Io_message(Save_failure_headline(plan), plan.error);
        rescue = session.New_rescue_path();
    }
    parts << Rescue_question(rescue);
    const Platform::Answer answer =
        platform.Message_box(parts.join(QStringLiteral("\n\n")), App_title,
                             Platform::Icon::Exclamation, Platform::Buttons::Yes_no);
    if (ended)
        return true;
    if (answer != Platform::Answer::Yes)
        return false;
    if (day_failed) {
        const Diary_session::Rescue_write written =
            session.Write_rescue_file(rescue, Current_entry());
        if (written.path.isEmpty()) {
            Show_failure(QStringLiteral("日記を書き出せませんでした。"), written.result,
                         QStringLiteral("終了せずに、日記の画面に戻ります。"));
            return false;
        }
        rescue_path = written.path;
        // The place named in the question refused the file at the last
        // moment; the user hears where the text went instead.
        if (written.path != rescue)
            platform.Message_box(
                QStringLiteral("書いた日記は「%1」に書き出しました。").arg(written.path), App_title,
                Platform::Icon::Information, Platform::Buttons::Ok);
    }
    Finish();
    return true;
}

void Main_form::Save_for_session()
{
    if (ended)
        return;
    Commit_composition();
    Save_open_message();
    const Diary_session::Unattended_save saved =
        session.Save_without_user({Window_state(), Outer_twips()}, Current_entry());
    if (saved.day == Save_result::Saved)
        Text2->document()->setModified(false);
    if (!saved.rescue_path.isEmpty())
        rescue_path = saved.rescue_path;
}

void Main_form::End_without_user()
{
    if (ended)
        return;
    // Nobody is there to read a message: whatever cannot be saved goes to
    // the rescue file.
    Save_for_session();
    Finish();
    // No window may stay waiting for an answer nobody will give: 明日へ
    // (its message saved above) and any question still open are closed.
    if (f_tomorrow)
        f_tomorrow->Close_without_user();
    Close_modal_windows();
    close();
}

void Main_form::Command2_Click() { close(); }

void Main_form::Menu_end_Click() { close(); }

void Main_form::Menu_save_Click()
{
    if (!ended)
        Save_day(Who::User);
}

void Main_form::closeEvent(QCloseEvent* event)
{
    if (Form_QueryUnload())
        event->accept();
    else
        event->ignore();
}
