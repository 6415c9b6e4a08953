#pragma once
// Days laid out for paper: per day its date as a heading (with ★思い出),
// the memo, then the text as written, wrapped to the page. Long days run on
// across pages; each page has its number at the foot.

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <memory>

class QTextDocument;
struct Export_day;

// A day's picture made ready for paper: turned as its EXIF orientation
// says, at most Print_picture_side pixels on its longer side (enough for
// the page's width at some 250 dots an inch), kept encoded (JPEG, or PNG
// for one with transparency) so that many pictures do not fill the memory.
struct Print_picture {
    QByteArray encoded;  // empty when the picture could not be read
    QSize size;          // of the encoded picture
    QString error;       // why not, in Japanese
};
inline constexpr int Print_picture_side = 2000;
// The scheme of the pictures' names in the document, by which the print
// finds them to fit them to the page.
inline const QString Print_photo_scheme = QStringLiteral("sorane-photo");
// Reads the picture at path; safe on any thread.
Print_picture Prepare_print_picture(const QString& path);

// The document of the days, in the font given (the windows' own Japanese
// font); empty days are none of its business (the caller passes days that
// hold something). A day's pictures (Export_day::photos) follow its text,
// each in a paragraph of its own, from pictures (by the same relative
// path); one missing there or unreadable is named instead. Printing it is
// the print module's (ui/print_module.h).
std::unique_ptr<QTextDocument> Print_document(const QList<Export_day>& days, const QFont& font,
                                              const QHash<QString, Print_picture>& pictures = {});
