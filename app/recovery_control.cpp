#include "app/recovery_control.h"

#include "app/main_form.h"
#include "dialogs/f_tomorrow.h"
#include "platform/clock.h"
#include "store/exact_text.h"
#include "ui/io_message.h"

#include <QCheckBox>
#include <QChildEvent>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

namespace {

// Changes that keep coming are still written this long after the first.
constexpr qint64 Longest_wait_ms = 10000;

// The first lines of a text, each cut short, for a question.
QString First_lines(const QString& text)
{
    constexpr int Lines = 3;
    constexpr int Width = 40;
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString out;
    for (int i = 0; i < lines.size() && i < Lines; ++i) {
        QString line = lines[i];
        if (line.size() > Width)
            line = line.left(Width) + QStringLiteral("…");
        out += QStringLiteral("　") + line + QLatin1Char('\n');
    }
    if (lines.size() > Lines)
        out += QStringLiteral("　…\n");
    return out;
}

}  // namespace

QString Recovery_question(const Recovery_record& record)
{
    QString text = QStringLiteral("前回、保存する前に終わってしまった日記が残っています。\n"
                                  "（%1年%2月%3日 %4時%5分の記録）\n\n")
                       .arg(record.written.date().year())
                       .arg(record.written.date().month())
                       .arg(record.written.date().day())
                       .arg(record.written.time().hour())
                       .arg(record.written.time().minute(), 2, 10, QLatin1Char('0'));
    if (record.date) {
        QStringList extras;
        if (record.day.flag)
            extras << QStringLiteral("思い出");
        if (!record.day.memo.isEmpty())
            extras << QStringLiteral("メモ「%1」").arg(record.day.memo);
        text += QStringLiteral("%1年%2月%3日の日記%4：\n")
                    .arg(record.date->year)
                    .arg(record.date->month)
                    .arg(record.date->day)
                    .arg(extras.isEmpty()
                             ? QString()
                             : QStringLiteral("（%1）").arg(extras.join(QStringLiteral("・"))));
        text += record.day.text.isEmpty() ? QStringLiteral("　（本文なし）\n")
                                          : First_lines(record.day.text);
    }
    // An emptied message: putting it back withdraws the one in the files.
    if (record.message)
        text += QStringLiteral("明日へのメッセージ：\n") +
                (record.message->isEmpty() ? QStringLiteral("　（空にしたメッセージ）\n")
                                           : First_lines(*record.message));
    return text +
           QStringLiteral("\n「はい」：日記に戻して保存します。それまでの日記は履歴に残ります。\n"
                          "「いいえ」：戻さずに、ファイルに書き出します。\n"
                          "「キャンセル」：いまは決めません。次に起動したときに、もう一度お知らせ"
                          "します。");
}

Recovery_control::Recovery_control(Main_form& main_form, const QString& folder)
    : form(main_form.For_recovery()),
      files(form.session.App_dir(), form.session.Time().Now(), folder),
      writer(files.Own_path(), [this](const Io_result& result) {
          // Queued to this object: dropped once it is gone.
          QMetaObject::invokeMethod(
              this, [this, result] { Written(result); }, Qt::QueuedConnection);
      })
{
    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &Recovery_control::Record_now);
    connect(form.Text2, &QPlainTextEdit::textChanged, this, &Recovery_control::Changed);
    connect(form.Text6, &QLineEdit::textChanged, this, &Recovery_control::Changed);
    connect(form.Check1, &QCheckBox::toggled, this, &Recovery_control::Changed);
    // A save that changes no field (保存, the endings) leaves the record
    // with nothing to keep.
    connect(form.Menu_save, &QAction::triggered, this, &Recovery_control::Record_now);
    connect(&main_form, &Main_form::Program_ended, this, &Recovery_control::Record_now);
    // The window's own events only: its focus, and the 明日へ window made
    // as its child.
    form.window->installEventFilter(this);
    last_date = form.session.Diary_date();
}

Recovery_control::~Recovery_control()
{
    form.window->removeEventFilter(this);
    Record_now();
    writer.Wait();
}

