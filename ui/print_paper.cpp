#include "ui/print_paper.h"

#include "ui/pdf_text.h"
#include "ui/print_document.h"
#include "ui/print_module.h"
#include "ui/private_spool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRawFont>
#include <QSet>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Colour_emoji_family = QStringLiteral("Noto Color Emoji");

// The PDF writer cannot embed a colour emoji font: its glyphs would come out
// blank on paper and in the PDF. Such characters are drawn into pictures
// put in the paper's copy of the text where they stand, as the window
// shows them. Everything
// else stays text: a character of the font or of one of the faces standing
// in for it (Noto's CJK fonts for 𠮷) is drawn as text, as the window does.
class Colour_emoji {
public:
    Colour_emoji(QTextDocument& doc, const QFont& font) : document(doc), emoji(Colour_emoji_family)
    {
        for (const QString& family : QFont::substitutes(font.family()))
            if (family.compare(Colour_emoji_family, Qt::CaseInsensitive) != 0)
                text_faces << QRawFont::fromFont(QFont(family));
        text_faces << QRawFont::fromFont(font);
        colour = QRawFont::fromFont(emoji);
    }

    // Every character only the colour emoji font has becomes a picture of
    // the size of its letters. The last first, so that the places found stay
    // where they are.
    void Replace_all()
    {
        struct Found {
            int position;
            int length;
            QTextCharFormat format;
            QString cluster;
        };
        QList<Found> found;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QString text = fragment.text();
                QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
                qsizetype at = 0;
                while (at < text.size()) {
                    qsizetype next = clusters.toNextBoundary();
                    if (next < 0)
                        next = text.size();
                    const QString cluster = text.mid(at, next - at);
                    if (In_colour(cluster))
                        found.append({fragment.position() + int(at), int(next - at),
                                      fragment.charFormat(), cluster});
                    at = next;
                }
            }
        QTextCursor cursor(&document);
        for (auto it = found.crbegin(); it != found.crend(); ++it) {
            cursor.setPosition(it->position);
            cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
            cursor.insertImage(Picture_of(it->cluster, it->format));
        }
    }

private:
    bool In_colour(const QString& cluster) const
    {
        const char32_t first = cluster.toUcs4().value(0);
        if (first < 0x80 || !colour.isValid() || !colour.supportsCharacter(first))
            return false;
        // An emoji asked for by its variation selector, or one no face of
        // text has.
        if (cluster.contains(QChar(0xFE0F)))
            return true;
        return std::none_of(text_faces.begin(), text_faces.end(), [first](const QRawFont& face) {
            return face.isValid() && face.supportsCharacter(first);
        });
    }

    QTextImageFormat Picture_of(const QString& cluster, const QTextCharFormat& format)
    {
        const QUrl name(
            QStringLiteral("sorane-emoji:%1").arg(QString::fromLatin1(cluster.toUtf8().toHex())));
        if (!made.contains(cluster)) {
            // Drawn large, so that paper shows it sharp; the document scales
            // it to the letters.
            constexpr int side = 160;
            QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::transparent);
            QPainter painter(&picture);
            QFont face = emoji;
            face.setPixelSize(side * 7 / 8);
            painter.setFont(face);
            painter.drawText(picture.rect(), Qt::AlignCenter, cluster);
            painter.end();
            document.addResource(QTextDocument::ImageResource, name, picture);
            made.insert(cluster);
        }
        const QFontMetricsF metrics(format.font());
        QTextImageFormat image;
        image.setName(name.toString());
        image.setWidth(metrics.height());
        image.setHeight(metrics.height());
        image.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        return image;
    }

    QTextDocument& document;
    QFont emoji;
    QRawFont colour;
    QList<QRawFont> text_faces;
    QSet<QString> made;
};

// The PDF writer gives no reason when it cannot open its file: it is opened
// here first, so that the failure can be told in words the user can act on.
// The file holds the diary's text or its recovery key, so it is the user's
// alone (0600) before a byte goes into it: the writer truncates the file and
// keeps its mode. made: the file was not there before.
bool Open_pdf_for_user(const QString& pdf, bool& made)
{
    const QByteArray name = QFile::encodeName(pdf);
    struct stat before {};
    const bool existed = ::stat(name.constData(), &before) == 0;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid())
        ::fchmod(fd, 0600);
    ::close(fd);
    made = !existed;
    return true;
}

