#include "diary/add_command.h"

#include "diary/command_line.h"
#include "diary/folder_lock.h"
#include "diary/program_folder.h"
#include "platform/clock.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QDir>
#include <QIODevice>
#include <QStringDecoder>
#include <QTextStream>

QString Text_with_paragraph(const QString& text, const QString& paragraph)
{
    if (text.isEmpty())
        return paragraph;
    if (text.endsWith(QStringLiteral("\n\n")))
        return text + paragraph;
    if (text.endsWith(QLatin1Char('\n')))
        return text + QLatin1Char('\n') + paragraph;
    return text + QStringLiteral("\n\n") + paragraph;
}

QString Paragraph_of(const QString& typed)
{
    QString paragraph = typed;
    paragraph.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    paragraph.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (paragraph.endsWith(QLatin1Char('\n')))
        paragraph.chop(1);
    return paragraph;
}

Add_outcome Add_paragraph(Diary_session& session, const Panel_date& date, const QString& paragraph)
{
    Add_outcome outcome;
    if (const Io_result r = session.Check_program_folder(); !r.Ok()) {
        outcome.error = r;
        outcome.error.path_is_folder = true;
        return outcome;
    }
    // A day changed on disk between the read and the write is read again
    // and the paragraph added to what it holds then; a few times at most.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!Diary_store::Folder_exists(session.Store().Year_folder(date.year))) {
            session.Load_empty_day(date);
        } else {
            const Diary_session::Day_read read = session.Load_diary_day(date);
            if (!read.index_error.Ok() || !read.text_error.Ok()) {
                outcome.kind = Add_outcome::Kind::Unreadable;
                outcome.error = read.index_error.Ok() ? read.text_error : read.index_error;
                return outcome;
            }
        }
        Day_entry now = session.Loaded_day();
        now.text = Text_with_paragraph(now.text, paragraph);
        Diary_session::Day_plan plan = session.Plan_day_save(now, Diary_session::Who::User);
        const Diary_session::Save_result result = plan.result == Diary_session::Save_result::Saved
                                                      ? session.Write_day(plan)
                                                      : plan.result;
        outcome.error = plan.error;
        // Those of the paragraph: the day's own were told when they were
        // written.
        outcome.unmappable.clear();
        for (const Unmappable_char& c : plan.unmappable)
            if (paragraph.contains(c.character))
                outcome.unmappable << c;
        switch (result) {
        case Diary_session::Save_result::Saved:
            outcome.kind = Add_outcome::Kind::Saved;
            return outcome;
        case Diary_session::Save_result::Changed_on_disk:
            outcome.kind = Add_outcome::Kind::Changed;
            continue;
        case Diary_session::Save_result::Unchanged:
        case Diary_session::Save_result::Declined:
        case Diary_session::Save_result::Failed: break;
        }
        outcome.kind = plan.failure == Diary_session::Failure::History ? Add_outcome::Kind::History
                       : plan.failure == Diary_session::Failure::Unreadable_day
                           ? Add_outcome::Kind::Unreadable
                           : Add_outcome::Kind::Failed;
        return outcome;
    }
    return outcome;
}

QString Add_outcome_message(const Add_outcome& outcome, const Panel_date& date,
                            const std::function<QString(const Io_result&)>& reason)
{
    const QString day = date.Key();
    auto with_file = [&](const QString& headline) {
        if (outcome.error.Ok())
            return headline;
        return headline +
               (outcome.error.path_is_folder ? QStringLiteral("\nフォルダー: ")
                                             : QStringLiteral("\nファイル: ")) +
               QDir::toNativeSeparators(outcome.error.path) + QStringLiteral("\n理由: ") +
               reason(outcome.error);
    };
    switch (outcome.kind) {
    case Add_outcome::Kind::Saved: {
        QString message = QStringLiteral("%1 の日記に追加しました。").arg(day);
        if (!outcome.unmappable.isEmpty()) {
            QStringList characters;
            for (const Unmappable_char& c : outcome.unmappable)
                characters << c.character;
            message += QStringLiteral("\nシフトJISで表せない文字（%1）は、そのままの形でも"
                                      "残しました。Windows 版では代わりの文字で表示されます。")
                           .arg(characters.join(QStringLiteral("、")));
        }
        return message;
    }
    case Add_outcome::Kind::Unreadable:
        return with_file(
            QStringLiteral("%1 の日記を読み込めないため、追加しませんでした。").arg(day));
    case Add_outcome::Kind::History:
        return with_file(
            QStringLiteral("%1 の日記の今の版を履歴に残せないため、追加しませんでした。").arg(day));
    case Add_outcome::Kind::Changed:
        return QStringLiteral("%1 の日記がほかで書き換えられ続けているため、追加しませんでした。"
                              "しばらくしてから、もう一度実行してください。")
            .arg(day);
    case Add_outcome::Kind::Failed: break;
    }
    return with_file(QStringLiteral("%1 の日記に追加できませんでした。").arg(day));
}

