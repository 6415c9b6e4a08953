// Runs the real main window offscreen on one side of a synchronised diary
// folder and settles the other versions of a day there, for
// scripts/sync-check:
//
//   sync_driver <program folder> <yyyy-mm-dd> <keep|take|merge>
//
// The window starts on the day, ファイル → ほかの版… is chosen, and the
// first version listed is settled: keep (今の日記を残す), take (この版にする)
// or merge (the other version's lines added under the current text, then
// 書き直した日記にする). Every message box is answered OK or 「はい」 and
// printed as "BOX <text>"; the window shown as "VERSIONS <names>". The
// program ends through 終了; "DONE" is printed last.

#include "app/main_form.h"
#include "dialogs/versions_window.h"
#include "platform/clock_real.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextStream>
#include <cstdio>

namespace {

class Answering_platform final : public Platform {
public:
    QString mode;
    Answer Message_box(const QString& text, const QString&, Icon, Buttons buttons) override
    {
        std::printf("BOX %s\n", qPrintable(QString(text).replace(QLatin1Char('\n'), " | ")));
        std::fflush(stdout);
        return buttons == Buttons::Yes_no || buttons == Buttons::Yes_no_cancel ? Answer::Yes
                                                                               : Answer::Ok;
    }
    void Beep() override {}
    bool Open_with_default_program(const QString&) override { return false; }
    std::unique_ptr<Busy_guard> Busy_pointer() override { return std::make_unique<Busy_guard>(); }
    void Process_events_once() override { QCoreApplication::processEvents(); }
    int Run_modal(QDialog& dialog) override
    {
        auto* versions = qobject_cast<Versions_window*>(&dialog);
        if (!versions)
            return QDialog::Rejected;
        QStringList names;
        for (int i = 0; i < versions->List1->count(); ++i)
            names.append(versions->List1->item(i)->text());
        std::printf("VERSIONS %s\n", qPrintable(names.join(QLatin1Char(' '))));
        if (mode == QLatin1String("keep")) {
            versions->Keep_button->click();
        } else if (mode == QLatin1String("take")) {
            versions->Take_button->click();
        } else {
            const QStringList mine = versions->Current_text->toPlainText().split('\n');
            QStringList merged = mine;
            for (const QString& line : versions->Other_text->toPlainText().split('\n')) {
                if (!mine.contains(line))
                    merged.append(line);
            }
            versions->Current_text->setPlainText(merged.join('\n'));
            versions->Merge_button->click();
        }
        return dialog.result();
    }
    QSizeF Screen_size_twips() override { return {1920 * 15.0, 1080 * 15.0}; }
    void Commit_input_method() override {}
};

// The real clock, on the day asked for.
class Day_clock final : public Clock {
public:
    explicit Day_clock(const QDate& on) : day(on) {}
    QDateTime Now() override { return QDateTime(day, real.Now().time()); }
    quint64 Steady_tick() override { return real.Steady_tick(); }

private:
    QDate day;
    Real_clock real;
};

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: sync_driver <folder> <yyyy-mm-dd> <keep|take|merge>\n");
        return 2;
    }
    Answering_platform platform;
    platform.mode = QString::fromLatin1(argv[3]);
    Day_clock clock(QDate::fromString(QString::fromLatin1(argv[2]), Qt::ISODate));
    QString folder = QString::fromLocal8Bit(argv[1]);
    if (!folder.endsWith('/'))
        folder += '/';
    Main_form form(platform, clock, folder);
    if (!form.Form_Load())
        return 1;
    form.Show_window();
    QAction* versions = form.findChild<QAction*>(QStringLiteral("Menu_versions"));
    QAction* end = form.findChild<QAction*>(QStringLiteral("Menu_end"));
    if (!versions || !end)
        return 1;
    versions->trigger();
    std::printf("TITLE %s\n", qPrintable(form.windowTitle()));
    end->trigger();
    std::printf("DONE\n");
    return form.Ended() ? 0 : 1;
}