// Each picture of the paper's copy as wide as the text on the printer's
// page. QTextDocument::print lays a document without a page size out on
// the printer with 2 cm margins, and an image's size is in pixels of 96
// to the inch, scaled to the printer's resolution.
void Fit_pictures(QTextDocument& paper, QPrinter& printer)
{
    const qreal margin_x = int(2 / 2.54 * printer.logicalDpiY());
    const qreal margin_y = margin_x;
    const qreal width = (printer.width() - 2 * margin_x) * 96.0 / printer.logicalDpiX() - 1;
    const qreal height = (printer.height() - 2 * margin_y) * 96.0 / printer.logicalDpiY() * 0.85;
    if (width <= 0 || height <= 0)
        return;
    QTextCursor cursor(&paper);
    for (QTextBlock block = paper.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            if (!image.isValid() || !image.name().startsWith(Print_photo_scheme))
                continue;
            const QSize size = image.property(QTextFormat::UserProperty).toSize();
            if (size.isEmpty())
                continue;
            const QSizeF fitted = QSizeF(size).scaled(QSizeF(width, height), Qt::KeepAspectRatio);
            image.setWidth(fitted.width());
            image.setHeight(fitted.height());
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
}

}  // namespace

QString Print_to(QTextDocument& document, QPrinter& printer, bool diary_locked)
{
    const QString pdf =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    bool made = false;
    if (!pdf.isEmpty() && !Open_pdf_for_user(pdf, made))
        return QStringLiteral("PDF ファイルを書き込めませんでした。\n%1\n"
                              "書き込めるフォルダーと名前を選んで、もう一度印刷してください。")
            .arg(QDir::toNativeSeparators(pdf));
    // A locked diary's pages never wait for the printer on disk.
    const Private_spool spool(pdf.isEmpty() && diary_locked);
    // The paper's copy has its colour emoji as pictures.
    const std::unique_ptr<QTextDocument> paper(document.clone());
    Colour_emoji(*paper, document.defaultFont()).Replace_all();
    Fit_pictures(*paper, printer);
    paper->print(&printer);
    if (!pdf.isEmpty() && printer.printerState() != QPrinter::Error) {
        // 𠮷 and the other characters beyond the Basic Multilingual Plane
        // get their text in the PDF (see ui/pdf_text.h). Left out, they are
        // still drawn.
        QList<char32_t> beyond;
        for (const char32_t c : paper->toPlainText().toUcs4())
            if (c > 0xFFFF && !beyond.contains(c))
                beyond << c;
        const QString family = document.defaultFont().family();
        QStringList chain = QFont::substitutes(family);
        if (chain.isEmpty())
            chain << family;
        Add_text_beyond_the_plane(pdf, beyond, chain);
    }
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

namespace {

void Preview(QWidget* parent, const QString& document_name, const QString& title,
             const Run_dialog& run, const std::function<void(QPrinter&)>& paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(document_name);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(title);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                     [&paint](QPrinter* target) { paint(*target); });
    preview.resize(800, 900);
    run(preview);
}

Page_print Print_page(QWidget* parent, const QString& document_name, const QString& dialog_title,
                      const Run_dialog& run,
                      const std::function<void(QPainter&, const QRect&)>& paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(document_name);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(dialog_title);
    if (run(dialog) != QDialog::Accepted)
        return Page_print::Cancelled;
    const QString pdf =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    bool made = false;
    if (!pdf.isEmpty() && !Open_pdf_for_user(pdf, made))
        return Page_print::Failed;
    // The page is a secret: it never waits for the printer on disk.
    const Private_spool spool(pdf.isEmpty());
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (made)
            QFile::remove(pdf);
        return Page_print::Failed;
    }
    paint(painter, painter.viewport());
    painter.end();
    return Page_print::Printed;
}

const Print_calls calls{Print_calls_version, &Print_to, &Preview, &Print_page};

}  // namespace

extern "C" Q_DECL_EXPORT const Print_calls* sorane_print_calls() { return &calls; }
