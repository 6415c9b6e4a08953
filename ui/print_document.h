#pragma once
// Days laid out for paper: per day its date as a heading (with ★思い出),
// the memo, then the text as written, wrapped to the page. Long days run on
// across pages; each page has its number at the foot.

#include <QFont>
#include <QList>
#include <QString>
#include <memory>

class QPrinter;
class QTextDocument;
struct Export_day;

// The document of the days, in the font given (the windows' own Japanese
// font); empty days are none of its business (the caller passes days that
// hold something).
std::unique_ptr<QTextDocument> Print_document(const QList<Export_day>& days, const QFont& font);

// Prints the document on the printer, page numbers at the foot; emoji that
// only the colour emoji font has go on paper as pictures of themselves. Returns
// the failure in words for the user, empty when it printed: a PDF file that
// could not be written, a printer that refused.
QString Print_to(QTextDocument& document, QPrinter& printer);
