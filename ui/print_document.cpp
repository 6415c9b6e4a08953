#include "ui/print_document.h"

#include "diary/export.h"
#include "store/diary_files.h"

#include <QBuffer>
#include <QColor>
#include <QFontMetricsF>
#include <QImageReader>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>

Print_picture Prepare_print_picture(const QString& path)
{
    Print_picture out;
    // Read as every diary file is (a regular file, never through a link
    // at its name), then decoded from memory.
    QByteArray bytes;
    bool exists = false;
    const Io_result read = Read_diary_file(path, bytes, exists);
    if (!read.Ok() || !exists) {
        out.error = !exists ? QStringLiteral("ファイルが見つかりません")
                            : QStringLiteral("ファイルを読めません");
        return out;
    }
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    // The side before turning: a picture turned a quarter keeps its sides.
    QSize full = reader.size();
    if (full.isValid() && std::max(full.width(), full.height()) > Print_picture_side)
        reader.setScaledSize(
            full.scaled(Print_picture_side, Print_picture_side, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull()) {
        out.error = QStringLiteral("画像として読めません");
        return out;
    }
    if (std::max(image.width(), image.height()) > Print_picture_side)
        image = image.scaled(Print_picture_side, Print_picture_side, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    QBuffer buffer(&out.encoded);
    buffer.open(QIODevice::WriteOnly);
    const bool alpha = image.hasAlphaChannel();
    if (!image.save(&buffer, alpha ? "PNG" : "JPEG", alpha ? -1 : 92)) {
        out.encoded.clear();
        out.error = QStringLiteral("画像として読めません");
        return out;
    }
    out.size = image.size();
    return out;
}

std::unique_ptr<QTextDocument> Print_document(const QList<Export_day>& days, const QFont& font,
                                              const QHash<QString, Print_picture>& pictures)
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
        // The pictures after the text, one paragraph each, in their own
        // size until the print fits them to the page.
        for (const QString& photo : day.photos) {
            const auto found = pictures.constFind(photo);
            QTextBlockFormat picture_block;
            picture_block.setTopMargin(line * 0.5);
            if (found == pictures.cend() || found->encoded.isEmpty()) {
                cursor.insertBlock(text_block, memo);
                cursor.insertText(QStringLiteral("（写真を印刷できません：%1　%2）")
                                      .arg(photo.section(QLatin1Char('/'), -1),
                                           found == pictures.cend()
                                               ? QStringLiteral("読み込めませんでした")
                                               : found->error),
                                  memo);
                continue;
            }
            cursor.insertBlock(picture_block, plain);
            const QUrl name(Print_photo_scheme + QLatin1Char(':') +
                            QString::fromLatin1(photo.toUtf8().toHex()));
            document->addResource(QTextDocument::ImageResource, name, found->encoded);
            QTextImageFormat image;
            image.setName(name.toString());
            image.setWidth(found->size.width());
            image.setHeight(found->size.height());
            image.setProperty(QTextFormat::UserProperty, found->size);
            cursor.insertImage(image);
        }
    }
    return document;
}
