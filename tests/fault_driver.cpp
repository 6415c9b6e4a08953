// Runs the real main window offscreen on a program folder, with a scripted
// platform, through a save-heavy day of use, for the fault campaign
// (scripts/faults) and tests/test_faults.cpp:
//
//   fault_driver <program folder> <yyyy-mm-dd> [scenario|heavy <rounds>|view]
//
// scenario: start (settings, the hand-over of tomorrow's message, the
//   reference year's folder), write today, step to a neighbouring day and
//   write it, come back and write today again, step to next year (its folder
//   and index are made by the save), come back, write tomorrow's message
//   through 明日へ, write today once more and end through the close button.
// heavy: start, then <rounds> rounds of writing today and the neighbouring
//   day (different words each round), then the close.
// view: start, look at both panels' days, and end without typing.
// chars: start, write today with characters code page 932 cannot hold
//   (Chars_text, Chars_memo), step to the neighbouring day (the save) and
//   end.
// type <text|memo|tomorrow|question>: start with the recovery record kept,
//   type Typed_text into today's text (text), Typed_memo into the memo with
//   思い出 ticked (memo), or Typed_message into 明日へ (tomorrow), key by
//   key; composed: Typed_composed committed by an input method into the
//   text, and the next word left composing; question: type the text, let another program rewrite today's file,
//   and step to the next day, whose save asks. Then "TYPED" (or "QUESTION")
//   is printed at once, and the program waits, window or question open,
//   until it is killed.
// recover <yes|no|later>: start with the recovery record kept, answer its
//   offer so, and end.
//
// The scripted user answers as a careful user would: an OK box is closed; a
// save that failed is tried once more, and when it fails again the edit is
// given up (the text put back as loaded) so that the scenario can go on; a
// save that could not keep the version it replaces in the history is not
// made without it ("no"), and at the end that edit is given up too; the
// question at the end is answered "no" (back to the text) once, then "yes"
// (the day goes to the rescue file). 明日へ: 終了 twice, then the window is
// closed without saving.
//
// Output, one record per line (written at the end, in one go):
//   BOX <icon>/<buttons> <text, line breaks as " | ">
//   STEP <name>                     after each step
//   FILE <name> <relative path> <sha1> <size>   with SORANE_FAULT_SNAPSHOTS=1
//   STUCK <date>                    a move that did not happen after a retry
//   DONE ended=<0|1>

#include "app/main_form.h"
#include "app/recovery_control.h"
#include "dialogs/f_tomorrow.h"
#include "dialogs/f_yesterday.h"
#include "platform/clock.h"
#include "support/main_form_probe.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cstdio>
#include <unistd.h>

namespace {

QByteArray output;

void Out(const QString& line)
{
    output += line.toUtf8();
    output += '\n';
}

void Flush_output();

// The text, memo and message the typing modes type; characters code page
// 932 cannot hold among them.
const QString Typed_text = QStringLiteral("絵文字😀と𠮷野家とcafé\n二行目");
const QString Typed_memo = QStringLiteral("誕生日🎂");
const QString Typed_message = QStringLiteral("明日のわたしへ🎂\n元気で");
const QString Typed_composed = QStringLiteral("今日😀");

// Says so at once, and waits to be killed with whatever is open.
[[noreturn]] void Wait_for_the_kill(const QString& line)
{
    Out(line);
    Flush_output();
    for (;;) {
        QEventLoop loop;
        loop.exec();
    }
}

// Types the text into the field key by key, as the keyboard would.
void Type_keys(QWidget* field, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
        const QString key = pair ? text.mid(i, 2) : text.mid(i, 1);
        i += pair ? 1 : 0;
        const bool line_break = key == QLatin1String("\n");
        const int code = line_break ? Qt::Key_Return : Qt::Key_unknown;
        const QString typed = line_break ? QStringLiteral("\r") : key;
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, typed);
        QCoreApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, typed);
        QCoreApplication::sendEvent(field, &release);
        QCoreApplication::processEvents();
    }
}

void Flush_output()
{
    const char* data = output.constData();
    qsizetype left = output.size();
    while (left > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, size_t(left));
        if (n <= 0)
            return;
        data += n;
        left -= n;
    }
    output.clear();
}

class Driver_platform final : public Platform, public Clock {
public:
    QDateTime now;
    quint64 tick = 0;
    int rescue_questions = 0;
    // The answer to the offer of an earlier run's recovery record.
    Answer offer_answer = Answer::Cancel;
    // type question: the save's question stays open until the kill.
    bool hold_question = false;
    // type tomorrow: 明日へ stays open, its message typed, until the kill.
    bool hold_tomorrow = false;
    // The typing modes: each box is printed at once, before the kill.
    bool flush_boxes = false;
    int failure_boxes = 0;
    bool hand_over_failed = false;

