#include "dialogs/import_window.h"

#include "platform/app_title.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "store/store.h"
#include "ui/accessible.h"
#include "ui/look.h"
#include "ui/reader_place.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Days written between two turns of the event loop.
constexpr int Days_per_step = 16;

const QString First_note =
    QStringLiteral("取り込むものを選んで「読み込む」を押すと、取り込む日の一覧が出ます。"
                   "空いている日にはそのまま入り、日記が書いてある日は書き換えません。");

// Progress of a reading, told to its job; false once the job is asked to
// stop.
Import_progress Told_to(const Job_control& control)
{
    return [&control](int done, int total) {
        control.Progress(done, total);
        return !control.Cancelled();
    };
}

}  // namespace

QString Import_preview(const QString& text)
{
    constexpr int Length = 40;
    QString line = text.left(Length + 1);
    line.replace(QLatin1Char('\n'), QStringLiteral("／"));
    return text.size() > Length ? line.left(Length) + QStringLiteral("…") : line;
}

Import_window::Import_window(const Dialog_host& main_host, Diary_session& diary_session,
                             std::function<void()> diary_day_back)
    : QDialog(main_host.window), host(main_host), session(diary_session),
      day_back(std::move(diary_day_back))
{
    setWindowTitle(QStringLiteral("インポート"));
    setFont(Diary_font());
    Source = new QComboBox(this);
    Source->setObjectName(QStringLiteral("Source"));
    Source->addItem(
        QStringLiteral("日付の名前のファイルのフォルダー（2026-12-09.md、20261209.txt など）"));
    Source->addItem(QStringLiteral("JSON ファイル（jrnl などの書き出し、この日記の書き出し）"));
    Path = new QLineEdit(this);
    Path->setObjectName(QStringLiteral("Path"));
    Browse = new QPushButton(QStringLiteral("参照…"), this);
    Read = new QPushButton(QStringLiteral("読み込む"), this);
    Read->setObjectName(QStringLiteral("Read"));
    Counts = new QLabel(First_note, this);
    Counts->setObjectName(QStringLiteral("Counts"));
    Counts->setWordWrap(true);
    List = new QTreeWidget(this);
    List->setObjectName(QStringLiteral("List"));
    List->setFont(List_font());
    List->setHeaderLabels({QStringLiteral("追記する日"), QStringLiteral("ここにある日記"),
                           QStringLiteral("取り込む日記")});
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->header()->setStretchLastSection(true);
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 1);
    Progress->setValue(0);
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setWordWrap(true);
    Status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Run = new QPushButton(QStringLiteral("取り込む"), this);
    Run->setObjectName(QStringLiteral("Run"));
    Run->setEnabled(false);
    Close = new QPushButton(QStringLiteral("閉じる"), this);
    Close->setObjectName(QStringLiteral("Close"));

    auto* path = new QHBoxLayout;
    path->addWidget(Path, 1);
    path->addWidget(Browse);
    path->addWidget(Read);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("取り込むもの:"), Source);
    form->addRow(QStringLiteral("場所:"), path);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Run);
    buttons->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Counts);
    layout->addWidget(List, 1);
    layout->addWidget(Progress);
    layout->addWidget(Status);
    layout->addLayout(buttons);
    Place_reader_window(*this, host, &Own_settings::place_import, QSize(760, 520));
    Set_accessible_texts(*this, Import_window_texts);
    Name_the_rest(*this);
    List->setColumnWidth(0, 150);
    List->setColumnWidth(1, 280);

    connect(Browse, &QPushButton::clicked, this, &Import_window::Browse_Click);
    connect(Read, &QPushButton::clicked, this, &Import_window::Read_source);
    connect(Run, &QPushButton::clicked, this, &Import_window::Start_import);
    connect(Close, &QPushButton::clicked, this, &Import_window::reject);
}

Import_window::~Import_window() { Stop_reading(); }

void Import_window::Stop_reading() { reading.Cancel(); }