// ---- The hand-over.

namespace {

const QByteArray Add_line = QByteArrayLiteral("add");
const QByteArray Saved_line = QByteArrayLiteral("saved");
const QByteArray Panel_line = QByteArrayLiteral("panel");
const QByteArray Failed_line = QByteArrayLiteral("failed");

}  // namespace

QByteArray Add_request_bytes(const Panel_date& date, const QString& paragraph)
{
    const QByteArray text = paragraph.toUtf8();
    return Add_line + '\n' + date.Key().toLatin1() + '\n' + QByteArray::number(text.size()) + '\n' +
           text;
}

std::optional<Add_request> Take_add_request(QByteArray& buffer, bool& bad)
{
    bad = false;
    QList<QByteArray> head;
    qsizetype at = 0;
    while (head.size() < 3) {
        const qsizetype end = buffer.indexOf('\n', at);
        if (end < 0) {
            // A head longer than its three short lines is no request.
            bad = buffer.size() - at > 32;
            return std::nullopt;
        }
        head << buffer.mid(at, end - at);
        at = end + 1;
        if (head.size() == 1 && head.constFirst() != Add_line) {
            bad = true;
            return std::nullopt;
        }
    }
    const std::optional<Panel_date> date = Diary_date_argument(QString::fromLatin1(head[1]));
    bool number = false;
    const qsizetype length = head[2].toLongLong(&number);
    if (!date || !number || length < 0 || length > Add_text_limit * 4) {
        bad = true;
        return std::nullopt;
    }
    if (buffer.size() - at < length)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(buffer.mid(at, length));
    if (utf8.hasError()) {
        bad = true;
        return std::nullopt;
    }
    buffer.remove(0, at + length);
    return Add_request{*date, text};
}

QByteArray Add_reply_bytes(const Add_reply& reply)
{
    const QByteArray& line = reply.kind == Add_reply::Kind::Saved      ? Saved_line
                             : reply.kind == Add_reply::Kind::In_panel ? Panel_line
                                                                       : Failed_line;
    return line + '\n' + reply.message.toUtf8();
}

Add_reply Add_reply_of(const QByteArray& bytes)
{
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0)
        return {};
    const QByteArray line = bytes.left(end);
    Add_reply reply;
    reply.message = QString::fromUtf8(bytes.mid(end + 1));
    reply.kind = line == Saved_line    ? Add_reply::Kind::Saved
                 : line == Panel_line  ? Add_reply::Kind::In_panel
                 : line == Failed_line ? Add_reply::Kind::Failed
                                       : Add_reply::Kind::No_answer;
    return reply;
}

// ---- The command.

namespace {

// A program that is ending gives its folder up within this time.
constexpr int Ending_wait_ms = 3000;

// The text of "-": standard input, whole, in UTF-8.
std::optional<QString> Read_input(QIODevice& input, QTextStream& err)
{
    const QByteArray bytes = input.read(Add_text_limit + 1);
    if (bytes.size() > Add_text_limit) {
        err << QStringLiteral("加える文が長すぎます（%1MBまでです）。")
                   .arg(Add_text_limit / (1024 * 1024))
            << Qt::endl;
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError()) {
        err << QStringLiteral("標準入力の文を UTF-8 として読めないため、追加しませんでした。\n"
                              "シフトJISのファイルは iconv -f CP932 -t UTF-8 で変換してから"
                              "渡してください。")
            << Qt::endl;
        return std::nullopt;
    }
    return text;
}

}  // namespace