    Answer Message_box(const QString& text, const QString& title, Icon icon,
                       Buttons buttons) override
    {
        Q_UNUSED(title);
        QString flat = text;
        flat.replace(QLatin1Char('\n'), QStringLiteral(" | "));
        Out(QStringLiteral("BOX %1/%2 %3").arg(int(icon)).arg(int(buttons)).arg(flat));
        if (flush_boxes)
            Flush_output();
        if (text.contains(QStringLiteral("ファイル: ")))
            ++failure_boxes;
        if (text.startsWith(QStringLiteral("前回、保存する前に")))
            return offer_answer;
        if (hold_question && buttons == Buttons::Yes_no_cancel)
            Wait_for_the_kill(QStringLiteral("QUESTION"));
        // Told that the message files were left as they were: a careful user
        // does not write over tomorrow's message that was not handed over.
        if (text.contains(QStringLiteral("受け渡")))
            hand_over_failed = true;
        switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::Ok_cancel: return Answer::Cancel;
        case Buttons::Retry_cancel: return Answer::Cancel;
        case Buttons::Yes_no_cancel: return Answer::No;  // 明日へ closed without saving
        case Buttons::Yes_no_default_no: return Answer::No;
        case Buttons::Yes_no:
            if (text.contains(QStringLiteral("このまま終了しますか")))
                return ++rescue_questions == 1 ? Answer::No : Answer::Yes;
            // The version a save would replace could not go to the history:
            // a careful user does not give it up, and goes back to the text.
            if (text.contains(QStringLiteral("履歴に残さずに保存します")))
                return Answer::No;
            return Answer::Yes;  // substitutes for characters (never typed here)
        }
        return Answer::Ok;
    }
    void Beep() override {}
    bool Open_with_default_program(const QString&) override { return false; }
    std::unique_ptr<Busy_guard> Busy_pointer() override { return std::make_unique<Busy_guard>(); }
    void Process_events_once() override { QCoreApplication::processEvents(); }
    int Run_modal(QDialog& dialog) override
    {
        bool finished = false;
        QObject::connect(&dialog, &QDialog::finished, &dialog, [&finished] { finished = true; });
        if (auto* greeting = qobject_cast<F_yesterday*>(&dialog)) {
            Out(QStringLiteral("GREETING %1").arg(Hash(greeting->Text1->toPlainText().toUtf8())));
            greeting->Command1->click();
        } else if (auto* typed_in = qobject_cast<F_tomorrow*>(&dialog); typed_in && hold_tomorrow) {
            Type_keys(typed_in->Text1, Typed_message);
            Wait_for_the_kill(QStringLiteral("TYPED"));
        } else if (auto* window = qobject_cast<F_tomorrow*>(&dialog)) {
            window->Text1->selectAll();
            window->Text1->insertPlainText(tomorrow_message);
            for (int i = 0; i < 2 && !finished; ++i)
                window->Command1->click();
            if (!finished)
                window->reject();
        } else {
            dialog.reject();
        }
        return dialog.result();
    }
    QSizeF Screen_size_twips() override { return {1920 * 15.0, 1080 * 15.0}; }
    void Commit_input_method() override {}
    QDateTime Now() override { return now; }
    quint64 Steady_tick() override { return ++tick; }

    static QString Hash(const QByteArray& bytes)
    {
        return QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
    }
    QString tomorrow_message;
};

class Driver {
public:
    Driver(Driver_platform& driver_platform, const QString& program_folder, QDate start_day)
        : platform(driver_platform), folder(program_folder), today(start_day)
    {
        snapshots = qgetenv("SORANE_FAULT_SNAPSHOTS") == "1";
    }

