// What the two panels show: a day from the session into the fields, the
// fields back into a day for a save, and the failures of a read.

#include "app/main_form.h"

#include "app/photo_control.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

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
    Put_day_template();
    session.Day_shown(Current_entry());
    Text2->document()->setModified(false);
    Show_other_versions();
    if (photos)
        photos->Diary_day_shown();
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
    Watch_diary_folders();
}

void Main_form::Load_reference_text()
{
    Diary_session::Day_read read;
    Text1->setPlainText(session.Load_reference_text(read));
    if (photos)
        photos->Reference_day_shown();
    Tell_day_read(read, QStringLiteral("参照する日記を読み込めませんでした。"), QString());
}
