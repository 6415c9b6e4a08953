#pragma once
// The picture of the 記録 window: the counts in all years at the top, a
// chart of the characters of each month of one year, then one grid per
// year (a column per week, a row per weekday from Sunday), each day's cell
// coloured by how many characters were written that day and memory days
// ringed. Drawn with QPainter only what is in sight; hovering a cell names
// the day and its memo, clicking it shows the day in the reference panel.

#include "diary/records.h"

#include <QDate>
#include <QImage>
#include <QList>
#include <QWidget>
#include <functional>
#include <optional>

class Records_view : public QWidget {
    Q_OBJECT

public:
    explicit Records_view(QWidget* parent = nullptr);

    // The years to show (oldest first, as counted) and today, for the
    // current run.
    void Set_years(QList<Year_tally> counted, const QDate& today);
    // The year of the month chart (0: the newest year).
    void Set_chart_year(int year);
    int Chart_year() const { return chart_year; }
    const QList<Year_tally>& Years() const { return years; }

    // The whole picture, every year, for saving.
    QImage Picture() const;
    // The day under a point of the view, if any.
    std::optional<QDate> Day_at(const QPoint& point) const;
    // The cell of a day, in the view's coordinates (an empty rectangle for
    // a year not shown).
    QRect Cell_of(const QDate& date) const;
    // The words of the summary and of a year's heading, as drawn.
    QString Summary_text() const;
    QString Year_text(const Year_tally& tally) const;
    // What hovering a day says.
    QString Day_tip(const QDate& date) const;

    QSize sizeHint() const override;

    std::function<void(const QDate&)> on_day_clicked;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Draw(QPainter& painter, const QRect& area) const;
    void Draw_chart(QPainter& painter) const;
    void Draw_year(QPainter& painter, int index, const Year_tally& tally) const;
    // The year shown at a row of blocks (newest first).
    int Block_top(int index) const;
    const Year_tally* Tally_of(int year) const;

    QList<Year_tally> years;  // newest first
    QDate today;
    int chart_year = 0;
    int longest_all = 0;
    int current_all = 0;
    QList<int> longest_of;    // by index in years
    bool shown_once = false;  // the first count has come
};
