#include "dialogs/print_window.h"

#include "platform/app_title.h"
#include "platform/background_job.h"
#include "platform/platform.h"
#include "store/lock.h"
#include "store/store.h"
#include "ui/date_range.h"
#include "ui/look.h"
#include "ui/print_document.h"
#include "ui/print_module.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

int Number_of(const Panel_date& day) { return day.year * 10000 + day.month * 100 + day.day; }

// Above this many days the print asks before it lays them out.
constexpr int Many_days = 366;

}  // namespace

Print_window::Print_window(const Dialog_host& main_host, const QString& app_dir,
                           const Panel_date& day)
    : QDialog(main_host.window), host(main_host), diary_dir(app_dir), panel_day(day)
{
    setWindowTitle(QStringLiteral("印刷"));
    setFont(Diary_font());
    This_day = new QRadioButton(
        QStringLiteral("この日（%1年%2月%3日）").arg(day.year).arg(day.month).arg(day.day), this);
    This_day->setObjectName(QStringLiteral("This_day"));
    This_day->setChecked(true);
    Range = new QRadioButton(QStringLiteral("期間"), this);
    Range->setObjectName(QStringLiteral("Range"));
    // The range starts at the panel's day; a day the calendar lacks starts
    // it at the first of its month.
    const QDate date =
        day.Calendar_date().isValid() ? day.Calendar_date() : QDate(day.year, day.month, 1);
    const Date_range_row range = Make_date_range_row(*this, Range, date, date);
    From = range.from;
    To = range.to;
    Preview = new QPushButton(QStringLiteral("印刷プレビュー…"), this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setDefault(true);
    Close = new QPushButton(QStringLiteral("閉じる"), this);
    Close->setObjectName(QStringLiteral("Close"));

    auto* note = new QLabel(QStringLiteral("プレビューで確かめてから印刷します。"
                                           "印刷の画面では PDF ファイルにも書き出せます。"),
                            this);
    note->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Preview);
    buttons->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(This_day);
    layout->addLayout(range.layout);
    layout->addWidget(note);
    layout->addLayout(buttons);
    resize(540, sizeHint().height());

    connect(Range, &QRadioButton::toggled, this, [this](bool on) {
        From->setEnabled(on);
        To->setEnabled(on);
    });
    connect(Preview, &QPushButton::clicked, this, &Print_window::Preview_Click);
    connect(Close, &QPushButton::clicked, this, &Print_window::reject);
}

Print_window::~Print_window() = default;

void Print_window::Tell(const QString& text, bool warning)
{
    host.platform.Message_box(text, App_title,
                              warning ? Platform::Icon::Exclamation : Platform::Icon::Information,
                              Platform::Buttons::Ok);
}

