#include "dialogs/fulltext_window.h"

#include "dialogs/fulltext_hits_delegate.h"
#include "dialogs/fulltext_hits_model.h"
#include "diary/panel_date.h"
#include "diary/photo_days.h"
#include "fulltext/scan.h"
#include "platform/app_title.h"
#include "platform/platform.h"
#include "ui/accessible.h"
#include "ui/look.h"
#include "ui/reader_place.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <map>

namespace {

constexpr int Pause_ms = 250;
constexpr double Client_width = 11400;  // twips
constexpr double Client_height = 7800;

}  // namespace

Fulltext_window::Fulltext_window(const Dialog_host& main_host, const QString& app_dir,
                                 const QString& cache_folder, Show_day show_day)
    : QDialog(main_host.window), host(main_host), diary_folder(app_dir), cache(cache_folder),
      show_reference_day(std::move(show_day))
{
    setObjectName(QStringLiteral("Fulltext_window"));
    setModal(true);
    setWindowTitle(QStringLiteral("全文検索"));
    Set_window_look(*this, look::Light_cyan);
    const QFont list_font = List_font();

    auto* words_label = new QLabel(QStringLiteral("検索する言葉"), this);
    Words = new QLineEdit(this);
    Words->setObjectName(QStringLiteral("Words"));
    Words->setPlaceholderText(QStringLiteral("空白で区切ると、すべての言葉を含む日を探します"));
    words_label->setBuddy(Words);

    auto* range_label = new QLabel(QStringLiteral("年の範囲"), this);
    First_year_box = new QSpinBox(this);
    Last_year_box = new QSpinBox(this);
    for (QSpinBox* box : {First_year_box, Last_year_box}) {
        box->setRange(First_year, Last_year);
        box->setSuffix(QStringLiteral("年"));
    }
    First_year_box->setObjectName(QStringLiteral("First_year_box"));
    Last_year_box->setObjectName(QStringLiteral("Last_year_box"));
    First_year_box->setValue(First_year);
    Last_year_box->setValue(Last_year);

    Fold_width = new QCheckBox(QStringLiteral("全角＝半角"), this);
    Fold_case = new QCheckBox(QStringLiteral("大文字＝小文字"), this);
    Fold_kana = new QCheckBox(QStringLiteral("ひらがな＝カタカナ"), this);
    Fold_width->setToolTip(QStringLiteral("全角と半角の英数字・カタカナを同じ文字として探します"));
    Fold_case->setToolTip(QStringLiteral("英字の大文字と小文字を同じ文字として探します"));
    Fold_kana->setToolTip(QStringLiteral("ひらがなとカタカナを同じ文字として探します"));
    const Fold_options options = Read_fold_options(diary_folder);
    Fold_width->setChecked(options.width);
    Fold_case->setChecked(options.letter_case);
    Fold_kana->setChecked(options.kana);

    model = new Fulltext_hits_model(this);
    model->Set_photo_days(
        [diary = diary_folder](int year) { return Shared_photo_days(diary).Of_year(year); });
    Results = new QTableView(this);
    Results->setObjectName(QStringLiteral("Results"));
    Results->setModel(model);
    Results->setFont(list_font);
    Results->setItemDelegate(new Fulltext_hits_delegate(Results));
    Results->setSelectionBehavior(QAbstractItemView::SelectRows);
    Results->setSelectionMode(QAbstractItemView::SingleSelection);
    Results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Results->setWordWrap(false);
    Results->verticalHeader()->hide();
    Results->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Results->verticalHeader()->setDefaultSectionSize(QFontMetrics(list_font).height() + 4);
    Results->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Results->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics(list_font);
    Results->setColumnWidth(Date_column,
                            metrics.horizontalAdvance(QStringLiteral("0000/00/00 (水)　")));
    Results->setColumnWidth(Memory_column, metrics.horizontalAdvance(QStringLiteral("思い出　　")));
    Results->setColumnWidth(Memo_column,
                            metrics.horizontalAdvance(QStringLiteral("メモメモメモメモメモ")));
    Results->installEventFilter(this);
    Words->installEventFilter(this);

    Years = new QListWidget(this);
    Years->setObjectName(QStringLiteral("Years"));
    Years->setFont(list_font);
    Years->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("0000年 00000日　　")));
    Count = new QLabel(this);
    Count->setObjectName(QStringLiteral("Count"));
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setWordWrap(true);
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setFormat(QStringLiteral("索引を作っています… %p%"));
    Progress->hide();

    Recall = new QPushButton(QStringLiteral("呼出し"), this);
    Recall->setObjectName(QStringLiteral("Recall"));
    Close = new QPushButton(QStringLiteral("閉じる"), this);
    Close->setObjectName(QStringLiteral("Close"));
    for (QPushButton* button : {Recall, Close}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(words_label);
    top->addWidget(Words, 1);
    auto* options_row = new QHBoxLayout;
    options_row->addWidget(range_label);
    options_row->addWidget(First_year_box);
    options_row->addWidget(new QLabel(QStringLiteral("〜"), this));
    options_row->addWidget(Last_year_box);
    options_row->addSpacing(16);
    auto* folding = new QHBoxLayout;
    folding->addWidget(Fold_width);
    folding->addWidget(Fold_case);
    folding->addWidget(Fold_kana);
    options_row->addLayout(folding);
    options_row->addStretch(1);
    auto* lists = new QHBoxLayout;
    lists->addWidget(Results, 1);
    lists->addWidget(Years);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Count, 1);
    bottom->addWidget(Recall);
    bottom->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(options_row);
    layout->addLayout(lists, 1);
    layout->addWidget(Progress);
    layout->addWidget(Status);
    layout->addLayout(bottom);

    pause = new QTimer(this);
    pause->setSingleShot(true);
    pause->setInterval(Pause_ms);
    progress = new QTimer(this);
    progress->setInterval(200);

    connect(Words, &QLineEdit::textChanged, pause, qOverload<>(&QTimer::start));
    connect(pause, &QTimer::timeout, this, &Fulltext_window::Run_search);
    for (QSpinBox* box : {First_year_box, Last_year_box})
        connect(box, &QSpinBox::valueChanged, pause, qOverload<>(&QTimer::start));
    for (QCheckBox* box : {Fold_width, Fold_case, Fold_kana})
        connect(box, &QCheckBox::toggled, this, &Fulltext_window::Options_changed);
    connect(progress, &QTimer::timeout, this, &Fulltext_window::Show_progress);
    connect(Results, &QTableView::doubleClicked, this, &Fulltext_window::Recall_selected_day);
    connect(Recall, &QPushButton::clicked, this, &Fulltext_window::Recall_selected_day);
    connect(Close, &QPushButton::clicked, this, &QDialog::reject);
    connect(Years, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        // The year's newest day found.
        const int year = item->data(Qt::UserRole).toInt();
        const std::vector<Fulltext_hit>& hits = model->Hits();
        for (size_t row = 0; row < hits.size(); ++row)
            if (hits[row].date / 10000 == year) {
                Results->selectRow(int(row));
                Results->scrollTo(model->index(int(row), 0), QAbstractItemView::PositionAtTop);
                return;
            }
    });
    connect(Years, &QListWidget::itemClicked, Years, &QListWidget::itemActivated);
}

