#include "dialogs/years_window.h"

#include "ui/accessible.h"
#include "ui/reader_place.h"

#include "diary/photo_days.h"
#include "platform/platform.h"
#include "store/own_settings.h"
#include "store/store.h"
#include "ui/io_message.h"
#include "ui/look.h"
#include "ui/photo_mark.h"

#include <QCheckBox>
#include <QDate>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

// The window's first size, in twips: about the main window's height.
constexpr double Client_width = 7500;
constexpr double Client_height = 6600;

const QString Weekdays[] = {QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
                            QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土"),
                            QStringLiteral("日")};

QString Heading_of(const Year_of_day& y, int month, int day, int this_year)
{
    QString heading = QStringLiteral("%1年%2月%3日").arg(y.year).arg(month).arg(day);
    const QDate date(y.year, month, day);
    if (date.isValid())
        heading += QStringLiteral("（%1）").arg(Weekdays[date.dayOfWeek() - 1]);
    heading += QStringLiteral("　") + Years_ago(y.year, this_year);
    if (y.memory)
        heading += QStringLiteral("　★思い出");
    return heading;
}

}  // namespace

QString Years_ago(int year, int this_year)
{
    if (year == this_year)
        return QStringLiteral("今年");
    if (year < this_year)
        return QStringLiteral("%1年前").arg(this_year - year);
    return QStringLiteral("%1年後").arg(year - this_year);
}

