// Moving the two panels between days. The diary panel's bars save the day
// being left and load the day reached; the reference panel's bars only load
// the reference text, which refuses every typed character.

#include "app/main_form.h"
#include "ui/spinner.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollBar>

#include <algorithm>

namespace {

const QString Read_only_message = QStringLiteral("こちらは参照専用です。");

// The character a key press types, or 0 when it types none. Control
// characters count (Backspace, Enter, Escape, Ctrl+letter); Tab is left to
// move the focus, and Delete types nothing. Copying and selecting all
// (Ctrl+C, Ctrl+Insert, Ctrl+A) change no text and are left to the field.
char32_t Typed_character(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers mods = key.modifiers();
    if (mods & (Qt::AltModifier | Qt::MetaModifier))
        return 0;
    if (key.matches(QKeySequence::Copy) || key.matches(QKeySequence::SelectAll))
        return 0;
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete: return 0;
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Escape: return 0x1B;
    default: break;
    }
    if ((mods & Qt::ControlModifier) && key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z)
        return char32_t(key.key() - Qt::Key_A + 1);
    const QList<uint> code = key.text().toUcs4();
    if (code.isEmpty() || code.front() == 0x7F)
        return 0;
    return code.front();
}

// Stops an arrow's auto-repeat. A message box shown while the arrow is held
// takes the mouse release, and the bar would otherwise go on stepping once
// the box is closed.
void Stop_repeat(QScrollBar* bar)
{
    bar->setEnabled(false);
    bar->setEnabled(true);
}

// Holds back every input-method event of the application while it lives.
class Input_method_hold : public QObject {
public:
    Input_method_hold() { QCoreApplication::instance()->installEventFilter(this); }
    ~Input_method_hold() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::InputMethod;
    }
};

}  // namespace

// Watches the main window and its text fields for what the widgets
// themselves do not report: keys typed into the reference text, text
// composed in an input method, and modal windows opening over the window.
class Navigation_filter : public QObject {
public:
    explicit Navigation_filter(Main_form& main_form) : QObject(&main_form), form(main_form) {}

    // Puts the text being composed in the field into it, exactly as the
    // field shows it and once. The input method is asked to finish and
    // forget its composition, so that the next key does not go on with it;
    // what it sends back meanwhile goes nowhere, since a frontend may
    // deliver its commit twice, or to whatever has the focus now. An input
    // method that answers later with the same text once more has that copy
    // held back too (see eventFilter).
    void Commit(QWidget* field)
    {
        const QString composed = preedit.take(field);
        if (composed.isEmpty())
            return;
        {
            Input_method_hold hold;
            form.platform.Commit_input_method();
        }
        QInputMethodEvent commit;
        commit.setCommitString(composed);
        QCoreApplication::sendEvent(field, &commit);
        preedit.remove(field);
        late_copy = {field, composed};
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &form) {
            if (event->type() == QEvent::WindowBlocked)
                ++form.blocked_count;
            return false;
        }
        if (watched == form.Text1)
            return Reference_event(event);
        if (watched == form.Text2 && Typed_tab(event))
            return true;
        if (event->type() == QEvent::InputMethod) {
            auto* im = static_cast<QInputMethodEvent*>(event);
            if (Late_copy(watched, *im))
                return true;
            // The composition shown after this event; a commit string in the
            // same event has already gone into the field.
            preedit.insert(static_cast<QWidget*>(watched), im->preeditString());
        }
        return false;
    }