void Import_window::Browse_Click()
{
    const QString now = QDir::fromNativeSeparators(Path->text());
    const QString chosen =
        Source->currentIndex() == Daily_notes
            ? QFileDialog::getExistingDirectory(this, QStringLiteral("日記のファイルのフォルダー"),
                                                now)
            : QFileDialog::getOpenFileName(this, QStringLiteral("JSON ファイル"), now,
                                           QStringLiteral("JSON ファイル (*.json);;"
                                                          "すべてのファイル (*)"));
    if (!chosen.isEmpty())
        Path->setText(QDir::toNativeSeparators(chosen));
}

void Import_window::Set_busy(bool busy)
{
    for (QWidget* w : std::initializer_list<QWidget*>{Source, Path, Browse, Read, List})
        w->setEnabled(!busy);
    Run->setEnabled(!busy && !plan.items.isEmpty());
    Close->setText(busy ? QStringLiteral("キャンセル") : QStringLiteral("閉じる"));
}

bool Import_window::Read_source()
{
    if (Busy())
        return false;
    const QString path = QDir::fromNativeSeparators(Path->text().trimmed());
    const auto kind = Source_kind(Source->currentIndex());
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
        host.platform.Message_box(
            kind == Daily_notes ? QStringLiteral("取り込むフォルダーを指定してください。")
                                : QStringLiteral("取り込む JSON ファイルを指定してください。"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        return false;
    }
    if (kind == Daily_notes) {
        if (const QString refusal = Import_refusal(session.App_dir(), path); !refusal.isEmpty()) {
            host.platform.Message_box(refusal, App_title, Platform::Icon::Exclamation,
                                      Platform::Buttons::Ok);
            return false;
        }
    }
    plan = {};
    List->clear();
    Counts->setText(First_note);
    Set_busy(true);
    Progress->setRange(0, 0);
    Status->setText(QStringLiteral("読み込んでいます…"));
    reading.Start(
        [kind, path](const Job_control& control) {
            Read_end end;
            end.source = kind == Daily_notes ? Read_daily_notes(path, Told_to(control))
                                             : Read_journal_json(path);
            return end;
        },
        [this](const Read_end& end) { Source_taken(end); },
        [this](int done, int total) { Show_progress(done, total, QStringLiteral("読み込み")); });
    return true;
}

void Import_window::Source_taken(const Read_end& end)
{
    if (!end.source.error.isEmpty() || reading.Stop_asked()) {
        Source_read(end.source, {});
        return;
    }
    reading.Start(
        [source = end.source, diary = session.App_dir()](const Job_control& control) {
            // The run's own store: the plan only reads the diary.
            Diary_store store(diary);
            Read_end planned;
            planned.plan = Plan_import(store, source.days, Told_to(control));
            planned.source = source;
            return planned;
        },
        [this](const Read_end& planned) { Source_read(planned.source, planned.plan); },
        [this](int done, int total) {
            Show_progress(done, total, QStringLiteral("日記との照合"));
        });
}

void Import_window::Show_progress(int done, int total, const QString& doing)
{
    if (total == 0) {
        Progress->setRange(0, 0);
        Status->setText(QStringLiteral("%1… %2 個のファイルを見ました").arg(doing).arg(done));
        return;
    }
    Progress->setRange(0, total);
    Progress->setValue(done);
    Status->setText(QStringLiteral("%1… %2 / %3").arg(doing).arg(done).arg(total));
}

void Import_window::Source_read(const Import_source& source, const Import_plan& read_plan)
{
    const bool cancelled = reading.Stop_asked();
    plan = cancelled ? Import_plan{} : read_plan;
    report = {};
    report.unreadable = source.unreadable;
    report.ignored = source.ignored;
    report.ignored_names = source.ignored_names;
    report.unreadable_days = plan.unreadable_days;
    Set_busy(false);
    Progress->setRange(0, 1);
    Progress->setValue(0);
    if (!source.error.isEmpty() || cancelled) {
        const QString text =
            cancelled ? QStringLiteral("読み込みを取り消しました。") : source.error;
        Status->setText(text);
        if (!cancelled)
            host.platform.Message_box(text, App_title, Platform::Icon::Exclamation,
                                      Platform::Buttons::Ok);
        return;
    }
    int fill = 0;
    int same = 0;
    for (const Import_item& item : plan.items) {
        if (item.kind == Import_kind::Fill) {
            ++fill;
        } else if (item.kind == Import_kind::Same) {
            ++same;
        } else {
            auto* row = new QTreeWidgetItem(List);
            row->setText(0, item.incoming.date.Key());
            row->setCheckState(0, Qt::Unchecked);
            const QString here =
                item.here.memo.isEmpty()
                    ? item.here.text
                    : QStringLiteral("［%1］").arg(item.here.memo) + item.here.text;
            const QString incoming =
                item.incoming.memo.isEmpty()
                    ? item.incoming.text
                    : QStringLiteral("［%1］").arg(item.incoming.memo) + item.incoming.text;
            row->setText(1, Import_preview(here));
            row->setText(2, Import_preview(incoming));
            row->setToolTip(1, here);
            row->setToolTip(2, incoming);
        }
    }
    Counts->setText(
        QStringLiteral("空いている %1日には、そのまま入れます。同じ日記がすでにある %2日は、"
                       "そのままにします。\n日記が書いてある %3日（下の一覧）は書き換えません。"
                       "チェックした日だけ、今の日記の下に区切り線を引いて追記します。")
            .arg(fill)
            .arg(same)
            .arg(List->topLevelItemCount()));
    QString status = plan.items.isEmpty()
                         ? QStringLiteral("取り込む日がありませんでした。")
                         : QStringLiteral("%1日を読み込みました。").arg(plan.items.size());
    if (!source.unreadable.isEmpty())
        status += QStringLiteral("読めなかったファイルが %1 個あります（終わりの報告で名前を"
                                 "挙げます）。")
                      .arg(source.unreadable.size());
    Status->setText(status);
    Run->setEnabled(!plan.items.isEmpty());
    emit Listed();
}

bool Import_window::Start_import()
{
    if (Busy() || plan.items.isEmpty())
        return false;
    // The ticks of the list: its rows are the appends, in the plan's order.
    int row = 0;
    for (Import_item& item : plan.items)
        if (item.kind == Import_kind::Append)
            item.chosen = List->topLevelItem(row++)->checkState(0) == Qt::Checked;
    importing = true;
    cancel = false;
    next_item = 0;
    Set_busy(true);
    Show_progress(0, int(plan.items.size()), QStringLiteral("取り込み"));
    QTimer::singleShot(0, this, &Import_window::Import_step);
    return true;
}

void Import_window::Import_step()
{
    if (cancel) {
        report.cancelled = true;
        report.left = int(plan.items.size() - next_item);
        Import_ended();
        return;
    }
    const QDate on = session.Time().Now().date();
    for (int n = 0; n < Days_per_step && next_item < plan.items.size(); ++n)
        Import_one(session, plan.items[next_item++], on, report);
    // Between steps the session holds the diary panel's day again.
    if (day_back)
        day_back();
    Show_progress(int(next_item), int(plan.items.size()), QStringLiteral("取り込み"));
    if (next_item < plan.items.size())
        QTimer::singleShot(0, this, &Import_window::Import_step);
    else
        Import_ended();
}

void Import_window::Import_ended()
{
    importing = false;
    // The list is done with: a second 取り込む reads the source again.
    plan = {};
    List->clear();
    Counts->setText((report.cancelled ? QStringLiteral("取り込みを途中で止めました。")
                                      : QStringLiteral("取り込みが終わりました。")) +
                    QStringLiteral("続けて取り込むときは、取り込むものを選んで「読み込む」を"
                                   "押してください。"));
    Set_busy(false);
    const QString summary = Import_summary(report);
    Status->setText(summary);
    const bool ok = report.failed.isEmpty() && report.unreadable.isEmpty() &&
                    report.unreadable_days.isEmpty() && report.failed_pictures.isEmpty();
    host.platform.Message_box(summary, App_title,
                              ok ? Platform::Icon::Information : Platform::Icon::Exclamation,
                              Platform::Buttons::Ok);
    emit Finished(summary);
}

void Import_window::reject()
{
    // キャンセル while it runs stops after the day being written; every day
    // written is whole, and the window stays open with the report.
    if (Busy()) {
        reading.Ask_to_stop();
        cancel = true;
        Status->setText(QStringLiteral("取り消しています…"));
        return;
    }
    QDialog::reject();
}
