// Start-up: today in the diary panel, the window where the last end left
// it, the reference day and the messages of the start; then the window is
// shown in the state start-up restored.

#include "app/main_form.h"

#include <QLineEdit>
#include <QScrollBar>

bool Main_form::Form_Load()
{
    if (!session.Read_today()) {
        const QDate today = session.Today();
        platform.Message_box(
            QStringLiteral("パソコンの日付が%1年%2月%3日になっています。\n"
                           "この日記が扱えるのは%4年から%5年までです。\n"
                           "パソコンの日付を確かめてから、もう一度起動してください。")
                .arg(today.year())
                .arg(today.month())
                .arg(today.day())
                .arg(First_year)
                .arg(Last_year),
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