private:
    // The input method's own commit, after the field's composition was put
    // into it by Commit: the first event of the field that shows or commits
    // anything decides. The very text committed, with nothing composed, is
    // that composition once more and is held back; anything else is the
    // user's next word and ends the watch.
    bool Late_copy(QObject* watched, const QInputMethodEvent& im)
    {
        if (watched != late_copy.field || late_copy.text.isEmpty())
            return false;
        if (im.commitString().isEmpty() && im.preeditString().isEmpty())
            return false;
        const bool copy = im.commitString() == late_copy.text && im.preeditString().isEmpty();
        late_copy = {};
        return copy;
    }

    // Tab and Shift+Tab move the focus out of the diary text, as in any
    // other field; Ctrl+Tab types a tab character into it.
    bool Typed_tab(QEvent* event)
    {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab || key->modifiers() != Qt::ControlModifier)
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            key->accept();
            return false;
        }
        form.Text2->insertPlainText(QStringLiteral("\t"));
        return true;
    }

    // A key one of the main window's menu items answers to.
    bool Menu_key(const QKeyEvent& key) const
    {
        const QKeySequence pressed(key.keyCombination());
        const QList<QAction*> actions = form.findChildren<QAction*>();
        return std::any_of(actions.begin(), actions.end(), [&](const QAction* action) {
            return action->isEnabled() && action->shortcuts().contains(pressed);
        });
    }

    bool Reference_event(QEvent* event)
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // A typed character must reach the key handler, not a shortcut;
            // a menu's own key (Ctrl+F, Ctrl+H, ...) opens its window.
            auto* key = static_cast<QKeyEvent*>(event);
            if (Typed_character(*key) != 0 && !Menu_key(*key)) {
                key->accept();
                return true;
            }
            return false;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            char32_t code = Typed_character(*key);
            if (code == 0 || Menu_key(*key))
                return false;  // the read-only field moves or selects, never edits
            form.Text1_KeyPress(code);
            return code == 0;
        }
        case QEvent::InputMethod: return true;
        default: return false;
        }
    }

    Main_form& form;
    QHash<QWidget*, QString> preedit;
    struct {
        QObject* field = nullptr;
        QString text;
    } late_copy;
};

void Main_form::Build_navigation()
{
    navigation_filter = new Navigation_filter(*this);
    installEventFilter(navigation_filter);
    Text1->installEventFilter(navigation_filter);
    Text2->installEventFilter(navigation_filter);
    Text6->installEventFilter(navigation_filter);

    Build_date_fields();
    // The reference text is read-only: paste, cut, Delete, drops, the
    // context menu and input methods cannot change it.
    Text1->setReadOnly(true);
    Text2->setTabChangesFocus(true);

    for (QScrollBar* bar : {VScroll1, VScroll2, VScroll3, VScroll4, VScroll5, VScroll6})
        Make_spinner(bar);

    connect(VScroll1, &QScrollBar::valueChanged, this, &Main_form::VScroll1_Change);
    connect(VScroll2, &QScrollBar::valueChanged, this, &Main_form::VScroll2_Change);
    connect(VScroll3, &QScrollBar::valueChanged, this, &Main_form::VScroll3_Change);
    connect(VScroll4, &QScrollBar::valueChanged, this, &Main_form::VScroll4_Change);
    connect(VScroll5, &QScrollBar::valueChanged, this, &Main_form::VScroll5_Change);
    connect(VScroll6, &QScrollBar::valueChanged, this, &Main_form::VScroll6_Change);
}

void Main_form::VScroll1_Change() { Diary_bar_change(VScroll1, Text3); }
void Main_form::VScroll2_Change() { Diary_bar_change(VScroll2, Text4); }
void Main_form::VScroll3_Change() { Diary_bar_change(VScroll3, Text5); }
void Main_form::VScroll4_Change() { Reference_bar_change(VScroll4, Text7); }
void Main_form::VScroll5_Change() { Reference_bar_change(VScroll5, Text8); }
void Main_form::VScroll6_Change() { Reference_bar_change(VScroll6, Text9); }

void Main_form::Stop_navigation()
{
    if (!navigation_filter)
        return;
    for (QObject* watched : std::initializer_list<QObject*>{this, Text1, Text2, Text6})
        watched->removeEventFilter(navigation_filter);
}

void Main_form::Commit_composition()
{
    navigation_filter->Commit(Text2);
    navigation_filter->Commit(Text6);
}

void Main_form::Diary_bar_change(QScrollBar* bar, QLineEdit* field)
{
    if (scroll_lock != Scroll_lock::Off)
        return;
    if (diary_moving) {
        // A change that comes while another is handled (an arrow repeating
        // behind a message box): the bars are put back to the day shown
        // when that handling ends.
        Stop_repeat(bar);
        return;
    }
    // The day this change asks for. Whatever moves the bars while the day
    // left is saved (an arrow repeating while a question is open) is
    // undone below: one change, one day.
    Move_diary_panel({VScroll1->value(), VScroll2->value(), VScroll3->value()}, bar, field);
}

