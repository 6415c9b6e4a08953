#pragma once
// The row of a window that chooses a range of dates: what leads it (a
// check box or a radio button), the first date, から, the last date, まで.
// Both dates are yyyy/MM/dd with a calendar to pick from, within the
// diary's years, and start disabled: the lead enables them.

#include <QDate>

class QDateEdit;
class QHBoxLayout;
class QWidget;

struct Date_range_row {
    QHBoxLayout* layout = nullptr;
    QDateEdit* from = nullptr;
    QDateEdit* to = nullptr;
};
Date_range_row Make_date_range_row(QWidget& parent, QWidget* lead, const QDate& from,
                                   const QDate& to);
