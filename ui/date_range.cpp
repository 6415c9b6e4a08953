#include "ui/date_range.h"

#include "diary/panel_date.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>

Date_range_row Make_date_range_row(QWidget& parent, QWidget* lead, const QDate& from,
                                   const QDate& to)
{
    Date_range_row row;
    row.from = new QDateEdit(from, &parent);
    row.from->setObjectName(QStringLiteral("From"));
    row.to = new QDateEdit(to, &parent);
    row.to->setObjectName(QStringLiteral("To"));
    for (QDateEdit* edit : {row.from, row.to}) {
        edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        edit->setDateRange(QDate(First_year, 1, 1), QDate(Last_year, 12, 31));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    row.layout = new QHBoxLayout;
    row.layout->addWidget(lead);
    row.layout->addWidget(row.from);
    row.layout->addWidget(new QLabel(QStringLiteral("から"), &parent));
    row.layout->addWidget(row.to);
    row.layout->addWidget(new QLabel(QStringLiteral("まで"), &parent));
    row.layout->addStretch();
    return row;
}
