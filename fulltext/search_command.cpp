#include "fulltext/search_command.h"

#include "diary/command_line.h"
#include "diary/panel_date.h"
#include "fulltext/day_line.h"
#include "fulltext/fulltext.h"
#include "fulltext/in_order.h"
#include "store/io_result.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QIODevice>
#include <QStringEncoder>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

// Bytes printed as they are: on the stream's device when it has one (its
// own text written first), else as the UTF-8 text they are.
void Write_utf8(QTextStream& out, const QByteArray& bytes)
{
    if (QIODevice* device = out.device()) {
        out.flush();
        device->write(bytes);
    } else {
        out << QString::fromUtf8(bytes);
    }
}

}  // namespace

int Run_search_command(const QStringList& arguments, const QString& program_folder,
                       const QString& cache_folder, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption search_option(
        QStringLiteral("search"), QStringLiteral("探す言葉（空白で区切るとすべてを含む日）。"),
        QStringLiteral("WORDS"));
    const QCommandLineOption from_option(QStringLiteral("from"),
                                         QStringLiteral("この日から（yyyy/mm/dd）。"),
                                         QStringLiteral("yyyy/mm/dd"));
    const QCommandLineOption to_option(QStringLiteral("to"),
                                       QStringLiteral("この日まで（yyyy/mm/dd）。"),
                                       QStringLiteral("yyyy/mm/dd"));
    const QCommandLineOption memory_option(QStringLiteral("memory"),
                                           QStringLiteral("思い出の日だけを探します。"));
    const Command_help help{
        QStringLiteral("sorane --search WORDS [--from yyyy/mm/dd] [--to yyyy/mm/dd] [--memory] "
                       "[--diary DIR]"),
        QStringLiteral("日記の本文とメモの全文検索。見つかった日を古い順に"
                       "「年/月/日<タブ>前後の文」で出力します。\n"
                       "終了コード: 0 見つかった、1 見つからなかった、2 エラー。")};
    if (const std::optional<int> ended = Parse_command(
            parser,
            {search_option, from_option, to_option, memory_option, Diary_option(), Help_option()},
            help, arguments, out, err))
        return *ended;
    if (Refuse_extra_arguments(parser, 0, err))
        return 2;
    // The range, as date numbers (yyyymmdd); every year without one.
    int first_date = 101;
    int last_date = 9999 * 10000 + 1231;
    for (const auto& [option, date_number] :
         {std::pair{&from_option, &first_date}, {&to_option, &last_date}}) {
        if (!parser.isSet(*option))
            continue;
        const std::optional<Panel_date> date = Diary_date_argument(parser.value(*option));
        if (!date) {
            err << QStringLiteral("日付は %1 から %2 までの yyyy/mm/dd で指定してください: %3")
                       .arg(First_year)
                       .arg(Last_year)
                       .arg(parser.value(*option))
                << Qt::endl;
            return 2;
        }
        *date_number = date->year * 10000 + date->month * 100 + date->day;
    }
    if (first_date > last_date) {
        err << QStringLiteral("期間の始めの日が終わりの日より後になっています: --from %1 --to %2")
                   .arg(parser.value(from_option), parser.value(to_option))
            << Qt::endl;
        return 2;
    }
    const std::optional<QString> folder = Diary_folder_of(parser, program_folder, err);
    if (!folder)
        return 2;
    const QString& diary = *folder;
    Fulltext_search search{parser.value(search_option), first_date / 10000, last_date / 10000,
                           false};
    search.snippets = true;
    search.printed_lines = true;
    if (Search_words(search.typed, {}).isEmpty()) {
        err << QStringLiteral("探す言葉がありません。") << Qt::endl;
        return 2;
    }
    Fulltext_index index(diary, cache_folder, Read_fold_options(diary),
                         Fulltext_index::Start::Never);
    const bool memory_only = parser.isSet(memory_option);
    const auto wanted = [&](const Fulltext_hit& hit) {
        return hit.date >= first_date && hit.date <= last_date && (!memory_only || hit.memory);
    };
    // A hit's line with its date, appended as UTF-8, when the search did
    // not make it from the day's bytes: from its text (a companion, other
    // words, the index's days).
    const Diary_store store(diary);
    const QStringList words = Search_words(search.typed, index.Options());
    const Line_words line_words = Line_words_of(words, index.Options());
    const auto append_line = [&](QByteArray& line, const Fulltext_hit& hit) {
        Snippet snippet =
            hit.snippet ? *hit.snippet : Day_line(store, hit.date, line_words, index.Options());
        // A day found by its memo alone shows the memo.
        if (snippet.marks.isEmpty() && !hit.memo.isEmpty())
            snippet = Marked(hit.memo, words, index.Options());
        // As the stream converts it: a pair of surrogates cut at the
        // line's end is a replacement character.
        snippet.text += u'\n';
        QStringEncoder to_utf8(QStringConverter::Utf8);
        Append_printed_date(line, hit.date);
        line += QByteArray(to_utf8(snippet.text));
    };
    // When the files are read, each year's lines are printed as soon as it
    // and the years before it are read, while the other cores read on: one
    // write a year. The lines the search made from the bytes are written
    // as it made them, all at once when they are all of the year's.
    qsizetype printed = 0;
    QByteArray run;
    search.take_year_hits = [&](std::vector<Fulltext_hit>& hits, const QByteArray& lines) {
        if (std::all_of(hits.cbegin(), hits.cend(),
                        [&](const Fulltext_hit& hit) { return hit.line_at >= 0 && wanted(hit); })) {
            printed += qsizetype(hits.size());
            if (!lines.isEmpty())
                Write_utf8(out, lines);
            return;
        }
        run.clear();
        for (const Fulltext_hit& hit : hits) {
            if (!wanted(hit))
                continue;
            ++printed;
            if (hit.line_at >= 0)
                run.append(lines.constData() + hit.line_at, hit.line_size);
            else
                append_line(run, hit);
        }
        if (!run.isEmpty())
            Write_utf8(out, run);
    };
    Fulltext_result result = index.Search(search);
    // The index leaves out a file it could not read, and tries it again at
    // the next search; the answer is the one the reading of the files gives.
    if (!result.scanned) {
        const QList<Io_result> unread =
            index.Files_not_indexed(search.first_year, search.last_year);
        if (!unread.isEmpty() && result.unreadable == 0)
            result.first_unreadable = unread.constFirst();
        result.unreadable += int(unread.size());
    }
    // The years searched hold the range; its first and last year are cut
    // to its days.
    std::erase_if(result.hits, [&](const Fulltext_hit& hit) { return !wanted(hit); });
    printed += qsizetype(result.hits.size());
    // The index's days: each line made from its day file on every core,
    // and printed in order as soon as it and those before it are made.
    Make_in_order(
        result.hits.size(), 256,
        [&](size_t i) {
            const Fulltext_hit& hit = result.hits[i];
            if (hit.line_at >= 0)
                return result.printed.sliced(hit.line_at, hit.line_size);
            QByteArray line;
            append_line(line, hit);
            return line;
        },
        [&out](size_t, const std::vector<QByteArray>& lines) {
            // A run's lines written at once.
            qsizetype size = 0;
            for (const QByteArray& line : lines)
                size += line.size();
            QByteArray lines_run;
            lines_run.reserve(size);
            for (const QByteArray& line : lines)
                lines_run += line;
            Write_utf8(out, lines_run);
        });
    out.flush();
    if (result.unreadable > 0) {
        err << QStringLiteral("読めないファイルが %1 件ありました（%2）。")
                   .arg(result.unreadable)
                   .arg(result.first_unreadable.path)
            << Qt::endl;
        return 2;
    }
    return printed == 0 ? 1 : 0;
}
