// What helps the habit of writing every day: the time stamp, the reminder's
// setting, the new day's template and the weekdays beside the dates.

#include "app/main_form.h"

#include "dialogs/reminder_window.h"
#include "dialogs/template_window.h"
#include "platform/clock.h"
#include "store/own_settings.h"
#include "ui/io_message.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>

namespace {

bool Run_systemctl(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The user's systemd manager answers: its timers can run the reminder.
bool Systemd_user_available()
{
    if (QStandardPaths::findExecutable(QStringLiteral("systemctl")).isEmpty())
        return false;
    return Run_systemctl({QStringLiteral("show-environment")});
}

QString Config_home()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

// "（水）" for a date the calendar has; empty for one it has not (30
// February, which a diary from Windows may hold).
QString Weekday_of(const QString& year, const QString& month, const QString& day)
{
    static const char16_t* const names[] = {u"月", u"火", u"水", u"木", u"金", u"土", u"日"};
    const QDate date(year.toInt(), month.toInt(), day.toInt());
    if (!date.isValid())
        return {};
    return QStringLiteral("（%1）").arg(QString::fromUtf16(names[date.dayOfWeek() - 1]));
}

}  // namespace

void Main_form::Build_habits()
{
    Menu_time = new QAction(QStringLiteral("時刻を挿入"), Menu_file);
    Menu_time->setObjectName(QStringLiteral("Menu_time"));
    Menu_time->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Semicolon));
    Menu_time->setShortcutContext(Qt::WindowShortcut);
    Menu_file->insertAction(Menu_history, Menu_time);
    Menu_reminder = Menu_settei->addAction(QStringLiteral("お知らせ…"));
    Menu_reminder->setObjectName(QStringLiteral("Menu_reminder"));
    Menu_template = Menu_settei->addAction(QStringLiteral("新しい日のひな形…"));
    Menu_template->setObjectName(QStringLiteral("Menu_template"));
    connect(Menu_time, &QAction::triggered, this, &Main_form::Menu_time_Click);
    connect(Menu_reminder, &QAction::triggered, this, &Main_form::Menu_reminder_Click);
    connect(Menu_template, &QAction::triggered, this, &Main_form::Menu_template_Click);

    // The diary panel's weekday sits at the right end inside the memo
    // field (the row has no free room between its fixed controls); the
    // reference panel's in the gap of the bottom row before 終了.
    Label_weekday1 = new QLabel(Text6);
    Label_weekday1->setObjectName(QStringLiteral("Label_weekday1"));
    Label_weekday1->setAlignment(Qt::AlignCenter);
    Label_weekday1->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Grey, so that it is not taken for a memo's text.
    QPalette grey = Label_weekday1->palette();
    grey.setColor(QPalette::WindowText, QColor(96, 96, 96));
    Label_weekday1->setPalette(grey);
    Label_weekday2 = new QLabel(centralWidget());
    Label_weekday2->setObjectName(QStringLiteral("Label_weekday2"));
    Label_weekday2->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    Label_weekday2->setGeometry(Pixels({6795, 5820, 1125, 435}));
    QPalette blue = Text7->palette();
    Label_weekday2->setPalette(blue);
    Label_weekday2->setForegroundRole(QPalette::Text);
    Label_weekday1->setFont(Text6->font());
    Label_weekday2->setFont(Text7->font());
    const int width = Label_weekday1->fontMetrics().horizontalAdvance(QStringLiteral("（水）")) + 4;
    Label_weekday1->setFixedWidth(width);
    Text6->setTextMargins(0, 0, width, 0);
    for (QLineEdit* field : {Text3, Text4, Text5, Text7, Text8, Text9})
        connect(field, &QLineEdit::textChanged, this, &Main_form::Show_weekdays);
    Show_weekdays();

    reminder_job = std::make_unique<Background_job<Io_result>>(this);
    reminder_places = [diary = session.App_dir(),
                       program = QCoreApplication::applicationFilePath()] {
        return Reminder_places{Config_home(), program, diary,
                               Systemd_user_available()
                                   ? std::function<bool(const QStringList&)>(Run_systemctl)
                                   : std::function<bool(const QStringList&)>()};
    };
}