Years_window::Years_window(const Dialog_host& main_host, Diary_store& diary_store,
                           Show_day show_day, std::function<int()> this_year)
    : QWidget(main_host.window, Qt::Window), host(main_host), store(diary_store),
      show_reference_day(std::move(show_day)), current_year(std::move(this_year))
{
    setObjectName(QStringLiteral("Years_window"));
    Set_window_look(*this, look::Main_green);
    page.month = 0;
    page.day = 0;

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setUndoRedoEnabled(false);
    Text1->setFont(Diary_font());
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->viewport()->setMouseTracking(true);
    Text1->viewport()->installEventFilter(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Check1 = new QCheckBox(QStringLiteral("古い年から"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Command1 = new QPushButton(QStringLiteral("閉じる"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label1, 1);
    bottom->addWidget(Check1);
    bottom->addSpacing(12);
    bottom->addWidget(Command1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(Text1, 1);
    column->addLayout(bottom);

    {
        const QSignalBlocker block(Check1);
        Check1->setChecked(Read_oldest_first(store.App_dir()));
    }
    connect(Check1, &QCheckBox::toggled, this, &Years_window::Check1_Click);
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    Text1->setFocus();
}

void Years_window::Show_date(int month, int day)
{
    if (!placed) {
        Place_beside_main();
        placed = true;
    }
    const bool same_date = month == page.month && day == page.day;
    const int scrolled = Text1->verticalScrollBar()->value();
    page = Read_this_day(store, month, day);
    read_at.start();
    setWindowTitle(QStringLiteral("この日の百年　%1月%2日").arg(month).arg(day));
    Fill();
    if (same_date)
        Text1->verticalScrollBar()->setValue(scrolled);
}

// Beside the main window, so that the diary panel stays in sight while the
// page follows it, or where the user left it.
void Years_window::Place_beside_main()
{
    const double dpi = Dpi_of(*host.window);
    setMinimumSize(Twips_to_pixels(4000, dpi), Twips_to_pixels(3000, dpi));
    Place_reader_window(*this, host, &Own_settings::place_years,
                        {Twips_to_pixels(Client_width, dpi), Twips_to_pixels(Client_height, dpi)});
    Set_accessible_texts(*this, Years_window_texts);
    Name_the_rest(*this);
}

void Years_window::Fill()
{
    filling = true;
    const int this_year = current_year();
    QTextDocument* document = Text1->document();
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    QTextCharFormat plain;
    QTextCharFormat heading = plain;
    heading.setFontWeight(QFont::Bold);
    heading.setForeground(look::Reference_blue);
    heading.setFontUnderline(true);
    QTextCharFormat note = plain;
    note.setForeground(Qt::darkRed);

    Photo_days& photos = Shared_photo_days(store.App_dir());
    QList<const Year_of_day*> order;
    for (const Year_of_day& y : page.years)
        order.append(&y);
    if (!Check1->isChecked())
        std::reverse(order.begin(), order.end());

    bool first = true;
    auto new_block = [&](const QTextCharFormat& format) {
        if (!first)
            cursor.insertBlock(QTextBlockFormat(), format);
        else
            cursor.setCharFormat(format);
        first = false;
    };
    for (const Year_of_day* y : order) {
        if (!first) {
            new_block(plain);  // a blank line between the years
        }
        new_block(heading);
        cursor.insertText(Heading_of(*y, page.month, page.day, this_year));
        if (photos.Has(y->year * 10000 + page.month * 100 + page.day)) {
            // Beside the heading, not part of the link.
            QTextCharFormat mark = heading;
            mark.setFontUnderline(false);
            mark.setForeground(QColor(0x2F, 0x6F, 0xA8));
            cursor.insertText(QStringLiteral("　") + Photo_mark_words(), mark);
            cursor.setCharFormat(heading);
        }
        cursor.block().setUserState(y->year);
        if (!y->index_error.Ok()) {
            new_block(note);
            cursor.insertText(QStringLiteral("（この年の索引ファイルを読み込めませんでした：%1）")
                                  .arg(Io_reason(y->index_error)));
        }
        if (!y->memo.isEmpty()) {
            new_block(plain);
            cursor.insertText(QStringLiteral("メモ：") + y->memo);
        }
        if (!y->day.error.Ok()) {
            new_block(note);
            cursor.insertText(QStringLiteral("（この日の日記を読み込めませんでした：%1）")
                                  .arg(Io_reason(y->day.error)));
        } else if (!y->day.text.isEmpty()) {
            new_block(plain);
            cursor.insertText(y->day.text);
        }
    }
    if (order.isEmpty()) {
        cursor.setCharFormat(plain);
        cursor.insertText(
            QStringLiteral("%1月%2日の日記は、%3年から%4年までのどの年にもありません。")
                .arg(page.month)
                .arg(page.day)
                .arg(First_year)
                .arg(Last_year));
        Label1->setText(QString());
    } else {
        Label1->setText(QStringLiteral("%1年分").arg(order.size()));
    }
    cursor.endEditBlock();
    Text1->moveCursor(QTextCursor::Start);
    filling = false;
}

QList<int> Years_window::Years_shown() const
{
    QList<int> years;
    for (QTextBlock b = Text1->document()->begin(); b.isValid(); b = b.next()) {
        if (b.userState() > 0)
            years.append(b.userState());
    }
    return years;
}

int Years_window::Year_of_block(int block_number) const
{
    const QTextBlock block = Text1->document()->findBlockByNumber(block_number);
    return block.isValid() && block.userState() > 0 ? block.userState() : 0;
}

void Years_window::Heading_Click(int year)
{
    if (year > 0 && page.month > 0)
        show_reference_day(year, page.month, page.day);
}

void Years_window::Check1_Click()
{
    if (const Io_result r = Write_oldest_first(store.App_dir(), Check1->isChecked()); !r.Ok())
        Show_failure(host.platform, QStringLiteral("並べ方を保存できませんでした。"), r,
                     QStringLiteral("この並べ方は、次に起動するまでです。"));
    Fill();
}

bool Years_window::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != Text1->viewport())
        return false;
    if (event->type() == QEvent::MouseMove) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int year =
            Year_of_block(Text1->cursorForPosition(mouse->position().toPoint()).blockNumber());
        Text1->viewport()->setCursor(year ? Qt::PointingHandCursor : Qt::IBeamCursor);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        // A click, not the end of a selection made by dragging.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && !Text1->textCursor().hasSelection())
            Heading_Click(
                Year_of_block(Text1->cursorForPosition(mouse->position().toPoint()).blockNumber()));
    }
    return false;
}

void Years_window::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Back in the window: the days may have been saved meanwhile. The page
    // just read (the window is being opened, or followed the diary panel)
    // is not read a second time.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && page.month > 0 &&
        !filling && !(read_at.isValid() && read_at.elapsed() < 500))
        Reload();
}