std::optional<QList<Export_day>> Print_window::Days_chosen()
{
    int from = Number_of(panel_day);
    int to = from;
    if (Range->isChecked()) {
        if (From->date() > To->date()) {
            Tell(QStringLiteral("期間の始めの日が終わりの日より後になっています。"), true);
            return std::nullopt;
        }
        from = Export_date_number(From->date(), 0);
        to = Export_date_number(To->date(), 0);
    }
    // A long range takes a while to read: it is read off the window's
    // thread, its progress shows, and it can be cancelled.
    QProgressDialog progress(QStringLiteral("日記を読んでいます…"), QStringLiteral("キャンセル"), 0,
                             1, this);
    progress.setWindowTitle(QStringLiteral("印刷"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    struct Read_end {
        Export_report report;
        QList<Export_day> days;
        QHash<QString, Print_picture> pictures;
    };
    std::optional<Read_end> read;
    Background_job<Read_end> job(this);
    job.Start(
        [from, to, diary = diary_dir](const Job_control& control) {
            Diary_store store(diary);
            Read_end end;
            Read_export_days(
                store, from, to, end.report,
                [&control](int done, int total) {
                    control.Progress(done, total);
                    return !control.Cancelled();
                },
                [&end](int, QList<Export_day>& year_days) {
                    end.days += year_days;
                    return true;
                },
                true);
            // The pictures are read here too, off the window's thread: a
            // large one takes a moment to decode.
            int count = 0;
            for (const Export_day& day : end.days)
                count += int(day.photos.size());
            int done = 0;
            for (const Export_day& day : end.days)
                for (const QString& photo : day.photos) {
                    if (control.Cancelled()) {
                        end.report.cancelled = true;
                        return end;
                    }
                    end.pictures.insert(photo, Prepare_print_picture(diary + photo));
                    control.Progress(++done, count);
                }
            return end;
        },
        [&read](Read_end end) { read = std::move(end); },
        [&progress](int done, int total) {
            progress.setMaximum(std::max(total, 1));
            progress.setValue(done);
        });
    connect(&progress, &QProgressDialog::canceled, this, [&job] { job.Ask_to_stop(); });
    // Until the progress window shows (modal over this one), no click
    // reaches a window here: they wait for the reading's end.
    while (!read)
        QCoreApplication::processEvents(
            QEventLoop::WaitForMoreEvents |
            (progress.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents));
    progress.close();
    pictures = std::move(read->pictures);
    const Export_report& report = read->report;
    QList<Export_day>& days = read->days;
    if (report.cancelled)
        return std::nullopt;
    if (!report.unreadable.isEmpty()) {
        QStringList paths;
        for (const Io_result& r : report.unreadable)
            paths << QDir::toNativeSeparators(r.path);
        Tell(QStringLiteral("読めなかったファイルがあります。その日は印刷に含めていません"
                            "（索引ファイルのときは、メモと思い出の印が欠けています）。\n%1")
                 .arg(paths.join(QLatin1Char('\n'))),
             true);
    }
    if (days.isEmpty()) {
        Tell(Range->isChecked()
                 ? QStringLiteral("この期間には、印刷する日記がありません。")
                 : QStringLiteral("%1年%2月%3日の日記には、印刷するものがありません。")
                       .arg(panel_day.year)
                       .arg(panel_day.month)
                       .arg(panel_day.day),
             false);
        return std::nullopt;
    }
    return days;
}

bool Print_window::Build_document()
{
    const std::optional<QList<Export_day>> days = Days_chosen();
    if (!days)
        return false;
    // More than a year of days is hundreds of pages: laid out before the
    // preview shows, which takes a while.
    if (days->size() > Many_days &&
        host.platform.Message_box(
            QStringLiteral("%1 日分の日記を印刷します。ページ数が多いため、"
                           "プレビューが出るまでしばらくかかります。\n続けますか？")
                .arg(days->size()),
            App_title, Platform::Icon::Question,
            Platform::Buttons::Yes_no) != Platform::Answer::Yes)
        return false;
    const auto busy = host.platform.Busy_pointer();
    document = Print_document(*days, Diary_font(), pictures);
    return true;
}

bool Print_window::Print(QPrinter& printer)
{
    QString failure;
    const Print_calls* calls = Print_module(failure);
    if (!calls || !document) {
        if (!calls)
            Tell(failure, true);
        return false;
    }
    failure = calls->print_to(*document, printer, lock::Any_key_registered());
    if (!failure.isEmpty())
        Tell(failure, true);
    return failure.isEmpty();
}

void Print_window::Preview_Click()
{
    // Printing is loaded at its first use: told before the days are read
    // when it cannot be.
    QString failure;
    const Print_calls* calls = Print_module(failure);
    if (!calls) {
        Tell(failure, true);
        return;
    }
    if (!Build_document())
        return;
    calls->preview(
        this, QStringLiteral("日記"), QStringLiteral("印刷プレビュー"),
        [this](QDialog& preview) { return host.platform.Run_modal(preview); },
        [this](QPrinter& target) { Print(target); });
}
