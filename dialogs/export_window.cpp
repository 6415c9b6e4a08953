#include "dialogs/export_window.h"

#include "diary/export.h"
#include "platform/app_title.h"
#include "platform/platform.h"
#include "store/safe_replace.h"
#include "store/store.h"
#include "ui/date_range.h"
#include "ui/look.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

Export_window::Export_window(const Dialog_host& main_host, const QString& app_dir,
                             const QDate& today)
    : QDialog(main_host.window), host(main_host), diary_dir(app_dir)
{
    setWindowTitle(QStringLiteral("エクスポート"));
    setFont(Diary_font());
    Format = new QComboBox(this);
    Format->setObjectName(QStringLiteral("Format"));
    Format->addItem(QStringLiteral("Markdown（1年に1ファイル）"), int(Export_format::Markdown));
    Format->addItem(QStringLiteral("HTML（1年に1ファイル、ブラウザーで読めて印刷できます）"),
                    int(Export_format::Html));
    Format->addItem(QStringLiteral("JSON（ほかの日記アプリに取り込めます）"),
                    int(Export_format::Json));
    Format->addItem(QStringLiteral("テキスト（1日に1ファイル、年ごとのフォルダー）"),
                    int(Export_format::Text));
    Whole_diary = new QCheckBox(QStringLiteral("日記のすべて"), this);
    Whole_diary->setObjectName(QStringLiteral("Whole_diary"));
    Whole_diary->setChecked(true);
    const Date_range_row range =
        Make_date_range_row(*this, Whole_diary, QDate(today.year(), 1, 1), today);
    From = range.from;
    To = range.to;
    Folder = new QLineEdit(this);
    Folder->setObjectName(QStringLiteral("Folder"));
    Browse = new QPushButton(QStringLiteral("参照…"), this);
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 1);
    Progress->setValue(0);
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setWordWrap(true);
    Run = new QPushButton(QStringLiteral("書き出す"), this);
    Run->setObjectName(QStringLiteral("Run"));
    Run->setDefault(true);
    Close = new QPushButton(QStringLiteral("閉じる"), this);
    Close->setObjectName(QStringLiteral("Close"));

    auto* folder = new QHBoxLayout;
    folder->addWidget(Folder, 1);
    folder->addWidget(Browse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("形式:"), Format);
    form->addRow(QStringLiteral("期間:"), range.layout);
    form->addRow(QStringLiteral("書き出し先:"), folder);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Run);
    buttons->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Progress);
    layout->addWidget(Status);
    layout->addLayout(buttons);
    resize(560, sizeHint().height());

    connect(Whole_diary, &QCheckBox::toggled, this, [this](bool whole) {
        From->setEnabled(!whole);
        To->setEnabled(!whole);
    });
    connect(Browse, &QPushButton::clicked, this, &Export_window::Browse_Click);
    connect(Run, &QPushButton::clicked, this, &Export_window::Start);
    connect(Close, &QPushButton::clicked, this, &Export_window::reject);
}

Export_window::~Export_window() { Stop_worker(); }

void Export_window::Stop_worker() { job.Cancel(); }

void Export_window::Browse_Click()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("書き出し先のフォルダー"), QDir::fromNativeSeparators(Folder->text()));
    if (!chosen.isEmpty())
        Folder->setText(QDir::toNativeSeparators(chosen));
}

bool Export_window::Start()
{
    if (Running())
        return false;
    auto refuse = [this](const QString& text) {
        host.platform.Message_box(text, App_title, Platform::Icon::Exclamation,
                                  Platform::Buttons::Ok);
        return false;
    };
    const QString out_dir = QDir::fromNativeSeparators(Folder->text().trimmed());
    if (out_dir.isEmpty() || !QDir::isAbsolutePath(out_dir))
        return refuse(QStringLiteral("書き出し先のフォルダーを指定してください。"));
    Export_range range;
    if (!Whole_diary->isChecked()) {
        range = {From->date(), To->date()};
        if (range.from > range.to)
            return refuse(QStringLiteral("期間の始めの日が終わりの日より後になっています。"));
    }
    const QString refusal = Export_refusal(diary_dir, out_dir);
    if (!refusal.isEmpty())
        return refuse(refusal);
    if (!Make_private_folders(out_dir))
        return refuse(QStringLiteral("書き出し先のフォルダーを作れませんでした。\n%1")
                          .arg(QDir::toNativeSeparators(out_dir)));

    Run_worker(Format->currentData().toInt(), out_dir, range.from, range.to, false);
    return true;
}

void Export_window::Run_worker(int format, const QString& out_dir, const QDate& from,
                               const QDate& to, bool replace)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{Format, Whole_diary, From, To, Folder, Browse, Run})
        w->setEnabled(false);
    Close->setText(QStringLiteral("キャンセル"));
    Status->setText(QStringLiteral("書き出しています…"));
    Progress->setRange(0, 0);
    job.Start(
        [format, out_dir, from, to, replace, diary = diary_dir](const Job_control& control) {
            // The run's own store: it only reads the diary.
            Diary_store store(diary);
            const Export_report report = Run_export(
                store, Export_format(format), out_dir, {from, to},
                [&control](int done, int total) {
                    control.Progress(done, total);
                    return !control.Cancelled();
                },
                replace ? Existing_files::Replace : Existing_files::Keep);
            Run_end end;
            end.summary = Export_summary(report);
            // A cancel is the user's own choice: no warning for it.
            end.ok = report.error.Ok() && report.unreadable.isEmpty();
            end.kept = report.cancelled || !end.ok ? QStringList() : report.kept_files;
            return end;
        },
        [=, this](const Run_end& end) {
            Export_ended(end.summary, end.ok, end.kept, out_dir, from, to, format);
        },
        [this](int done, int total) { Show_progress(done, total); });
}

void Export_window::Show_progress(int done, int total)
{
    Progress->setRange(0, std::max(total, 1));
    Progress->setValue(done);
    Status->setText(QStringLiteral("書き出しています… %1 / %2 日").arg(done).arg(total));
}

void Export_window::Export_ended(const QString& summary, bool ok, const QStringList& kept,
                                 const QString& out_dir, const QDate& from, const QDate& to,
                                 int format)
{
    if (!kept.isEmpty()) {
        // Everything else is written; the files someone else made there
        // are written over only when the user says so.
        const Platform::Answer answer = host.platform.Message_box(
            QStringLiteral("書き出し先のフォルダーには、この書き出しが作ったのではない、"
                           "同じ名前のファイルがあります。\n%1\n\n"
                           "「はい」：これらのファイルを上書きします。\n"
                           "「いいえ」：これらのファイルはそのままにします。")
                .arg(kept.join(QLatin1Char('\n'))),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Yes_no);
        if (answer == Platform::Answer::Yes) {
            Run_worker(format, out_dir, from, to, true);
            return;
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{Format, Whole_diary, Folder, Browse, Run})
        w->setEnabled(true);
    From->setEnabled(!Whole_diary->isChecked());
    To->setEnabled(!Whole_diary->isChecked());
    Close->setText(QStringLiteral("閉じる"));
    Status->setText(summary);
    host.platform.Message_box(summary, App_title,
                              ok ? Platform::Icon::Information : Platform::Icon::Exclamation,
                              Platform::Buttons::Ok);
    emit Finished(summary);
}

void Export_window::reject()
{
    // キャンセル while it runs stops the export; the files written so far
    // are whole, and the window stays open with the report.
    if (Running()) {
        job.Ask_to_stop();
        Status->setText(QStringLiteral("取り消しています…"));
        return;
    }
    QDialog::reject();
}
