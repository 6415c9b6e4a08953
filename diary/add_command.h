#pragma once
// Writing from the terminal, without a window:
//
//   sorane --add TEXT [--date yyyy/mm/dd] [--diary DIR]
//   sorane --add - ...        (the text from standard input, UTF-8)
//
// adds the text as a new paragraph at the end of the day (today without
// --date) through the diary's own save: the version it replaces goes to
// the history, characters code page 932 cannot hold get their exact-text
// companion, and a day changed on disk meanwhile is read again, never
// written over. The memo and the 思い出 mark stay as they are.
//
// One writer per diary folder: when a window holds the folder, the text is
// handed to it over its local connection (see app/terminal_add.cpp), and
// this command writes nothing itself. Otherwise the command holds the
// folder's lock while it writes, so that no window opens over a half-done
// save.

#include "diary/panel_date.h"
#include "diary/session.h"
#include "store/io_result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Clock;
class QIODevice;
class QTextStream;

// The day's text with the paragraph added: the paragraph alone on an empty
// day; otherwise after the old text and one blank line (nothing more when
// the text already ends in a blank line, one line break when it ends in
// one). The old text is kept byte for byte.
QString Text_with_paragraph(const QString& text, const QString& paragraph);

// The text as a paragraph: CR LF and lone CRs become line breaks, and the
// line breaks at its end (the one echo and editors put there) go.
QString Paragraph_of(const QString& typed);

struct Add_outcome {
    enum class Kind {
        Saved,       // the day was written
        Unreadable,  // the day could not be read: nothing written
        History,     // the version it would replace could not be kept
        Changed,     // the day kept changing on disk while it was being added
        Failed,      // not written (or only the memo's index line; see error)
    };
    Kind kind = Kind::Failed;
    Io_result error;
    // Characters of the paragraph code page 932 cannot hold: kept in the
    // day's exact-text companion, the day file has their substitutes.
    QList<Unmappable_char> unmappable;
};

// Adds the paragraph to the day through session's load, plan and write.
// The session's diary day is the added day afterwards.
Add_outcome Add_paragraph(Diary_session& session, const Panel_date& date, const QString& paragraph);

// What the outcome means for the user, in Japanese (reason words a failed
// file step).
QString Add_outcome_message(const Add_outcome& outcome, const Panel_date& date,
                            const std::function<QString(const Io_result&)>& reason);

// ---- The hand-over to the window that holds the folder.

// "add\n", the date key, the text's length in bytes, a line break each,
// then the text in UTF-8.
QByteArray Add_request_bytes(const Panel_date& date, const QString& paragraph);
struct Add_request {
    Panel_date date;
    QString paragraph;
};
// A whole request at the start of buffer, taken out of it; nothing while it
// is incomplete. bad is set for bytes that are no request.
std::optional<Add_request> Take_add_request(QByteArray& buffer, bool& bad);
// The largest paragraph handed over or added: a hundred times a long day.
inline constexpr qsizetype Add_text_limit = 4 * 1024 * 1024;

// The window's answer: one line of its kind, then the message to print.
struct Add_reply {
    enum class Kind {
        Saved,     // written through the save
        In_panel,  // the day is being edited: added to the panel, not saved yet
        Failed,    // nothing added; message says why
        No_answer  // no window answered (the client's own verdict)
    };
    Kind kind = Kind::No_answer;
    QString message;
};
QByteArray Add_reply_bytes(const Add_reply& reply);
Add_reply Add_reply_of(const QByteArray& bytes);

// Hands the request to the program listening at server_path; No_answer
// when none takes it.
using Add_hand_over =
    std::function<Add_reply(const QString& server_path, const QByteArray& request)>;

struct Add_command_links {
    QString lock_folder;  // Default_lock_folder()
    Clock& clock;
    QIODevice& input;  // standard input, for "-"
    Add_hand_over hand_over;
    std::function<QString(const Io_result&)> reason;
};

// arguments as QCoreApplication::arguments() gives them. Exit codes: 0 the
// text was added (saved, or put into the open window's panel), 2 an error:
// nothing was added.
int Run_add_command(const QStringList& arguments, const QString& program_folder,
                    const Add_command_links& links, QTextStream& out, QTextStream& err);
