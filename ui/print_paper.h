#pragma once
// The printing itself, in the print module (see ui/print_module.h): a
// document of days on a printer or into a PDF file, the preview, and one
// page drawn through the print dialog.

#include <QString>

class QPrinter;
class QTextDocument;

// Prints the document on the printer, page numbers at the foot; each picture
// as wide as the text on the page (and never taller than most of a page),
// whatever the paper and its orientation; emoji that only the colour emoji
// font has go on paper as pictures of themselves. While the diary is
// locked, a print to a printer spools into the user's own memory-held
// folder (see ui/private_spool.h). Returns the failure in words for the
// user, empty when it printed: a PDF file that could not be written, a
// printer that refused.
QString Print_to(QTextDocument& document, QPrinter& printer, bool diary_locked);