Fulltext_window::~Fulltext_window() = default;

void Fulltext_window::Open_index()
{
    const Fold_options options{Fold_width->isChecked(), Fold_case->isChecked(),
                               Fold_kana->isChecked()};
    scan.Cancel();
    index.reset();
    index = std::make_unique<Fulltext_index>(diary_folder, cache, options,
                                             Fulltext_index::Start::After_first_scan);
    Show_progress();
}

void Fulltext_window::Form_Load()
{
    if (!placed) {
        // Beside the main window, or where the user left it; reopened, where
        // it was closed.
        const double dpi = Dpi_of(*host.window);
        const QSize design(Twips_to_pixels(Client_width, dpi), Twips_to_pixels(Client_height, dpi));
        setMinimumSize(design);
        Place_reader_window(*this, host, &Own_settings::place_fulltext, design);
        Set_accessible_texts(*this, Fulltext_window_texts);
        Name_the_rest(*this);
        placed = true;
    }
    if (!index)
        Open_index();
    Words->setFocus();
    Words->selectAll();
    Run_search();
}

void Fulltext_window::Options_changed()
{
    const Fold_options options{Fold_width->isChecked(), Fold_case->isChecked(),
                               Fold_kana->isChecked()};
    const Io_result written = Write_fold_options(diary_folder, options);
    if (!written.Ok())
        Status->setText(
            QStringLiteral("検索の設定を保存できませんでした（%1）。").arg(written.path));
    // An index made with other folding is built again.
    Open_index();
    Run_search();
}

