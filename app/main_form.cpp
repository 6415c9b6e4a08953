#include "app/main_form.h"

#include "app/io_message.h"
#include "platform/cp932.h"
#include "store/safe_replace.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSet>
#include <algorithm>
#include <optional>

namespace {

const QString Font_name = QStringLiteral("ＭＳ ゴシック");
constexpr double Font_points = 11.25;
const QColor Window_green(192, 255, 192);
const QColor Reference_blue(0, 0, 255);

constexpr int First_year = 1990;
constexpr int Last_year = 2100;

struct Panel_date {
    int year;
    int month;
    int day;
};

Panel_date Clamped(Panel_date d)
{
    return {std::clamp(d.year, First_year, Last_year), std::clamp(d.month, 1, 12),
            std::clamp(d.day, 1, 31)};
}

// "2025/3/7" or "2025/03/07", as the settings file holds dates.
std::optional<Panel_date> Parse_panel_date(const QString& text)
{
    Panel_date d{};
    if (!Parse_date_text(text, d.year, d.month, d.day))
        return std::nullopt;
    return d;
}

QDate Parse_calendar_date(const QString& text)
{
    const std::optional<Panel_date> d = Parse_panel_date(text);
    return d ? QDate(d->year, d->month, d->day) : QDate();
}

QString Character_text(char32_t c) { return QString::fromUcs4(&c, 1); }

}  // namespace