    void Snapshot(const QString& step)
    {
        Out(QStringLiteral("STEP ") + step);
        if (!snapshots)
            return;
        QStringList lines;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            const QByteArray bytes =
                file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?");
            // Index and settings files also with their bytes, so that the
            // campaign can tell a mix of old and new lines from a damaged one.
            const bool index = path.endsWith(QLatin1String("/keyword.txt")) ||
                               path.endsWith(QLatin1String("/sorane.ini"));
            lines << QStringLiteral("FILE %1 %2 %3 %4 %5")
                         .arg(step, path.mid(folder.size()), Driver_platform::Hash(bytes))
                         .arg(bytes.size())
                         .arg(index ? QString::fromLatin1(bytes.toHex()) : QStringLiteral("-"));
        }
        lines.sort();
        for (const QString& line : lines)
            Out(line);
    }

    bool Start()
    {
        form = std::make_unique<Main_form>(platform, platform, folder);
        if (!form->Form_Load())
            return false;
        form->Show_window();
        QCoreApplication::processEvents();
        return true;
    }

    // Types into the diary panel as a user would: the whole text replaced.
    void Write(const QString& text, const QString& memo, bool flag)
    {
        Controls_of(*form).Text2->setFocus();
        Controls_of(*form).Text2->selectAll();
        Controls_of(*form).Text2->insertPlainText(text);
        Controls_of(*form).Text6->selectAll();
        Controls_of(*form).Text6->insert(memo);
        Controls_of(*form).Check1->setChecked(flag);
    }

    // The panel goes back to what the files hold, which after a half-saved
    // day is the new memo with the old text.
    void Give_up_edit()
    {
        const Day_entry on_disk = form->Session().Loaded_day();
        Controls_of(*form).Text2->setPlainText(on_disk.text);
        Controls_of(*form).Text6->setText(on_disk.memo);
        Controls_of(*form).Check1->setChecked(on_disk.flag);
    }

    // Moves the diary panel with one bar; tried again once after a failed
    // save, then the edit is given up.
    void Move(QScrollBar* bar, int value)
    {
        auto at_target = [&] { return bar->value() == value; };
        bar->setValue(value);
        if (!at_target())
            bar->setValue(value);
        if (!at_target()) {
            Give_up_edit();
            bar->setValue(value);
        }
        if (!at_target())
            Out(QStringLiteral("STUCK %1/%2/%3 -> %4")
                    .arg(Controls_of(*form).Text3->text(), Controls_of(*form).Text4->text(),
                         Controls_of(*form).Text5->text())
                    .arg(value));
    }

    void Tomorrow(const QString& message)
    {
        if (platform.hand_over_failed) {
            Out(QStringLiteral("SKIP tomorrow"));
            return;
        }
        platform.tomorrow_message = message;
        Controls_of(*form).Command4->click();
    }

    void End()
    {
        for (int i = 0; i < 4 && !form->Ended(); ++i) {
            // Twice refused, the day cannot be saved as the user would have
            // it (its old version could not go to the history): the edit is
            // given up, and the ending asked again.
            if (i == 2)
                Give_up_edit();
            Controls_of(*form).Command2->click();
        }
        Out(QStringLiteral("DONE ended=%1").arg(form->Ended() ? 1 : 0));
    }

    std::unique_ptr<Main_form> form;

private:
    Driver_platform& platform;
    QString folder;
    QDate today;
    bool snapshots = false;
};

// The neighbouring day in the same month.
int Other_day(QDate d) { return d.day() < 28 ? d.day() + 1 : d.day() - 1; }

