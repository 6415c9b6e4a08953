#include "dialogs/calendar_window.h"

#include "ui/look.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextCharFormat>
#include <QVBoxLayout>

namespace {

const QColor Memory_ground(255, 200, 220);

}  // namespace

Marked_calendar::Marked_calendar(Diary_store& diary_store, QWidget* parent)
    : QCalendarWidget(parent), marks(diary_store)
{
    setObjectName(QStringLiteral("Calendar1"));
    // Month and weekday names in Japanese, whatever the desktop's language.
    setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    setDateRange(QDate(First_year, 1, 1), QDate(Last_year, 12, 31));
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    connect(this, &QCalendarWidget::currentPageChanged, this, &Marked_calendar::Mark_page);
}

void Marked_calendar::Mark_page(int year, int month)
{
    // A page shows some days of the month before and after.
    const QDate first(year, month, 1);
    for (const QDate& d : {first.addMonths(-1), first, first.addMonths(1)}) {
        if (d.year() >= First_year && d.year() <= Last_year && !marked_years.contains(d.year()))
            Mark_year(d.year());
    }
}

void Marked_calendar::Mark_year(int year)
{
    marked_years.append(year);
    const Year_marks& year_marks = marks.Of_year(year);
    QTextCharFormat entry;
    entry.setFontWeight(QFont::Bold);
    QTextCharFormat memory = entry;
    memory.setBackground(Memory_ground);
    for (auto it = year_marks.days.cbegin(); it != year_marks.days.cend(); ++it) {
        const QDate date(year, it.key() / 100, it.key() % 100);
        if (date.isValid())
            setDateTextFormat(date, it.value() == Day_mark::Memory ? memory : entry);
    }
}

Calendar_window::Calendar_window(const Dialog_host& main_host, Diary_store& diary_store,
                                 const QDate& start)
    : QDialog(main_host.window), host(main_host)
{
    setObjectName(QStringLiteral("Calendar_window"));
    setWindowTitle(QStringLiteral("日付を指定して移動"));
    Set_window_look(*this, look::Main_green);

    Label1 = new QLabel(QStringLiteral("移動する日"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Date1 = new QDateEdit(this);
    Date1->setObjectName(QStringLiteral("Date1"));
    Date1->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    Date1->setDateRange(QDate(First_year, 1, 1), QDate(Last_year, 12, 31));
    Date1->setDate(start);
    Label1->setBuddy(Date1);
    // The calendar stays open below the entry, so that its marks are seen
    // at once; the two always show the same day.
    Calendar1 = new Marked_calendar(diary_store, this);
    Calendar1->setSelectedDate(start);
    Calendar1->Mark_page(start.year(), start.month());
    Label2 = new QLabel(QStringLiteral("太字は日記のある日、桃色は思い出の日です。"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Command1 = new QPushButton(QStringLiteral("移動"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("キャンセル"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);

    auto* row = new QHBoxLayout;
    row->addWidget(Label1);
    row->addWidget(Date1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row);
    column->addWidget(Calendar1, 1);
    column->addWidget(Label2);
    column->addLayout(buttons);

    connect(Date1, &QDateEdit::dateChanged, Calendar1, &QCalendarWidget::setSelectedDate);
    connect(Calendar1, &QCalendarWidget::selectionChanged, this,
            [this] { Date1->setDate(Calendar1->selectedDate()); });
    // A double click or Enter on a day of the calendar moves there.
    connect(Calendar1, &QCalendarWidget::activated, this, &QDialog::accept);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    Centre_over_main(*this, host, 5400, 4800);
    Calendar1->setFocus();
}

QDate Calendar_window::Chosen() const { return Date1->date(); }