Main_form::Main_form(Platform& platform, Clock& run_clock, const QString& app_dir, QWidget* parent)
    : QMainWindow(parent), platform(platform), clock(run_clock), store(app_dir)
{
    setObjectName(QStringLiteral("Main_form"));
    state.app_dir = store.App_dir();
    QFont::insertSubstitutions(
        Font_name, {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    Build_menus();
    Build_controls();
    Build_navigation();
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
    QFont menu_font(Font_name);
    menu_font.setPointSizeF(Font_points);
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
    Menu_end = add_action(Menu_file, "Menu_end", QStringLiteral("終了"));
    Menu_kensaku = add_menu("Menu_kensaku", QStringLiteral("検索"));
    Menu_omoide = add_action(Menu_kensaku, "Menu_omoide", QStringLiteral("思い出の日"));
    Menu_memo = add_action(Menu_kensaku, "Menu_memo", QStringLiteral("メモ"));
    Menu_settei = add_menu("Menu_settei", QStringLiteral("設定"));
    MENU_ref_default = add_action(Menu_settei, "MENU_ref_default", QStringLiteral("参照する日記"));
    Menu_help = add_menu("Menu_help", QStringLiteral("?"));
    Menu_tukaikata = add_action(Menu_help, "Menu_tukaikata", QStringLiteral("使い方"));
    connect(Menu_end, &QAction::triggered, this, &Main_form::Menu_end_Click);
    connect(Menu_omoide, &QAction::triggered, this, &Main_form::Menu_omoide_Click);
    connect(Menu_memo, &QAction::triggered, this, &Main_form::Menu_memo_Click);
}

void Main_form::Build_controls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    QPalette green = client->palette();
    green.setColor(QPalette::Window, Window_green);
    client->setPalette(green);
    client->setAutoFillBackground(true);
    QFont font(Font_name);
    font.setPointSizeF(Font_points);
    client->setFont(font);
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

    Text1->setReadOnly(true);
    QPalette reference = Text1->palette();
    reference.setColor(QPalette::Base, Qt::white);
    reference.setColor(QPalette::Text, Reference_blue);
    Text1->setPalette(reference);
    for (QLineEdit* field : {Text7, Text8, Text9}) {
        QPalette blue = field->palette();
        blue.setColor(QPalette::Text, Reference_blue);
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

    for (const Control_place& place : Main_form_places)
        client->findChild<QWidget*>(QLatin1String(place.name))->setGeometry(Pixels(place.rect));

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
    QString text = Io_message(headline, result);
    if (!note.isEmpty())
        text += QStringLiteral("\n\n") + note;
    platform.Message_box(text, App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
}

bool Main_form::Form_Load()
{
    const QDate today = clock.Now().date();
    state.today = today;
    if (today.year() < First_year || today.year() > Last_year) {
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
    const int year = today.year();
    const QString today_key = Diary_store::Date_key(year, today.month(), today.day());
    const QSizeF screen = platform.Screen_size_twips();

    // 1, 2: centred at the design size, with the title.
    Set_outer_twips({(screen.width() - Design_width) / 2, (screen.height() - Design_height) / 2,
                     Design_width, Design_height});
    setWindowTitle(App_title);

    // 4, 5: the current year always has a folder and an index.
    if (const Io_result r = store.Ensure_year_folder(year); !r.ok())
        Show_failure(QStringLiteral("今年のフォルダーを作れませんでした。"), r);
    else if (const Io_result r = store.Create_year_index(year, today_key); !r.ok())
        Show_failure(QStringLiteral("今年の索引ファイルを作れませんでした。"), r);

    // 6: the settings, first values on the first run.
    const Twips_rect centred = Outer_twips();
    const Settings first =
        Settings::First_values(float(centred.top), float(centred.left), today_key);
    if (!Diary_store::File_exists(store.Settings_path())) {
        static_cast<Settings&>(state) = first;
        if (const Io_result r = store.Write_settings(state); !r.ok())
            Show_failure(QStringLiteral("設定ファイルを作れませんでした。"), r);
    } else {
        const Settings_read read = store.Read_settings(first);
        if (read.result.ok()) {
            static_cast<Settings&>(state) = read.values;
        } else {
            static_cast<Settings&>(state) = first;
            Show_failure(QStringLiteral("設定ファイルを読み込めませんでした。"), read.result,
                         QStringLiteral("最初の設定で始めます。"));
        }
    }
    const QDate last_run = Parse_calendar_date(state.last_run_date);
    state.new_day = !last_run.isValid() || today > last_run;

    // 7 to 9: the window's place and size as at the last end; a window that
    // was minimized comes back at the design size, centred.
    state.resize_lock = true;
    if (state.win_state == 1)
        Set_outer_twips({(screen.width() - Design_width) / 2, (screen.height() - Design_height) / 2,
                         Design_width, Design_height});
    else
        Set_outer_twips({state.win_left, state.win_top, state.win_width, state.win_height});
    Bring_onto_screen();
    Apply_text2_height(Outer_twips().height);
    state.resize_lock = false;

    // 10 to 12: today in the diary panel.
    state.scroll_lock = QStringLiteral("on");
    VScroll1->setValue(year);
    Text3->setText(QString::number(VScroll1->value()));
    VScroll2->setValue(today.month());
    Text4->setText(QString::number(VScroll2->value()));
    VScroll3->setValue(today.day());
    Text5->setText(QString::number(VScroll3->value()));
    state.scroll_lock = QStringLiteral("off");
    Load_diary_day(year, today.month(), today.day());

    // 13, 14: the reference day chosen by ref_mode.
    state.scroll_lock = QStringLiteral("on");
    std::optional<Panel_date> reference;
    switch (state.ref_mode) {
    case 1: reference = Panel_date{year - 1, today.month(), today.day()}; break;
    case 2: {
        const QDate yesterday = today.addDays(-1);
        reference = Panel_date{yesterday.year(), yesterday.month(), yesterday.day()};
        break;
    }
    case 3: reference = Parse_panel_date(state.last_ref_date); break;
    default: break;
    }
    if (reference) {
        const Panel_date r = Clamped(*reference);
        VScroll4->setValue(r.year);
        Text7->setText(QString::number(VScroll4->value()));
        VScroll5->setValue(r.month);
        Text8->setText(QString::number(VScroll5->value()));
        VScroll6->setValue(r.day);
        Text9->setText(QString::number(VScroll6->value()));
        if (const Io_result e = store.Ensure_year_folder(Text7->text().toInt()); !e.ok())
            Show_failure(QStringLiteral("参照する年のフォルダーを作れませんでした。"), e);
    }
    state.scroll_lock = QStringLiteral("off");
    Load_reference_text();

    // 15, 16: the message from yesterday.
    Hand_over_messages_at_start();

    // 17, 18.
    if (state.new_day)
        state.fortune_state = QStringLiteral("mada");
    state.last_run_date = today_key;
    return true;
}

void Main_form::Show_window()
{
    switch (state.win_state) {
    case 1: showMinimized(); break;
    case 2: showMaximized(); break;
    default: show(); break;
    }
}

void Main_form::Load_diary_day(int year, int month, int day)
{
    day_loaded = true;
    load_error = {};
    const QString key = Diary_store::Date_key(year, month, day);
    Io_result index_error;
    const Day_record record = store.Find_day_record(year, key, &index_error);
    Check1->setChecked(record.found && record.memory);
    // The memo stays even when the day has no file: a memo alone is a saved day.
    Text6->setText(record.found ? record.memo : QString());
    if (!index_error.ok()) {
        day_loaded = false;
        load_error = index_error;
        Show_failure(QStringLiteral("索引ファイルを読み込めませんでした。"), index_error,
                     QStringLiteral("この日の日記は、ファイルを守るため保存しません。"));
    }
    const QString path = store.Day_file_path(year, month, day);
    const Text_read read = store.Read_text_file(path);
    Tell_capped_read(platform, read);
    const Io_result& read_error = read.result;
    const QString& text = read.text;
    Text2->setPlainText(read_error.ok() ? text : QString());
    if (!read_error.ok()) {
        day_loaded = false;
        load_error = read_error;
        Show_failure(QStringLiteral("日記を読み込めませんでした。"), read_error,
                     QStringLiteral("この日の日記は、ファイルを守るため保存しません。"));
    }
    loaded_text = Text2->toPlainText();
    loaded_memo = Text6->text();
    loaded_flag = Check1->isChecked();
    Text2->document()->setModified(false);
}

void Main_form::Load_reference_text()
{
    const QString path =
        store.Day_file_path(Text7->text().toInt(), Text8->text().toInt(), Text9->text().toInt());
    const Text_read read = store.Read_text_file(path);
    Tell_capped_read(platform, read);
    const Io_result& error = read.result;
    const QString& text = read.text;
    Text1->setPlainText(error.ok() ? text : QString());
    if (!error.ok())
        Show_failure(QStringLiteral("参照する日記を読み込めませんでした。"), error);
}

void Main_form::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

Main_form::Day_plan Main_form::Plan_day_save(Who who)
{
    Commit_composition();
    Day_plan plan;
    // The text is taken from the field once; what is written is this very
    // text (the field cannot change under a modal question).
    plan.text = Text2->toPlainText();
    plan.memo = Text6->text();
    const QString& text = plan.text;
    const QString& memo = plan.memo;
    if (text == loaded_text && memo == loaded_memo && Check1->isChecked() == loaded_flag)
        return plan;  // not edited since it was loaded or saved
    // Text and memo both empty: the day is not saved, and what was stored
    // for it stays as it was.
    if (text.isEmpty() && memo.isEmpty())
        return plan;
    plan.result = Save_result::Failed;
    if (!day_loaded) {
        plan.headline =
            QStringLiteral("読み込めなかった日記を上書きしないよう、保存しませんでした。");
        plan.error = load_error;
        return plan;
    }
    QList<Unmappable_char> characters;
    QSet<char32_t> seen;
    for (const QString* field : {&memo, &text}) {
        for (const cp932::Unmappable& u : cp932::Encode(*field).unmappable) {
            if (seen.contains(u.character))
                continue;
            seen.insert(u.character);
            characters.append({Character_text(u.character), cp932::Decode_text(u.substitute)});
        }
    }
    if (!characters.isEmpty()) {
        if (who == Who::Nobody) {
            plan.headline =
                QStringLiteral("シフトJISで表せない文字があるため、日記を保存しませんでした。");
            plan.error =
                Io_result::Failure(Io_step::Encode, 0,
                                   store.Day_file_path(Text3->text().toInt(), Text4->text().toInt(),
                                                       Text5->text().toInt()));
            return plan;
        }
        const Platform::Answer answer =
            platform.Message_box(Unmappable_question(characters), App_title,
                                 Platform::Icon::Question, Platform::Buttons::Yes_no);
        if (answer != Platform::Answer::Yes || ended) {
            plan.result = Save_result::Declined;
            return plan;
        }
        plan.policy = Unmappable_policy::Substitute;
    }
    plan.result = Save_result::Saved;
    return plan;
}

Main_form::Save_result Main_form::Write_day(const Day_plan& plan)
{
    const int year = Text3->text().toInt();
    const int month = Text4->text().toInt();
    const int day = Text5->text().toInt();
    const QString& text = plan.text;
    const QString& memo = plan.memo;
    const bool flag = Check1->isChecked();
    const QString headline = QStringLiteral("日記を保存できませんでした。");
    auto failed = [&](const Io_result& r) {
        last_save_headline = headline;
        last_save_error = r;
        return Save_result::Failed;
    };
    // The index is written before the day file.
    if (const Io_result r = store.Ensure_year_folder(year); !r.ok())
        return failed(r);
    if (const Io_result r = store.Store_day_record(year, Diary_store::Date_key(year, month, day),
                                                   flag, memo, plan.policy);
        !r.ok())
        return failed(r);
    if (const Io_result r =
            store.Write_text_file(store.Day_file_path(year, month, day), text, plan.policy);
        !r.ok())
        return failed(r);
    if (plan.policy == Unmappable_policy::Substitute) {
        // Show what was written, so that the screen and the file agree.
        Text6->setText(cp932::Decode_text(cp932::Encode(memo).bytes));
        Text2->setPlainText(cp932::Decode_text(cp932::Encode(text).bytes));
        loaded_text = Text2->toPlainText();
        loaded_memo = Text6->text();
    } else {
        loaded_text = text;
        loaded_memo = memo;
    }
    loaded_flag = Check1->isChecked();
    Text2->document()->setModified(false);
    last_save_error = {};
    return Save_result::Saved;
}

Main_form::Save_result Main_form::Run_plan(const Day_plan& plan)
{
    if (plan.result == Save_result::Saved)
        return Write_day(plan);
    if (plan.result == Save_result::Failed) {
        last_save_headline = plan.headline;
        last_save_error = plan.error;
    }
    return plan.result;
}

Main_form::Save_result Main_form::Save_day(Who who)
{
    const Day_plan plan = Plan_day_save(who);
    if (ended)
        return Save_result::Declined;
    const Save_result result = Run_plan(plan);
    if (result == Save_result::Failed && who == Who::User)
        Show_failure(last_save_headline, last_save_error);
    return result;
}

Io_result Main_form::Save_settings()
{
    state.win_state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    const Twips_rect outer = Outer_twips();
    state.win_top = float(outer.top);
    state.win_left = float(outer.left);
    state.win_height = float(outer.height);
    state.win_width = float(outer.width);
    state.last_ref_date =
        Text7->text() + QLatin1Char('/') + Text8->text() + QLatin1Char('/') + Text9->text();
    return store.Write_settings(state);
}

QString Main_form::New_rescue_path() const
{
    const QString stem = state.app_dir + QStringLiteral("sorane-rescue-") +
                         clock.Now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString path = stem + QStringLiteral(".txt");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1.txt").arg(n);
    return path;
}

Io_result Main_form::Write_rescue_file(const QString& path)
{
    const QString text =
        QStringLiteral(
            "%1 が保存できなかった日記です。\n日付: %2\n思い出: %3\nメモ: %4\n本文:\n%5\n")
            .arg(App_title,
                 Diary_store::Date_key(Text3->text().toInt(), Text4->text().toInt(),
                                       Text5->text().toInt()),
                 Check1->isChecked() ? QStringLiteral("あり") : QStringLiteral("なし"),
                 Text6->text(), Text2->toPlainText());
    return Replace_file(path, text.toUtf8());
}

QString Main_form::Rescue_question(const QString& rescue_name) const
{
    if (rescue_name.isEmpty())
        return QStringLiteral("このまま終了しますか？\n"
                              "「はい」：終了します。設定は前回の終了時のままになります。\n"
                              "「いいえ」：終了せずに、日記の画面に戻ります。");
    return QStringLiteral(
               "このまま終了しますか？\n"
               "「はい」：終了します。書いた日記は、プログラムのフォルダーの「%1」に書き出します。\n"
               "「いいえ」：終了せずに、日記の画面に戻ります。")
        .arg(rescue_name);
}

void Main_form::Finish()
{
    ended = true;
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

    // The question about characters comes before anything is written, so
    // going back to the text writes nothing at all.
    const Day_plan plan = Plan_day_save(Who::User);
    if (ended)
        return true;
    if (plan.result == Save_result::Declined)
        return false;
    const Io_result settings_result = Save_settings();
    const Save_result day = Run_plan(plan);
    const bool day_failed = day == Save_result::Failed;
    if (settings_result.ok() && !day_failed) {
        Finish();
        return true;
    }

    QStringList parts;
    if (!settings_result.ok())
        parts << Io_message(QStringLiteral("設定を保存できませんでした。"), settings_result);
    QString rescue;
    if (day_failed) {
        parts << Io_message(last_save_headline, last_save_error);
        rescue = New_rescue_path();
    }
    parts << Rescue_question(QFileInfo(rescue).fileName());
    const Platform::Answer answer =
        platform.Message_box(parts.join(QStringLiteral("\n\n")), App_title,
                             Platform::Icon::Exclamation, Platform::Buttons::Yes_no);
    if (ended)
        return true;
    if (answer != Platform::Answer::Yes)
        return false;
    if (day_failed) {
        if (const Io_result r = Write_rescue_file(rescue); !r.ok()) {
            Show_failure(QStringLiteral("日記を書き出せませんでした。"), r,
                         QStringLiteral("終了せずに、日記の画面に戻ります。"));
            return false;
        }
        rescue_path = rescue;
    }
    Finish();
    return true;
}

void Main_form::Save_for_session()
{
    if (ended)
        return;
    Save_settings();
    if (Run_plan(Plan_day_save(Who::Nobody)) == Save_result::Failed) {
        const QString rescue = New_rescue_path();
        if (Write_rescue_file(rescue).ok())
            rescue_path = rescue;
    }
}

void Main_form::End_without_user()
{
    if (ended)
        return;
    // Nobody is there to read a message: whatever cannot be saved goes to
    // the rescue file.
    Save_for_session();
    Finish();
    close();
}

void Main_form::Command2_Click() { close(); }

void Main_form::Menu_end_Click() { close(); }

void Main_form::closeEvent(QCloseEvent* event)
{
    if (Form_QueryUnload())
        event->accept();
    else
        event->ignore();
}