bool Recovery_control::eventFilter(QObject* object, QEvent* event)
{
    if (object != form.window)
        return false;
    switch (event->type()) {
    case QEvent::WindowDeactivate:
        // A question, another window or another program takes the focus:
        // what is typed is put on disk now.
        if (timer->isActive()) {
            timer->stop();
            Record_now();
        }
        break;
    case QEvent::ChildPolished:
        if (auto* window = qobject_cast<F_tomorrow*>(static_cast<QChildEvent*>(event)->child());
            window && window != watched) {
            watched = window;
            connect(window->Text1, &QPlainTextEdit::textChanged, this, &Recovery_control::Changed);
        }
        break;
    case QEvent::ChildRemoved:
        // 明日へ has closed (its guard is already cleared while it is being
        // destroyed): its message is saved, or given up with the user's word.
        Changed();
        break;
    default: break;
    }
    return false;
}

void Recovery_control::Changed()
{
    if (!timer->isActive())
        first_change.start();
    // Another day in the panel: the day left was saved, and a record that
    // holds it has nothing left to keep.
    if (form.session.Diary_date() != last_date) {
        timer->start(0);
        return;
    }
    const qint64 left = Longest_wait_ms - first_change.elapsed();
    timer->start(int(std::clamp<qint64>(left, 0, delay_ms)));
}

Recovery_record Recovery_control::Current() const
{
    Recovery_record record;
    record.folder = form.session.App_dir();
    const Day_entry now{form.Text2->toPlainText(), form.Text6->text(), form.Check1->isChecked()};
    if (form.session.Edited(now)) {
        record.date = form.session.Diary_date();
        record.day = now;
    }
    if (form.f_tomorrow && form.f_tomorrow->Message_unsaved())
        record.message = form.f_tomorrow->Message();
    return record;
}

void Recovery_control::Record_now()
{
    timer->stop();
    last_date = form.session.Diary_date();
    Recovery_record record = Current();
    if (record.Empty()) {
        if (on_disk)
            writer.Post_remove();
        on_disk = false;
        last_posted.reset();
        return;
    }
    if (last_posted && *last_posted == record)
        return;
    last_posted = record;
    record.written = form.session.Time().Now();
    writer.Post_write(Recovery_bytes(record));
    on_disk = true;
}

void Recovery_control::Written(const Io_result& result)
{
    // Told once a run: a full disk would otherwise ask after every pause in
    // the typing. The next write tries again.
    if (result.Ok() || result.step == Io_step::Sync_folder)
        return;
    // A failed write leaves whatever was there: the next change writes anew.
    last_posted.reset();
    if (failure_told)
        return;
    failure_told = true;
    Show_failure(form.platform,
                 QStringLiteral("書きかけの日記を、復元用の記録に書けませんでした。"), result,
                 QStringLiteral("日記は、いつものように保存できます。"));
}

Recovery_record Recovery_control::Not_on_disk(const Recovery_record& record)
{
    Recovery_record left = record;
    if (record.date) {
        const Exact_day now = Read_exact_day(form.session.Store(), record.date->year,
                                             record.date->month, record.date->day);
        if (now.index_error.Ok() && now.text_error.Ok() &&
            Day_entry{now.text, now.memo, now.flag} == record.day)
            left.date.reset();
    }
    if (record.message) {
        const Text_read now = Read_exact_text_file(form.session.Store().Tomorrow_path());
        if (now.result.Ok() && now.text == *record.message)
            left.message.reset();
    }
    return left;
}

void Recovery_control::Offer_earlier()
{
    for (const QString& path : files.Earlier()) {
        if (form.Ended())
            return;
        Offer(path);
    }
}

