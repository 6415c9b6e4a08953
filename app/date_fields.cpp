// The date fields beside the bars take a typed year, month or day. Enter
// sets the bar beside the field, and the bar's own change handler does the
// rest: the diary panel saves the day being left, with the same questions
// as an arrow, then loads the day reached. Until Enter, the field is only
// text: the day a save writes is the session's, never the field's, and a
// field left without Enter (or with Escape) shows the panel's date again.

#include "app/main_form.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QValidator>

#include <functional>

namespace {

// Escape in a date field puts the shown date back instead of reaching the
// window.
class Date_field_keys : public QObject {
public:
    Date_field_keys(QObject* parent, std::function<void()> restore_fields)
        : QObject(parent), restore(std::move(restore_fields))
    {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            key->accept();
            return false;
        }
        restore();
        return true;
    }

private:
    std::function<void()> restore;
};

// Digits only, at most as many as the range's end has. Checked by hand: a
// regular expression would be compiled (and its matcher made) at every
// start for six fields that take a few digits.
class Digits_validator : public QValidator {
public:
    Digits_validator(qsizetype most, QObject* parent) : QValidator(parent), most_digits(most) {}

    State validate(QString& input, int&) const override
    {
        if (input.size() > most_digits)
            return Invalid;
        for (const QChar c : input)
            if (c < u'0' || c > u'9')
                return Invalid;
        return Acceptable;
    }

private:
    qsizetype most_digits;
};

}  // namespace

void Main_form::Build_date_fields()
{
    const struct {
        QLineEdit* field;
        QScrollBar* bar;
    } pairs[] = {{Text3, VScroll1}, {Text4, VScroll2}, {Text5, VScroll3},
                 {Text7, VScroll4}, {Text8, VScroll5}, {Text9, VScroll6}};
    auto* keys = new Date_field_keys(this, [this] { Show_date_fields(); });
    for (const auto& p : pairs) {
        p.field->setValidator(
            new Digits_validator(QString::number(p.bar->maximum()).size(), p.field));
        p.field->installEventFilter(keys);
        connect(p.field, &QLineEdit::returnPressed, this,
                [this, field = p.field, bar = p.bar] { Date_field_entered(field, bar); });
        // Left without Enter: what was typed goes nowhere.
        connect(p.field, &QLineEdit::editingFinished, this, [this] { Show_date_fields(); });
    }
}

void Main_form::Date_field_entered(QLineEdit* field, QScrollBar* bar)
{
    if (scroll_lock != Scroll_lock::Off || diary_moving)
        return;
    bool number = false;
    const int value = field->text().toInt(&number);
    if (!number || value < bar->minimum() || value > bar->maximum()) {
        // A number the bar does not have: nothing moves.
        platform.Beep();
        Show_date_fields();
        field->selectAll();
        return;
    }
    // The bar's change handler saves, asks and loads as an arrow's click
    // does; a save declined puts the bar back to the day shown.
    if (value != bar->value())
        bar->setValue(value);
    Show_date_fields();
}

// The fields show the days the panels hold: the diary panel's is the
// session's (its bars agree with it outside a move), the reference panel's
// its bars'.
void Main_form::Show_date_fields()
{
    if (diary_moving || scroll_lock != Scroll_lock::Off)
        return;
    const Panel_date& diary = session.Diary_date();
    const struct {
        QLineEdit* field;
        int value;
    } shown[] = {{Text3, diary.year},        {Text4, diary.month},
                 {Text5, diary.day},         {Text7, VScroll4->value()},
                 {Text8, VScroll5->value()}, {Text9, VScroll6->value()}};
    for (const auto& s : shown) {
        const QString text = QString::number(s.value);
        if (s.field->text() != text)
            s.field->setText(text);
    }
}
