#include "app/terminal_add.h"

#include "app/main_form.h"
#include "app/single_instance.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

namespace {

constexpr int Connect_wait_ms = 2000;
constexpr int Write_wait_ms = 5000;
// A save of a day takes milliseconds; a disk that hangs is told as such.
constexpr int Answer_wait_ms = 30000;
// How long the news stays over the text.
constexpr int News_ms = 15000;

}  // namespace

Add_reply Hand_over_to_window(const QString& server_path, const QByteArray& request)
{
    if (server_path.isEmpty())
        return {};
    Local_client window;
    if (!window.Connect(server_path, Connect_wait_ms) || !window.Write_all(request, Write_wait_ms))
        return {};
    // The answer ends when the window closes the connection.
    QByteArray answer;
    while (window.Read_some(answer, Answer_wait_ms) == Local_client::Read::Bytes) {}
    Add_reply reply = Add_reply_of(answer);
    if (reply.kind == Add_reply::Kind::No_answer) {
        reply.kind = Add_reply::Kind::Failed;
        reply.message =
            QStringLiteral("この日記を開いている画面に文を渡しましたが、答えがありませんでした。\n"
                           "画面で日記を確かめてください（この端末からは書き込んでいません）。");
    }
    return reply;
}

void Show_news(QPlainTextEdit& text_box, const QString& message)
{
    auto* news = text_box.findChild<QLabel*>(QStringLiteral("News_line"));
    if (!news) {
        news = new QLabel(&text_box);
        news->setObjectName(QStringLiteral("News_line"));
        news->setWordWrap(true);
        news->setAutoFillBackground(true);
        news->setFrameShape(QFrame::Box);
        news->setMargin(1);
        news->setAttribute(Qt::WA_TransparentForMouseEvents);
        news->setFocusPolicy(Qt::NoFocus);
        QFont small = Diary_font();
        small.setPointSizeF(9);
        news->setFont(small);
        QPalette colours = news->palette();
        colours.setColor(QPalette::Window, look::Light_yellow);
        colours.setColor(QPalette::WindowText, Qt::black);
        news->setPalette(colours);
        auto* timer = new QTimer(news);
        timer->setObjectName(QStringLiteral("News_timer"));
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, news, &QWidget::hide);
        // It stands over the text: the next edit takes it away.
        QObject::connect(&text_box, &QPlainTextEdit::textChanged, news, &QWidget::hide);
    }
    news->setText(message);
    // Inside the frame, on the bottom edge, from the left: the note on
    // characters the Windows program cannot show keeps the right.
    const QRect inside = text_box.viewport()->geometry();
    news->setFixedWidth(std::min(inside.width(), std::max(inside.width() / 2, 200)));
    news->adjustSize();
    news->move(inside.left(), inside.bottom() + 1 - news->height());
    news->raise();
    news->show();
    news->findChild<QTimer*>(QStringLiteral("News_timer"))->start(News_ms);
}

Add_reply Main_form::Add_from_terminal(const Add_request& request)
{
    const QString day = request.date.Key();
    auto refused = [](const QString& message) {
        return Add_reply{Add_reply::Kind::Failed, message};
    };
    // A question, a dialog or the window's own start or end is under way:
    // a save now could cross the one it belongs to.
    if (ended || !isVisible())
        return refused(QStringLiteral("日記の画面が起動中か終了中のため、%1 に追加しませんでした。"
                                      "しばらくしてから、もう一度実行してください。")
                           .arg(day));
    if (QApplication::activeModalWidget() || diary_moving)
        return refused(
            QStringLiteral(
                "日記の画面で別の窓や問い合わせが開いているため、%1 に追加しませんでした。"
                "その窓を閉じてから、もう一度実行してください。")
                .arg(day));
    const Panel_date& shown = session.Diary_date();
    const bool panel_day = request.date == shown;
    // A word still composing in the panel's day is part of its edit.
    if (panel_day)
        Commit_composition();
    if (panel_day && session.Edited(Current_entry())) {
        // A day the panel could not read is never saved from the panel:
        // the paragraph would stay there unsaved.
        if (!session.Day_readable())
            return refused(
                QStringLiteral("%1 は画面で読み込めなかった日のため、追加しませんでした。")
                    .arg(day));
        // The day is being written: the paragraph joins the panel, and the
        // window's save writes both.
        const QString text = Text2->toPlainText();
        QTextCursor end(Text2->document());
        end.movePosition(QTextCursor::End);
        end.insertText(Text_with_paragraph(text, request.paragraph).mid(text.size()));
        Show_news(*Text2,
                  QStringLiteral("端末からの文を最後に加えました（まだ保存していません）。"));
        return {
            Add_reply::Kind::In_panel,
            QStringLiteral("%1 は画面で書きかけのため、端末からの文を日記の欄の最後に加えました。"
                           "まだ保存していません（日を移るか、Ctrl+S か、終了で保存します）。")
                .arg(day)};
    }
    // A session of its own for the day, so that the panel's day, which may
    // be another one being written, stays as it is.
    Diary_session adding(session.App_dir(), session.Time());
    const Add_outcome outcome = Add_paragraph(adding, request.date, request.paragraph);
    const QString message = Add_outcome_message(outcome, request.date, Io_reason);
    if (outcome.kind != Add_outcome::Kind::Saved)
        return refused(message);
    // The panel's day, unedited, is shown as saved.
    if (panel_day)
        Load_diary_day(shown.year, shown.month, shown.day);
    if (request.date == session.Reference_date())
        Load_reference_text();
    Show_news(*Text2, QStringLiteral("端末からの文を %1 に加えて保存しました。").arg(day));
    return {Add_reply::Kind::Saved, QStringLiteral("開いている日記の画面で、") + message};
}