void Main_form::Move_diary_panel(const Panel_date& asked, QScrollBar* bar, QLineEdit* field)
{
    diary_moving = true;
    const int blocked_before = blocked_count;
    const QPointer<QScrollBar> guarded_bar(bar);
    const auto done = qScopeGuard([this, blocked_before, guarded_bar] {
        diary_moving = false;
        if (blocked_count != blocked_before && guarded_bar)
            Stop_repeat(guarded_bar);
    });

    // The day being left, under the date still shown in Text3..Text5.
    const Save_result saved = Save_day(Who::User);
    if (ended)
        return;
    if (saved == Save_result::Failed || saved == Save_result::Declined) {
        // Not written: the panel stays on that day with what the user wrote,
        // and the bar goes back to the date shown.
        Put_diary_bars_back();
        if (bar)
            Stop_repeat(bar);
        return;
    }
    if (asked != Panel_date{VScroll1->value(), VScroll2->value(), VScroll3->value()}) {
        if (bar)
            Stop_repeat(bar);
        Set_diary_bars(asked);
    }
    if (field)
        field->setText(QString::number(bar->value()));
    Load_diary_position();
    Put_diary_bars_back();
    Follow_diary_day();
}

// The fields take the bars' values (only the changed one differs), then the
// day at the bars is loaded.
void Main_form::Load_diary_position()
{
    const struct {
        QScrollBar* bar;
        QLineEdit* field;
    } pairs[] = {{VScroll1, Text3}, {VScroll2, Text4}, {VScroll3, Text5}};
    for (const auto& p : pairs) {
        const QString shown = QString::number(p.bar->value());
        if (p.field->text() != shown)
            p.field->setText(shown);
    }
    const Panel_date date{VScroll1->value(), VScroll2->value(), VScroll3->value()};
    if (!Diary_store::Folder_exists(session.Store().Year_folder(date.year))) {
        // No year folder: an empty day. Nothing is created by looking.
        session.Load_empty_day(date);
        Show_entry(session.Loaded_day());
        Put_day_template();
        session.Day_shown(Current_entry());
        Text2->document()->setModified(false);
        return;
    }
    Load_diary_day(date.year, date.month, date.day);
}

void Main_form::Show_changes_on_disk()
{
    // Not in the middle of a save, a move or a question, and never before
    // start-up has shown a day.
    if (ended || diary_moving || in_query || scroll_lock != Scroll_lock::Off ||
        QApplication::activeModalWidget())
        return;
    if (!session.Edited(Current_entry()) && session.Diary_day_changed_on_disk()) {
        const Panel_date& d = session.Diary_date();
        Load_diary_day(d.year, d.month, d.day);
    } else {
        Show_other_versions();
    }
    Diary_session::Day_read read;
    const QString reference = session.Load_reference_text(read);
    // A reference day that cannot be read now keeps what it showed; the
    // next move of its bars tells why.
    if (read.text_error.Ok() && reference != Text1->toPlainText())
        Text1->setPlainText(reference);
}

// The bars agree with the day shown again; no handler runs.
void Main_form::Put_diary_bars_back() { Set_diary_bars(session.Diary_date()); }

void Main_form::Set_diary_bars(const Panel_date& date)
{
    const Scroll_lock lock = scroll_lock;
    scroll_lock = Scroll_lock::On;
    VScroll1->setValue(date.year);
    VScroll2->setValue(date.month);
    VScroll3->setValue(date.day);
    scroll_lock = lock;
}

void Main_form::Reference_bar_change(QScrollBar* bar, QLineEdit* field)
{
    if (scroll_lock != Scroll_lock::Off)
        return;
    const int blocked_before = blocked_count;
    field->setText(QString::number(bar->value()));
    const Panel_date date{VScroll4->value(), VScroll5->value(), VScroll6->value()};
    session.Set_reference_date(date);
    if (!Diary_store::Folder_exists(session.Store().Year_folder(date.year)))
        Text1->clear();
    else
        Load_reference_text();
    if (blocked_count != blocked_before)
        Stop_repeat(bar);
}

void Main_form::Show_reference_day(int year, int month, int day)
{
    const Panel_date date = Panel_date{year, month, day}.Clamped();
    VScroll4->setValue(date.year);
    VScroll5->setValue(date.month);
    VScroll6->setValue(date.day);
}

void Main_form::Text1_KeyPress(char32_t& key_code)
{
    key_code = 0;
    platform.Message_box(Read_only_message, App_title, Platform::Icon::None, Platform::Buttons::Ok);
}
