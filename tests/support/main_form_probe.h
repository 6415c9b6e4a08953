#pragma once
// How tests and benchmarks reach into the main window. Its controls are
// found by their object names, as a user's tools would find them; its
// handlers and view state, which are not part of its interface, through
// the one friend the window declares for this.

#include "app/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

struct Main_form_controls {
    QPlainTextEdit* Text1;
    QPlainTextEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QLineEdit* Text6;
    QLineEdit* Text7;
    QLineEdit* Text8;
    QLineEdit* Text9;
    QScrollBar* VScroll1;
    QScrollBar* VScroll2;
    QScrollBar* VScroll3;
    QScrollBar* VScroll4;
    QScrollBar* VScroll5;
    QScrollBar* VScroll6;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QCheckBox* Check1;
    QLabel* Label1;
    QFrame* Shape1;
    QMenu* Menu_file;
    QMenu* Menu_kensaku;
    QMenu* Menu_go;
    QMenu* Menu_settei;
    QMenu* Menu_help;
    QAction* Menu_save;
    QAction* Menu_history;
    QAction* Menu_export;
    QAction* Menu_import;
    QAction* Menu_print;
    QAction* Menu_end;
    QAction* Menu_omoide;
    QAction* Menu_memo;
    QAction* Menu_fulltext;
    QAction* Menu_years;
    QAction* Menu_today;
    QAction* Menu_prev_day;
    QAction* Menu_next_day;
    QAction* Menu_calendar;
    QAction* MENU_ref_default;
    QAction* Menu_tukaikata;
    QAction* Menu_time;
    QAction* Menu_reminder;
    QAction* Menu_template;
};

namespace main_form_probe {

template <class T>
void Find(const QObject* parent, T*& control, const char* name, Qt::FindChildOptions options)
{
    control = parent ? parent->findChild<T*>(QLatin1String(name), options) : nullptr;
    if (!control)
        qFatal("the main window has no %s named %s", T::staticMetaObject.className(), name);
}

}  // namespace main_form_probe

// The controls of the form: those of its client area among the client's own
// children (a window the form owns may have controls of the same names),
// the menus and their items in the menu bar. A control that is not found
// ends the test program with its name.
inline Main_form_controls Controls_of(const Main_form& form)
{
    using main_form_probe::Find;
    const QWidget* client = form.centralWidget();
    const QMenuBar* bar = form.menuBar();
    Main_form_controls c{};
    Find(client, c.Text1, "Text1", Qt::FindDirectChildrenOnly);
    Find(client, c.Text2, "Text2", Qt::FindDirectChildrenOnly);
    Find(client, c.Text3, "Text3", Qt::FindDirectChildrenOnly);
    Find(client, c.Text4, "Text4", Qt::FindDirectChildrenOnly);
    Find(client, c.Text5, "Text5", Qt::FindDirectChildrenOnly);
    Find(client, c.Text6, "Text6", Qt::FindDirectChildrenOnly);
    Find(client, c.Text7, "Text7", Qt::FindDirectChildrenOnly);
    Find(client, c.Text8, "Text8", Qt::FindDirectChildrenOnly);
    Find(client, c.Text9, "Text9", Qt::FindDirectChildrenOnly);
    Find(client, c.VScroll1, "VScroll1", Qt::FindDirectChildrenOnly);
    Find(client, c.VScroll2, "VScroll2", Qt::FindDirectChildrenOnly);
    Find(client, c.VScroll3, "VScroll3", Qt::FindDirectChildrenOnly);
    Find(client, c.VScroll4, "VScroll4", Qt::FindDirectChildrenOnly);
    Find(client, c.VScroll5, "VScroll5", Qt::FindDirectChildrenOnly);
    Find(client, c.VScroll6, "VScroll6", Qt::FindDirectChildrenOnly);
    Find(client, c.Command1, "Command1", Qt::FindDirectChildrenOnly);
    Find(client, c.Command2, "Command2", Qt::FindDirectChildrenOnly);
    Find(client, c.Command3, "Command3", Qt::FindDirectChildrenOnly);
    Find(client, c.Command4, "Command4", Qt::FindDirectChildrenOnly);
    Find(client, c.Check1, "Check1", Qt::FindDirectChildrenOnly);
    Find(client, c.Label1, "Label1", Qt::FindDirectChildrenOnly);
    Find(client, c.Shape1, "Shape1", Qt::FindDirectChildrenOnly);
    Find(bar, c.Menu_file, "Menu_file", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_kensaku, "Menu_kensaku", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_go, "Menu_go", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_settei, "Menu_settei", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_help, "Menu_help", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_save, "Menu_save", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_history, "Menu_history", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_export, "Menu_export", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_import, "Menu_import", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_print, "Menu_print", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_end, "Menu_end", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_omoide, "Menu_omoide", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_memo, "Menu_memo", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_fulltext, "Menu_fulltext", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_years, "Menu_years", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_today, "Menu_today", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_prev_day, "Menu_prev_day", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_next_day, "Menu_next_day", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_calendar, "Menu_calendar", Qt::FindChildrenRecursively);
    Find(bar, c.MENU_ref_default, "MENU_ref_default", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_tukaikata, "Menu_tukaikata", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_time, "Menu_time", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_reminder, "Menu_reminder", Qt::FindChildrenRecursively);
    Find(bar, c.Menu_template, "Menu_template", Qt::FindChildrenRecursively);
    return c;
}

struct Main_form_probe {
    explicit Main_form_probe(Main_form& main_form)
        : form(main_form), platform(main_form.platform),
          fortune_generator(main_form.fortune_generator), scroll_lock(main_form.scroll_lock),
          f_omoide(main_form.f_omoide), f_memo(main_form.f_memo),
          years_window(main_form.years_window), reminder_places(main_form.reminder_places)
    {}

    Main_form::Save_result Save_day(Main_form::Who who = Main_form::Who::User)
    {
        return form.Save_day(who);
    }
    void Show_reference_day(int year, int month, int day)
    {
        form.Show_reference_day(year, month, day);
    }
    void Go_to_diary_day(const Panel_date& date) { form.Go_to_diary_day(date); }
    void Load_diary_day(int year, int month, int day) { form.Load_diary_day(year, month, day); }
    Twips_rect Outer_twips() const { return form.Outer_twips(); }
    double Dpi() const { return form.Dpi(); }
    void Lay_out(double w, double h) { form.Lay_out(w, h); }
    void Form_Resize() { form.Form_Resize(); }
    void Command1_Click() { form.Command1_Click(); }

    Main_form& form;
    Platform& platform;
    Fortune_generator& fortune_generator;
    using Scroll_lock = Main_form::Scroll_lock;
    Scroll_lock& scroll_lock;
    F_omoide*& f_omoide;
    F_memo*& f_memo;
    Years_window*& years_window;
    std::function<Reminder_places()>& reminder_places;
};

inline Main_form_probe Probe(Main_form& form) { return Main_form_probe(form); }
