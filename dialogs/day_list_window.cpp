#include "dialogs/day_list_window.h"

#include "diary/photo_days.h"
#include "diary/session.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "ui/io_message.h"
#include "ui/look.h"
#include "ui/photo_mark.h"
#include "ui/spinner.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>

namespace {

constexpr double Date_column_width = 1200;
constexpr double Memo_column_width = 5000;

}  // namespace

Day_list_window::Day_list_window(const Dialog_host& main_host, Diary_session& diary_session,
                                 Show_day show_day, const char* name, double width_twips,
                                 double height_twips, const QColor& background)
    : QDialog(main_host.window), host(main_host), session(diary_session),
      show_reference_day(std::move(show_day)), client_width(width_twips),
      client_height(height_twips)
{
    setObjectName(QLatin1String(name));
    setModal(true);
    Set_window_look(*this, background);
    setFixedSize(Twips_to_pixels(client_width, Dpi_of(*this)),
                 Twips_to_pixels(client_height, Dpi_of(*this)));

    Grid1 = new QTableWidget(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    const QFont list_font = List_font();
    Grid1->setFont(list_font);
    // The header row's texts are shown in the table's own header, which
    // stays in place while the list scrolls; row 0 keeps them too, hidden,
    // so that row r is still keyword_lines[r]. A click on the header makes
    // row 0 current, as a click on the header row did.
    QHeaderView* header = Grid1->horizontalHeader();
    header->setFont(list_font);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignBottom);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    header->setFixedHeight(QFontMetrics(list_font).height() + 4);
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid1->verticalHeader()->setDefaultSectionSize(QFontMetrics(list_font).height() + 4);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setWordWrap(false);
    Grid1->setColumnCount(2);
    Grid1->setColumnWidth(0, Twips_to_pixels(Date_column_width, Dpi_of(*this)));
    Grid1->setColumnWidth(1, Twips_to_pixels(Memo_column_width, Dpi_of(*this)));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));

    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setRange(First_year, Last_year);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(1);
    Make_spinner(VScroll1);
    VScroll1->setFocusPolicy(Qt::StrongFocus);

    connect(VScroll1, &QScrollBar::valueChanged, this, &Day_list_window::VScroll1_Change);
    connect(Grid1, &QTableWidget::cellDoubleClicked, this, &Day_list_window::Grid1_DblClick);
    connect(header, &QHeaderView::sectionPressed, this,
            [this](int column) { Grid1->setCurrentCell(0, column, QItemSelectionModel::Clear); });
    connect(header, &QHeaderView::sectionDoubleClicked, this, &Day_list_window::Grid1_DblClick);
}

void Day_list_window::Place_over_main()
{
    Centre_over_main(*this, host, client_width, client_height);
}

void Day_list_window::Set_row(int row, const QString& date, const QString& memo,
                              const QColor& fixed)
{
    const QString texts[2] = {date, memo};
    for (int column = 0; column < 2; ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignBottom);
        // Row 0 is the header; the date column looks like it.
        if (row == 0 || column == 0)
            item->setBackground(fixed);
        // The header row can be clicked but never chosen.
        if (row == 0)
            item->setFlags(Qt::ItemIsEnabled);
        else
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        Grid1->setItem(row, column, item);
    }
}

// The header row, one row per listed record, and the empty last row. All
// rows are made at once: inserting them one by one makes the table lay
// itself out again for every row.
void Day_list_window::Fill_list(const QStringList& lines, int count)
{
    Grid1->clearSelection();
    Grid1->setRowCount(0);
    Grid1->setRowCount(count + 2);
    const QColor fixed = palette().color(QPalette::Button);
    const QString date_caption = QStringLiteral("年/月/日");
    const QString memo_caption = QStringLiteral("メ　モ");
    Grid1->setHorizontalHeaderLabels({date_caption, memo_caption});
    Set_row(0, date_caption, memo_caption, fixed);
    Grid1->setRowHidden(0, true);
    for (int r = 1; r <= count; ++r) {
        const Row_text row = Row_text_of(lines.at(r));
        Set_row(r, row.date, row.memo, fixed);
        // A day with pictures has the camera before its memo.
        const std::optional<Key_date> date = Key_date_of(lines.at(r));
        if (date && date->year == photo_year &&
            photo_days.contains(date->month * 100 + date->day)) {
            QTableWidgetItem* memo = Grid1->item(r, 1);
            memo->setIcon(Photo_mark_icon());
            memo->setToolTip(Photo_mark_words());
            memo->setData(Qt::AccessibleDescriptionRole, Photo_mark_words());
        }
    }
    Set_row(count + 1, QString(), QString(), fixed);
    Grid1->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
    Grid1->scrollToTop();
}

void Day_list_window::Setup_list() { Fill_list({}, 0); }

void Day_list_window::Load_common(const QString& title)
{
    Place_over_main();
    setWindowTitle(title);
    Setup_list();
    keyword_count = 0;
    {
        const QSignalBlocker block_bar(VScroll1);
        const QSignalBlocker block_text(Text1);
        VScroll1->setValue(VScroll1->minimum());
        Text1->clear();
    }
    VScroll1->setValue(session.Time().Now().date().year());
    Text1->setText(QString::number(VScroll1->value()));
}

void Day_list_window::VScroll1_Change() { Text1->setText(QString::number(VScroll1->value())); }

void Day_list_window::Rebuild_day_list(const Record_test& test)
{
    keyword_count = 0;
    const Day_list_read read = Read_day_list(session.App_dir(), Text1->text(), test);
    if (!read.error.Ok()) {
        Setup_list();
        Show_failure(host.platform, QStringLiteral("索引ファイルを読み込めませんでした。"),
                     read.error);
        return;
    }
    // One listing of the year's pictures, kept from the last opening.
    const std::optional<QString> year_name = Year_folder_name(Text1->text());
    photo_year = year_name ? year_name->toInt() : 0;
    photo_days =
        photo_year ? Shared_photo_days(session.App_dir()).Of_year(photo_year) : QSet<int>();
    // Position 0 stands for the header row and holds no record.
    QStringList lines{QString()};
    lines.reserve(read.records.size() + 1);
    for (const Listed_record& record : read.records)
        lines.append(record.line);
    keyword_lines = lines;
    keyword_count = int(read.records.size());
    Fill_list(keyword_lines, keyword_count);
}

void Day_list_window::Recall_selected_day()
{
    const int r = Grid1->currentRow();
    if (r < 1 || r > keyword_count || r >= keyword_lines.size()) {
        host.platform.Message_box(QStringLiteral("呼び出す日が指定されていません"), App_title,
                                  Platform::Icon::Exclamation, Platform::Buttons::Ok);
        return;
    }
    const std::optional<Key_date> date = Key_date_of(keyword_lines.at(r));
    if (!date) {
        host.platform.Message_box(QStringLiteral("この行には日付がないため、呼び出せません。"),
                                  App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        return;
    }
    // Year, then month, then day: each change moves the reference panel.
    // A date outside the bars' ranges (a hand-edited index) goes to the
    // nearest day they can show.
    show_reference_day(date->year, date->month, date->day);
    accept();
}

void Day_list_window::Grid1_DblClick() { Recall_selected_day(); }

void Day_list_window::Form_QueryUnload() { keyword_count = 0; }

void Day_list_window::done(int result)
{
    Form_QueryUnload();
    QDialog::done(result);
}

void Day_list_window::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    QDialog::closeEvent(event);
}