int Run_add_command(const QStringList& arguments, const QString& program_folder,
                    const Add_command_links& links, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption add_option(
        QStringLiteral("add"), QStringLiteral("日記に加える文（- のときは標準入力から読みます）。"),
        QStringLiteral("TEXT"));
    const QCommandLineOption date_option(QStringLiteral("date"),
                                         QStringLiteral("加える日（yyyy/mm/dd、省略時は今日）。"),
                                         QStringLiteral("yyyy/mm/dd"));
    const Command_help help{
        QStringLiteral("sorane --add TEXT [--date yyyy/mm/dd] [--diary DIR]"),
        QStringLiteral(
            "日記の一日の最後に、文を新しい段落として加えて保存します（メモと思い出はそのまま）。\n"
            "その日にすでに文があるときは、一行空けてから加えます。TEXT が - のときは標準入力の"
            "文（UTF-8）を加えます。\n"
            "日記の画面が開いているときは、その画面に渡します。画面でその日を書きかけのときは"
            "日記の欄の最後に加えるだけで、保存は画面で行います。\n"
            "終了コード: 0 加えた、2 エラー（何も加えていません）。")};
    if (const std::optional<int> ended =
            Parse_command(parser, {add_option, date_option, Diary_option(), Help_option()}, help,
                          arguments, out, err))
        return *ended;
    if (Refuse_extra_arguments(parser, 0, err))
        return 2;
    std::optional<Panel_date> date = Panel_date::Of(links.clock.Now().date());
    if (parser.isSet(date_option))
        date = Diary_date_argument(parser.value(date_option));
    if (!date || !(date->Clamped() == *date)) {
        err << QStringLiteral("日付は %1 から %2 までの yyyy/mm/dd で指定してください: %3")
                   .arg(First_year)
                   .arg(Last_year)
                   .arg(parser.isSet(date_option) ? parser.value(date_option)
                                                  : QStringLiteral("今日"))
            << Qt::endl;
        return 2;
    }
    const std::optional<QString> diary = Diary_folder_of(parser, program_folder, err);
    if (!diary)
        return 2;
    const bool from_input = parser.value(add_option) == QLatin1String("-");
    const std::optional<QString> typed =
        from_input ? Read_input(links.input, err) : parser.value(add_option);
    if (!typed)
        return 2;
    const QString paragraph = Paragraph_of(*typed);
    if (paragraph.trimmed().isEmpty()) {
        err << QStringLiteral("加える文がありません。") << Qt::endl;
        return 2;
    }
    if (paragraph.size() > Add_text_limit) {
        err << QStringLiteral("加える文が長すぎます（%1MBまでです）。")
                   .arg(Add_text_limit / (1024 * 1024))
            << Qt::endl;
        return 2;
    }

    Diary_session session(Folder_with_slash(*diary), links.clock);
    // What came from standard input exists nowhere else: when it could not
    // be added, it is kept in a rescue file.
    auto not_added = [&](const QString& message) {
        err << message << Qt::endl;
        if (from_input) {
            const Diary_session::Rescue_write kept =
                session.Write_rescue_file(session.New_rescue_path(), {paragraph, {}, false});
            if (!kept.path.isEmpty())
                err << QStringLiteral("加える文は次のファイルに残しました: %1")
                           .arg(QDir::toNativeSeparators(kept.path))
                    << Qt::endl;
        }
        return 2;
    };

    Folder_lock lock(*diary, links.lock_folder);
    Folder_lock::State state = lock.Take();
    if (state == Folder_lock::State::Held_by_other) {
        const Add_reply reply =
            links.hand_over(lock.Server_path(), Add_request_bytes(*date, paragraph));
        switch (reply.kind) {
        case Add_reply::Kind::Saved:
        case Add_reply::Kind::In_panel: out << reply.message << Qt::endl; return 0;
        case Add_reply::Kind::Failed: return not_added(reply.message);
        case Add_reply::Kind::No_answer: break;
        }
        // No answer: the window may be ending, and gives the folder up.
        state = lock.Take(Ending_wait_ms);
        if (state == Folder_lock::State::Held_by_other)
            return not_added(QStringLiteral(
                "この日記を開いている画面が応答しないため、追加しませんでした。\n"
                "画面で直接書き加えるか、画面を閉じてから、もう一度実行してください。"));
    }
    if (state == Folder_lock::State::Unavailable)
        err << QStringLiteral("日記のフォルダーの鍵を作れないため、ほかの画面と重ならないことを"
                              "確かめずに書き込みます。")
            << Qt::endl;
    const Add_outcome outcome = Add_paragraph(session, *date, paragraph);
    const QString message = Add_outcome_message(outcome, *date, links.reason);
    if (outcome.kind != Add_outcome::Kind::Saved)
        return not_added(message);
    out << message << Qt::endl;
    return 0;
}
