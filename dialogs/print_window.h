#pragma once
// 印刷: the diary panel's day, or the days of a range of dates, printed
// through the print preview and Qt's print dialog (which writes PDF too),
// in the windows' Japanese font, each day under its date.

#include "diary/export.h"
#include "diary/panel_date.h"
#include "ui/placement.h"
#include "ui/print_document.h"

#include <QDialog>
#include <optional>

class QDateEdit;
class QLabel;
class QPrinter;
class QPushButton;
class QRadioButton;
class QTextDocument;

class Print_window : public QDialog {
    Q_OBJECT

public:
    // day is the diary panel's day, the one この日 prints.
    Print_window(const Dialog_host& main_host, const QString& app_dir, const Panel_date& day);
    ~Print_window() override;

    // The days chosen, each read exactly; nothing, with the reason told,
    // when there is nothing to print (a range backwards, no day with
    // anything written, the reading cancelled).
    std::optional<QList<Export_day>> Days_chosen();
    // The document of the days chosen, kept for the preview and the print;
    // false when there is nothing to print.
    bool Build_document();
    QTextDocument* Document() const { return document.get(); }
    // Prints the document built on the printer; a failure is told.
    bool Print(QPrinter& printer);

    QRadioButton* This_day = nullptr;
    QRadioButton* Range = nullptr;
    QDateEdit* From = nullptr;
    QDateEdit* To = nullptr;
    QPushButton* Preview = nullptr;
    QPushButton* Close = nullptr;

private:
    void Preview_Click();
    void Tell(const QString& text, bool warning);

    Dialog_host host;
    QString diary_dir;
    Panel_date panel_day;
    std::unique_ptr<QTextDocument> document;
    // The chosen days' pictures, made ready for paper with the days.
    QHash<QString, Print_picture> pictures;
};