QString Day_text(int version)
{
    return QStringLiteral("晴れのち曇り。第%1版。\n散歩して、夕方に日記を書いた。\n"
                          "明日はもっと素晴らしい日になりますように。")
        .arg(version);
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: fault_driver <folder> <yyyy-mm-dd> [scenario|heavy N|view]\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QDate today = QDate::fromString(QString::fromLatin1(argv[2]), Qt::ISODate);
    const QString mode = argc > 3 ? QString::fromLatin1(argv[3]) : QStringLiteral("scenario");
    const int rounds = argc > 4 ? QString::fromLatin1(argv[4]).toInt() : 20;
    if (!today.isValid())
        return 2;

    Driver_platform platform;
    platform.now = QDateTime(today, QTime(21, 30, 0));
    Driver driver(platform, folder, today);
    // The typing modes keep the recovery record; it goes before the window.
    std::unique_ptr<Recovery_control> recovery;
    const QString part = argc > 4 ? QString::fromLatin1(argv[4]) : QString();
    if (mode == QLatin1String("recover"))
        platform.offer_answer = part == QLatin1String("yes")  ? Platform::Answer::Yes
                                : part == QLatin1String("no") ? Platform::Answer::No
                                                              : Platform::Answer::Cancel;
    driver.Snapshot(QStringLiteral("seed"));
    if (!driver.Start()) {
        Out(QStringLiteral("DONE ended=1 refused"));
        Flush_output();
        return 0;
    }
    driver.Snapshot(QStringLiteral("start"));
    Main_form& form = *driver.form;
    const int other = Other_day(today);
    if (mode == QLatin1String("type") || mode == QLatin1String("recover")) {
        recovery = std::make_unique<Recovery_control>(form);
        recovery->Offer_earlier();
    }

    if (mode == QLatin1String("chars")) {
        driver.Write(QStringLiteral("絵文字😀と𠮷野家とcafé\n二行目"), QStringLiteral("誕生日🎂"),
                     true);
        driver.Move(Controls_of(form).VScroll3, other);
        driver.Snapshot(QStringLiteral("chars"));
    } else if (mode == QLatin1String("type")) {
        platform.flush_boxes = true;
        if (part == QLatin1String("tomorrow")) {
            platform.hold_tomorrow = true;
            Controls_of(form).Command4->click();
        }
        Controls_of(form).Text2->setFocus();
        if (part == QLatin1String("memo")) {
            Type_keys(Controls_of(form).Text6, Typed_memo);
            Controls_of(form).Check1->click();
        } else if (part == QLatin1String("composed")) {
            // A word composed and committed by the input method, then the
            // next one still being composed when the kill comes.
            QInputMethodEvent composing(QStringLiteral("きょう"), {});
            QCoreApplication::sendEvent(Controls_of(form).Text2, &composing);
            QInputMethodEvent commit;
            commit.setCommitString(Typed_composed);
            QCoreApplication::sendEvent(Controls_of(form).Text2, &commit);
            QInputMethodEvent next(QStringLiteral("あした"), {});
            QCoreApplication::sendEvent(Controls_of(form).Text2, &next);
        } else {
            Type_keys(Controls_of(form).Text2, Typed_text);
        }
        if (part == QLatin1String("question")) {
            // Another program writes the day meanwhile: leaving it asks.
            QFile day(folder + QStringLiteral("%1/%2.txt")
                                   .arg(today.year())
                                   .arg(today.toString(QStringLiteral("MMdd"))));
            if (!day.open(QIODevice::WriteOnly) || day.write("Windows\r\n") != 9)
                return 2;
            day.close();
            platform.hold_question = true;
            driver.Move(Controls_of(form).VScroll3, other);
        }
        Wait_for_the_kill(QStringLiteral("TYPED"));
    } else if (mode == QLatin1String("recover")) {
        driver.Snapshot(QStringLiteral("recovered"));
    } else if (mode == QLatin1String("view")) {
        driver.Move(Controls_of(form).VScroll3, other);
        driver.Move(Controls_of(form).VScroll3, today.day());
        Controls_of(form).VScroll6->setValue(other);
        Controls_of(form).VScroll6->setValue(today.day());
        driver.Tomorrow(QString());
        driver.Snapshot(QStringLiteral("viewed"));
    } else if (mode == QLatin1String("heavy")) {
        for (int r = 1; r <= rounds; ++r) {
            driver.Write(Day_text(100 + r), QStringLiteral("第%1回").arg(r), r % 2 == 0);
            driver.Move(Controls_of(form).VScroll3, other);
            driver.Snapshot(QStringLiteral("round%1a").arg(r));
            driver.Write(Day_text(200 + r), QStringLiteral("隣の日%1").arg(r), r % 3 == 0);
            driver.Move(Controls_of(form).VScroll3, today.day());
            driver.Snapshot(QStringLiteral("round%1b").arg(r));
        }
    } else {
        driver.Write(Day_text(1), QStringLiteral("散歩"), true);
        driver.Move(Controls_of(form).VScroll3, other);
        driver.Snapshot(QStringLiteral("today"));
        driver.Write(Day_text(2), QStringLiteral("隣の日"), false);
        driver.Move(Controls_of(form).VScroll3, today.day());
        driver.Snapshot(QStringLiteral("other"));
        driver.Write(Day_text(3), QStringLiteral("散歩"), false);
        driver.Move(Controls_of(form).VScroll1, today.year() + 1);
        driver.Snapshot(QStringLiteral("today2"));
        driver.Write(Day_text(4), QStringLiteral("来年の同じ日"), true);
        driver.Move(Controls_of(form).VScroll1, today.year());
        driver.Snapshot(QStringLiteral("next_year"));
        driver.Tomorrow(QStringLiteral("明日のわたしへ。\n今日はよく歩いた。"));
        driver.Snapshot(QStringLiteral("tomorrow"));
        driver.Write(Day_text(5), QStringLiteral("散歩と読書"), true);
    }
    driver.End();
    recovery.reset();
    driver.Snapshot(QStringLiteral("end"));
    Out(QStringLiteral("FAILURE_BOXES %1").arg(platform.failure_boxes));
    Flush_output();
    return 0;
}