void Main_form::Show_weekdays()
{
    Label_weekday1->setText(Weekday_of(Text3->text(), Text4->text(), Text5->text()));
    Label_weekday2->setText(Weekday_of(Text7->text(), Text8->text(), Text9->text()));
    // The memo field's height follows the layout: the label follows it.
    Label_weekday1->setGeometry(Text6->width() - Label_weekday1->width() - 2, 0,
                                Label_weekday1->width(), Text6->height());
}

void Main_form::Menu_time_Click()
{
    if (Text2->isReadOnly() || !Text2->isEnabled())
        return;
    Text2->insertPlainText(session.Time().Now().time().toString(QStringLiteral("HH:mm")));
    Text2->setFocus();
}

void Main_form::Put_day_template()
{
    template_shown.clear();
    if (!(session.Diary_date() == Panel_date::Of(session.Today())) || !session.Day_readable() ||
        !(Current_entry() == Day_entry{}))
        return;
    const QString text = Read_own_settings(session.App_dir()).values.day_template;
    if (text.isEmpty())
        return;
    Text2->setPlainText(text);
    template_shown = Text2->toPlainText();
    Put_caret_at_end();
}

bool Main_form::Template_untouched() const
{
    return !template_shown.isEmpty() && Text2->toPlainText() == template_shown &&
           !session.Edited(Current_entry());
}

void Main_form::Menu_reminder_Click()
{
    const Own_settings_read own = Read_own_settings(session.App_dir());
    const QTime at = Reminder_time_of(own.values.reminder_time).value_or(QTime(21, 0));
    Reminder_window window(Host(), own.values.reminder_on, at);
    if (window.exec() != QDialog::Accepted)
        return;
    const bool on = window.On();
    const QTime chosen = window.At();
    // systemctl answers off the window's thread; the item waits meanwhile.
    Menu_reminder->setEnabled(false);
    const auto work = [on, chosen, places_of = reminder_places](const Job_control&) {
        const Reminder_places places = places_of();
        return on ? Install_reminder(places, chosen) : Remove_reminder(places);
    };
    reminder_job->Start(work, [this, on, chosen](Io_result done) {
        Menu_reminder->setEnabled(true);
        if (!done.Ok()) {
            Show_failure(on ? QStringLiteral("お知らせの予定を登録できませんでした。")
                            : QStringLiteral("お知らせの予定を取り消せませんでした。"),
                         done);
            return;
        }
        const Io_result kept = Change_own_settings(session.App_dir(), [&](Own_settings& values) {
            values.reminder_on = on;
            values.reminder_time = chosen.toString(QStringLiteral("HH:mm"));
        });
        if (!kept.Ok())
            Show_failure(QStringLiteral("お知らせの設定を保存できませんでした。"), kept);
    });
}

void Main_form::Menu_template_Click()
{
    const Own_settings_read own = Read_own_settings(session.App_dir());
    if (!own.result.Ok()) {
        Show_failure(QStringLiteral("設定ファイルを読み込めませんでした。"), own.result);
        return;
    }
    Template_window window(Host(), own.values.day_template);
    if (window.exec() != QDialog::Accepted)
        return;
    const QString text = window.Text();
    const Io_result kept = Change_own_settings(
        session.App_dir(), [&text](Own_settings& values) { values.day_template = text; });
    if (!kept.Ok()) {
        Show_failure(QStringLiteral("ひな形を保存できませんでした。"), kept);
        return;
    }
    // An untouched panel on today is read again, so that an empty day
    // shows the new template at once.
    if (!session.Edited(Current_entry()) && session.Diary_date() == Panel_date::Of(session.Today()))
        Load_diary_position();
}
