// The page of one date in every year, and the quick moves of the diary
// panel: today, the day before and after, any day from a calendar.

#include "app/main_form.h"
#include "dialogs/calendar_window.h"
#include "dialogs/years_window.h"
#include "platform/clock.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextCursor>

void Main_form::Connect_year_actions()
{
    Menu_years->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    Menu_today->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    Menu_prev_day->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    Menu_next_day->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    Menu_calendar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(Menu_years, &QAction::triggered, this, &Main_form::Menu_years_Click);
    connect(Menu_today, &QAction::triggered, this, &Main_form::Menu_today_Click);
    connect(Menu_prev_day, &QAction::triggered, this, &Main_form::Menu_prev_day_Click);
    connect(Menu_next_day, &QAction::triggered, this, &Main_form::Menu_next_day_Click);
    connect(Menu_calendar, &QAction::triggered, this, &Main_form::Menu_calendar_Click);
}

void Main_form::Menu_years_Click()
{
    if (!years_window)
        years_window = new Years_window(
            Host(), session.Store(),
            [this](int year, int month, int day) { Show_reference_day(year, month, day); },
            [this] { return session.Time().Now().date().year(); });
    const Panel_date& d = session.Diary_date();
    years_window->Show_date(d.month, d.day);
    years_window->show();
    years_window->raise();
    years_window->activateWindow();
}

void Main_form::Follow_diary_day()
{
    if (!years_window || !years_window->isVisible())
        return;
    const Panel_date& d = session.Diary_date();
    years_window->Show_date(d.month, d.day);
}

void Main_form::Go_to_diary_day(const Panel_date& date)
{
    if (ended || diary_moving || scroll_lock != Scroll_lock::Off)
        return;
    const Panel_date target = date.Clamped();
    if (target == session.Diary_date())
        return;
    Move_diary_panel(target, nullptr, nullptr);
}

void Main_form::Menu_today_Click()
{
    const QDate today = session.Time().Now().date();
    if (today.year() < First_year || today.year() > Last_year) {
        platform.Beep();
        return;
    }
    Go_to_diary_day(Panel_date::Of(today));
}

void Main_form::Menu_prev_day_Click()
{
    if (const std::optional<Panel_date> day = Calendar_step(session.Diary_date(), -1))
        Go_to_diary_day(*day);
    else
        platform.Beep();
}

void Main_form::Menu_next_day_Click()
{
    if (const std::optional<Panel_date> day = Calendar_step(session.Diary_date(), 1))
        Go_to_diary_day(*day);
    else
        platform.Beep();
}

void Main_form::Menu_calendar_Click()
{
    // A position the calendar does not have (30 February) starts the
    // calendar on the month's last day.
    const Panel_date& d = session.Diary_date();
    const QDate first(d.year, d.month, 1);
    const QDate start =
        d.Calendar_date().isValid() ? d.Calendar_date() : first.addMonths(1).addDays(-1);
    Calendar_window window(Host(), session.Store(), start);
    if (platform.Run_modal(window) == QDialog::Accepted)
        Go_to_diary_day(Panel_date::Of(window.Chosen()));
}

void Main_form::Put_caret_at_end()
{
    Text2->setFocus();
    Text2->moveCursor(QTextCursor::End);
}
