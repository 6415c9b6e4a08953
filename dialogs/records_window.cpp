#include "dialogs/records_window.h"

#include "dialogs/records_view.h"
#include "dialogs/words_panel.h"
#include "platform/app_title.h"
#include "platform/platform.h"
#include "store/safe_replace.h"
#include "store/store.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

Records_window::Records_window(const Dialog_host& main_host, Diary_store& diary_store,
                               Show_day show_day, QString cache_folder,
                               std::function<QDate()> today,
                               std::function<void(const QString&)> search_word)
    : QWidget(main_host.window, Qt::Window), host(main_host), store(diary_store),
      show_reference_day(std::move(show_day)),
      cache_path(cache_folder.isEmpty() ? QString()
                                        : Records_cache_path(cache_folder, store.App_dir())),
      current_day(std::move(today)), cache(std::make_unique<Records_cache>()), job(this)
{
    setObjectName(QStringLiteral("Records_window"));
    setWindowTitle(QStringLiteral("記録"));
    Set_window_look(*this, look::Main_green);

    auto* chart_label = new QLabel(QStringLiteral("月ごとの文字数:"), this);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setAccessibleName(QStringLiteral("月ごとの文字数を見る年"));
    chart_label->setBuddy(Combo1);
    Command1 = new QPushButton(QStringLiteral("画像を保存…"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command2 = new QPushButton(QStringLiteral("閉じる"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->hide();
    Progress1 = new QProgressBar(this);
    Progress1->setObjectName(QStringLiteral("Progress1"));
    Progress1->setFormat(QStringLiteral("数えています… %v / %m 年"));
    Progress1->hide();
    View1 = new Records_view;
    View1->setFont(List_font());
    Scroll1 = new QScrollArea(this);
    Scroll1->setObjectName(QStringLiteral("Scroll1"));
    Scroll1->setWidget(View1);
    Scroll1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Words1 = new Words_panel(store, std::move(search_word), this);
    split = new QSplitter(this);
    split->addWidget(Scroll1);
    split->addWidget(Words1);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);

    auto* top = new QHBoxLayout;
    top->addWidget(chart_label);
    top->addWidget(Combo1);
    top->addStretch(1);
    top->addWidget(Command1);
    top->addWidget(Command2);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(top);
    column->addWidget(Progress1);
    column->addWidget(Label1);
    column->addWidget(split, 1);

    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] {
        View1->Set_chart_year(Combo1->currentData().toInt());
        Words1->Set_year(Combo1->currentData().toInt());
    });
    connect(Command1, &QPushButton::clicked, this, &Records_window::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    View1->on_day_clicked = [this](const QDate& date) {
        if (show_reference_day)
            show_reference_day(date.year(), date.month(), date.day());
    };
    Command1->setEnabled(false);
}

Records_window::~Records_window() { job.Cancel(); }

void Records_window::Open()
{
    if (!placed) {
        // Over the main window, as wide as the picture; the user may
        // resize it.
        const int picture = View1->sizeHint().width() +
                            Scroll1->verticalScrollBar()->sizeHint().width() +
                            2 * Scroll1->frameWidth() + 4;
        resize(picture + 260, 680);
        split->setSizes({picture, 250});
        if (host.window) {
            const QRect main = host.window->frameGeometry();
            move(main.center() - QPoint(width() / 2, height() / 2));
        }
        placed = true;
    }
    show();
    raise();
    activateWindow();
    Refresh();
}

bool Records_window::Counting() const { return job.Running(); }

void Records_window::Wait_for_counts()
{
    while (job.Running())
        job.Wait();
}

void Records_window::Refresh()
{
    if (job.Running()) {
        again = true;
        return;
    }
    again = false;
    const bool first = !cache_loaded;
    cache_loaded = true;
    job.Start(
        [this, first](const Job_control& control) {
            if (first && !cache_path.isEmpty())
                cache->Load(cache_path);
            // A store of its own: the window's thread keeps using the
            // session's.
            Diary_store own(store.App_dir());
            QList<Year_tally> counted =
                cache->Refresh(own, &control.Cancel_flag(),
                               [&control](int done, int total) { control.Progress(done, total); });
            // The kept counts only spare the next opening its reading; a
            // cache folder that takes no file costs time, never a day.
            if (cache->Changed() && !cache_path.isEmpty() && !control.Cancelled())
                cache->Save(cache_path);
            return counted;
        },
        [this](QList<Year_tally> counted) { Counted(std::move(counted)); },
        [this](int done, int total) {
            // Only a count that takes a while shows its progress.
            if (total > 0 && done < total && View1->Years().isEmpty()) {
                Progress1->setRange(0, total);
                Progress1->setValue(done);
                Progress1->show();
            }
        });
}

void Records_window::Counted(QList<Year_tally> counted)
{
    Progress1->hide();
    counted_at.start();
    QStringList unreadable;
    for (const Year_tally& tally : counted)
        for (const Io_result& failure : tally.unreadable)
            unreadable << QStringLiteral("%1（%2）")
                              .arg(QDir::toNativeSeparators(failure.path), Io_reason(failure));
    if (unreadable.isEmpty()) {
        Label1->hide();
    } else {
        Label1->setText(QStringLiteral("読み込めないファイルがあり、数に入れていません: ") +
                        unreadable.join(QStringLiteral("、")));
        Label1->show();
    }
    // The year chosen before, or at first this year when it has a folder.
    const QDate today = current_day ? current_day() : QDate::currentDate();
    const int chosen = Combo1->count() > 0 ? Combo1->currentData().toInt() : today.year();
    QList<int> year_numbers;
    for (const Year_tally& tally : counted)
        year_numbers.append(tally.year);
    View1->Set_years(std::move(counted), today);
    {
        const QSignalBlocker block(Combo1);
        Combo1->clear();
        for (auto it = year_numbers.crbegin(); it != year_numbers.crend(); ++it)
            Combo1->addItem(QStringLiteral("%1年").arg(*it), *it);
        const int at = Combo1->findData(chosen);
        Combo1->setCurrentIndex(at >= 0 ? at : 0);
    }
    View1->Set_chart_year(Combo1->currentData().toInt());
    Words1->Set_year(Combo1->currentData().toInt());
    Command1->setEnabled(!year_numbers.isEmpty());
    if (again)
        Refresh();
}

void Records_window::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Back to the front after a day was saved: what changed is counted.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && counted_at.isValid() &&
        counted_at.elapsed() > 1000)
        Refresh();
}

void Records_window::Command1_Click()
{
    const QString suggested =
        QDir::home().filePath(QStringLiteral("記録-%1.png")
                                  .arg((current_day ? current_day() : QDate::currentDate())
                                           .toString(QStringLiteral("yyyyMMdd"))));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("画像を保存"), suggested,
                                                      QStringLiteral("PNG 画像 (*.png)"));
    if (path.isEmpty())
        return;
    Save_picture(path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
                     ? path
                     : path + QStringLiteral(".png"));
}

bool Records_window::Save_picture(const QString& path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!View1->Picture().save(&buffer, "PNG")) {
        host.platform.Message_box(QStringLiteral("画像を作れませんでした。"), App_title,
                                  Platform::Icon::Critical, Platform::Buttons::Ok);
        return false;
    }
    const Io_result written = Replace_file(path, bytes);
    if (!written.Ok()) {
        Show_failure(host.platform, QStringLiteral("画像を保存できませんでした。"), written);
        return false;
    }
    return true;
}