void Recovery_control::Offer(const QString& path)
{
    std::optional<Recovery_record> found;
    if (const Io_result read = Recovery_files::Read(path, found); !read.Ok()) {
        Show_failure(form.platform,
                     QStringLiteral("前回の書きかけの日記の記録を読めませんでした。"), read,
                     QStringLiteral("記録はそのまま残します。"));
        return;
    }
    if (!found) {
        form.platform.Message_box(
            QStringLiteral("前回の書きかけの日記の記録「%1」は、読み取れない形になっています。\n"
                           "記録はそのまま残します。")
                .arg(path),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        return;
    }
    // What the files hold already needs no asking: a save that came after
    // the record's last write.
    const Recovery_record record = Not_on_disk(*found);
    if (record.Empty()) {
        Recovery_files::Remove(path);
        return;
    }
    const Platform::Answer answer =
        form.platform.Message_box(Recovery_question(record), App_title, Platform::Icon::Question,
                                  Platform::Buttons::Yes_no_cancel);
    if (form.Ended())
        return;
    bool done = false;
    if (answer == Platform::Answer::Yes)
        done = Put_back(record);
    else if (answer == Platform::Answer::No)
        done = Keep_aside(record);
    // Dropped only once all of it is in the diary or in a file.
    if (done)
        Recovery_files::Remove(path);
}

bool Recovery_control::Put_back(const Recovery_record& record)
{
    bool done = true;
    if (record.date) {
        form.Go_to_diary_day(*record.date);
        if (form.Ended() || form.session.Diary_date() != *record.date)
            return false;
        form.Check1->setChecked(record.day.flag);
        form.Text6->setText(record.day.memo);
        form.Text2->setPlainText(record.day.text);
        form.Text2->moveCursor(QTextCursor::End);
        // The normal save: the version replaced goes to the history, a day
        // changed elsewhere asks, a failure is told.
        const Diary_session::Save_result saved = form.Save_day(Diary_session::Who::User);
        done = saved == Diary_session::Save_result::Saved ||
               saved == Diary_session::Save_result::Unchanged;
    }
    if (record.message) {
        const Diary_session::Message_save saved =
            form.session.Save_message_without_user(*record.message);
        if (!saved.rescue_path.isEmpty()) {
            form.platform.Message_box(
                Io_message(QStringLiteral("明日へのメッセージを保存できませんでした。"),
                           saved.result) +
                    QStringLiteral("\nメッセージは「%1」に書き出しました。").arg(saved.rescue_path),
                App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        } else if (!saved.result.Ok() && saved.result.step != Io_step::Sync_folder) {
            Show_failure(form.platform,
                         QStringLiteral("明日へのメッセージを保存できませんでした。"), saved.result,
                         QStringLiteral("記録はそのまま残します。"));
            done = false;
        }
    }
    return done;
}

bool Recovery_control::Keep_aside(const Recovery_record& record)
{
    // The day's date is the record's own, not the panel's: the text reads
    // as the rescue files of an ending do.
    QString text =
        QStringLiteral("%1 の書きかけの日記です（%2 の記録）。\n")
            .arg(App_title, record.written.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
    if (record.date)
        text += QStringLiteral("日付: %1\n思い出: %2\nメモ: %3\n本文:\n%4\n")
                    .arg(record.date->Key(),
                         record.day.flag ? QStringLiteral("あり") : QStringLiteral("なし"),
                         record.day.memo, record.day.text);
    if (record.message)
        text += QStringLiteral("明日へのメッセージ:\n%1\n").arg(*record.message);
    // The program folder, as for every rescue file; when it takes no file,
    // the folder of the records.
    QString path = form.session.New_rescue_path();
    Io_result written = Recovery_files::Write(path, text.toUtf8());
    if (!written.Ok() && written.step != Io_step::Sync_folder) {
        path = QFileInfo(Own_path()).absolutePath() + QLatin1Char('/') + QFileInfo(path).fileName();
        written = Recovery_files::Write(path, text.toUtf8());
    }
    if (!written.Ok() && written.step != Io_step::Sync_folder) {
        Show_failure(form.platform,
                     QStringLiteral("書きかけの日記をファイルに書き出せませんでした。"), written,
                     QStringLiteral("記録はそのまま残します。"));
        return false;
    }
    form.platform.Message_box(
        QStringLiteral("書きかけの日記を「%1」に書き出しました。\n日記の画面は、いまのままです。")
            .arg(path),
        App_title, Platform::Icon::Information, Platform::Buttons::Ok);
    return true;
}