void Fulltext_window::Show_progress()
{
    if (!index)
        return;
    if (index->Building()) {
        Progress->setMaximum(std::max(1, index->Build_total()));
        Progress->setValue(std::min(index->Build_done(), Progress->maximum()));
        Progress->show();
        progress->start();
        return;
    }
    progress->stop();
    Progress->hide();
    // The build is done: the list comes from the index from now on.
    if (index->Take_finished_build())
        Run_search();
}

void Fulltext_window::Run_search()
{
    pause->stop();
    if (!index)
        return;
    Fulltext_search search;
    search.typed = Words->text();
    search.first_year = std::min(First_year_box->value(), Last_year_box->value());
    search.last_year = std::max(First_year_box->value(), Last_year_box->value());
    search.newest_first = true;
    search.wait_for_index = true;
    scan.Cancel();
    Fulltext_result result = index->Search(search);
    if (result.pending) {
        // No index to answer yet: the files are read, away from the
        // window, and the list shows what they hold when they are read.
        Count->setText(QStringLiteral("日記のファイルを読んで探しています…"));
        const QString trouble = result.index_trouble;
        scan.Start(
            [folder = diary_folder, search, options = index->Options()](const Job_control& job) {
                return Scan_diary_until(folder, search, options, &job.Cancel_flag());
            },
            [this, trouble](Fulltext_result read) {
                read.index_trouble = trouble;
                Show_result(read);
                // The index is built once the user has the answer.
                index->Start_pending_build();
                Show_progress();
            });
        Show_progress();
        return;
    }
    Show_result(result);
    Show_progress();
}

void Fulltext_window::Show_result(const Fulltext_result& result)
{
    model->Set(index.get(), result);
    if (!result.hits.empty())
        Results->selectRow(0);
    Results->scrollToTop();
    std::map<int, int, std::greater<>> per_year;
    for (const Fulltext_hit& hit : result.hits)
        ++per_year[hit.date / 10000];
    Years->clear();
    for (const auto& [year, days] : per_year) {
        auto* item = new QListWidgetItem(QStringLiteral("%1年 %2日").arg(year).arg(days), Years);
        item->setData(Qt::UserRole, year);
    }
    if (result.words.isEmpty())
        Count->clear();
    else if (result.hits.empty())
        Count->setText(QStringLiteral("見つかりませんでした"));
    else
        Count->setText(QStringLiteral("%1日見つかりました（%2年にわたって）")
                           .arg(result.hits.size())
                           .arg(per_year.size()));
    QString status = result.index_trouble;
    if (result.unreadable > 0)
        status += (status.isEmpty() ? QString() : QStringLiteral("\n")) +
                  QStringLiteral("読めないファイルが %1 件あり、その日は探せませんでした（%2）。")
                      .arg(result.unreadable)
                      .arg(result.first_unreadable.path);
    Status->setText(status);
    Status->setVisible(!status.isEmpty());
}

void Fulltext_window::Recall_selected_day()
{
    const Fulltext_hit* hit = model->Hit(Results->currentIndex().row());
    if (!hit) {
        host.platform.Message_box(QStringLiteral("呼び出す日が指定されていません"), App_title,
                                  Platform::Icon::Exclamation, Platform::Buttons::Ok);
        return;
    }
    show_reference_day(hit->date / 10000, hit->date / 100 % 100, hit->date % 100);
    accept();
}

// Enter in the field searches at once; anywhere else it recalls the day.
void Fulltext_window::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Recall_selected_day();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Fulltext_window::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == Results || watched == Words) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == Words)
                Run_search();
            else
                Recall_selected_day();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
