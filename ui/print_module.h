#pragma once
// Printing lives in a module of its own (sorane-print.so, which links Qt
// Print Support), loaded when something is first printed: a start-up maps
// neither the module nor Qt Print Support and its printer plugins. The
// module needs nothing of the program but Qt: what it must ask of the
// program (running a window modally, drawing a page, the diary being
// locked) comes in as arguments, and printers stay opaque (QPrinter is only
// declared here).

#include <QString>
#include <functional>

class QDialog;
class QPainter;
class QPrinter;
class QRect;
class QTextDocument;
class QWidget;

// Runs a dialog of the module modally the way the program runs its own
// (Platform::Run_modal), returning its result code.
using Run_dialog = std::function<int(QDialog&)>;

enum class Page_print {
    Printed,
    Cancelled,
    Failed
};

// The entry points of the module, fixed for one build of the program.
struct Print_calls {
    // Print_calls_version of the module's build: checked on loading, so
    // that a module with other entry points is refused.
    int version;
    // Lays the document out on the printer and prints it, page numbers at
    // the foot (see ui/print_paper.h). diary_locked: the pages never wait
    // for the printer on disk. The failure in words for the user, or empty.
    QString (*print_to)(QTextDocument& document, QPrinter& printer, bool diary_locked);
    // The print preview of an A4 document named document_name: paint is
    // asked to draw on the preview's printer and again on the printer the
    // user prints to.
    void (*preview)(QWidget* parent, const QString& document_name, const QString& title,
                    const Run_dialog& run, const std::function<void(QPrinter&)>& paint);
    // One page on A4 through the print dialog: paint draws it in the page's
    // rectangle. The page is taken for a secret: a PDF file of it is the
    // user's alone, and a print to a printer spools it in memory where it
    // can (see ui/private_spool.h). Failed: the file or the printer could
    // not be opened.
    Page_print (*print_page)(QWidget* parent, const QString& document_name,
                             const QString& dialog_title, const Run_dialog& run,
                             const std::function<void(QPainter&, const QRect&)>& paint);
};

inline constexpr int Print_calls_version = 1;

// The module's one exported symbol.
extern "C" const Print_calls* sorane_print_calls();

// The module's calls, loaded on the first call (from beside the program, or
// from the installed library folder); nullptr when it cannot be loaded,
// failure then holding the message for the user, in Japanese.
const Print_calls* Print_module(QString& failure);
