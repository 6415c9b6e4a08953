#include "ui/print_document.h"

#include "diary/export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::unique_ptr<QTextDocument> Print_document(const QList<Export_day>& days, const QFont& font)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(font);
    document->setDocumentMargin(0);
    QTextCursor cursor(document.get());

    QTextCharFormat plain;
    plain.setFont(font);
    QTextCharFormat heading = plain;
    heading.setFontWeight(QFont::Bold);
    heading.setFontPointSize(font.pointSizeF() * 1.2);
    QTextCharFormat mark = plain;
    mark.setForeground(QColor(192, 96, 0));
    QTextCharFormat memo = plain;
    memo.setForeground(QColor(85, 85, 85));

    const qreal line = QFontMetricsF(font).lineSpacing();
    QTextBlockFormat heading_block;
    heading_block.setTopMargin(line * 1.5);
    heading_block.setBottomMargin(line * 0.5);
    QTextBlockFormat first_heading_block = heading_block;
    first_heading_block.setTopMargin(0);
    QTextBlockFormat text_block;
    text_block.setLineHeight(120, QTextBlockFormat::ProportionalHeight);

    bool first = true;
    for (const Export_day& day : days) {
        // The first block is the document's own; every other day starts a
        // new one.
        if (first)
            cursor.setBlockFormat(first_heading_block);
        else
            cursor.insertBlock(heading_block, heading);
        first = false;
        cursor.insertText(Export_heading(day), heading);
        if (day.memory) {
            cursor.insertText(QStringLiteral("　"), heading);
            cursor.insertText(QStringLiteral("★思い出"), mark);
        }
        if (!day.memo.isEmpty()) {
            cursor.insertBlock(text_block, memo);
            cursor.insertText(QStringLiteral("メモ：") + day.memo, memo);
        }
        if (!day.text.isEmpty()) {
            cursor.insertBlock(text_block, plain);
            // Each line of the text is a paragraph of its own; its spaces
            // and tabs are kept as typed.
            cursor.insertText(day.text, plain);
        }
    }
    return document;
}

QString Print_to(QTextDocument& document, QPrinter& printer)
{
    const QString pdf =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    bool made = false;
    if (!pdf.isEmpty()) {
        // The PDF writer gives no reason when it cannot open its file: find
        // it here, in words the user can act on. The file holds the diary's
        // text, so it is the user's alone (0600) before a byte goes into it:
        // the writer truncates the file and keeps its mode.
        const QByteArray name = QFile::encodeName(pdf);
        struct stat before {};
        const bool existed = ::stat(name.constData(), &before) == 0;
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return QStringLiteral("PDF ファイルを書き込めませんでした。\n%1\n"
                                  "書き込めるフォルダーと名前を選んで、もう一度印刷してください。")
                .arg(QDir::toNativeSeparators(pdf));
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid())
            ::fchmod(fd, 0600);
        ::close(fd);
        made = !existed;
    }
    document.print(&printer);
    if (printer.printerState() == QPrinter::Error ||
        (!pdf.isEmpty() && QFileInfo(pdf).size() == 0)) {
        if (made)
            QFile::remove(pdf);
        return pdf.isEmpty()
                   ? QStringLiteral("印刷できませんでした。\n"
                                    "プリンターの電源と設定を確かめて、もう一度印刷してください。")
                   : QStringLiteral("PDF ファイルを書き込めませんでした。\n%1\n"
                                    "ディスクの空きを確かめて、もう一度印刷してください。")
                         .arg(QDir::toNativeSeparators(pdf));
    }
    return QString();
}
