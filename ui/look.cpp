#include "ui/look.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionComplex>
#include <QTranslator>
#include <QWidget>
#include <algorithm>

namespace {

const QString Font_name = QStringLiteral("ＭＳ ゴシック");
const QString List_font_name = QStringLiteral("ＭＳ Ｐゴシック");

// The application's style, scroll bars drawn band by band: each band drawn
// whole on an image of its own rows, then copied. The image's edges bound
// whatever the style draws, clip or not.
class Banded_scroll_bars : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override
    {
        if (control != CC_ScrollBar ||
            option->rect.height() * painter->device()->devicePixelRatioF() <= Band_device_rows) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect whole = option->rect;
        const qreal ratio = painter->device()->devicePixelRatioF();
        // Rows of the device, not of the layout: on a screen scaled by two a
        // band is half as many rows of the window.
        const int band_rows = std::max(1, int(Band_device_rows / ratio));
        for (int top = whole.top(); top <= whole.bottom(); top += band_rows) {
            const int rows = std::min(band_rows, whole.bottom() + 1 - top);
            QImage band(QSize(whole.width(), rows) * ratio, QImage::Format_ARGB32_Premultiplied);
            band.setDevicePixelRatio(ratio);
            band.fill(Qt::transparent);
            QPainter band_painter(&band);
            band_painter.translate(-whole.left(), -top);
            QProxyStyle::drawComplexControl(control, option, &band_painter, widget);
            band_painter.end();
            painter->drawImage(QPoint(whole.left(), top), band);
        }
    }

private:
    // Qt fills 96 rows or more on its threads.
    static constexpr int Band_device_rows = 95;
};

}  // namespace

void Install_font_substitutions()
{
    // IPAGothic lacks the characters of JIS X 0213 outside code page 932
    // (𠮷): Noto's CJK fonts draw them. Emoji come in colour from Noto Color
    // Emoji, before any monochrome face the system would fall back to.
    const QString emoji = QStringLiteral("Noto Color Emoji");
    QFont::insertSubstitutions(
        Font_name, {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"), emoji});
    QFont::insertSubstitutions(
        List_font_name, {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"), emoji});
}

QFont Diary_font()
{
    QFont font(Font_name);
    font.setPointSizeF(11.25);
    return font;
}

QFont List_font()
{
    QFont font(List_font_name);
    font.setPointSizeF(9);
    return font;
}

void Set_window_look(QWidget& window, const QColor& background)
{
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, background);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.setFont(Diary_font());
}

bool Install_japanese_qt_texts(QCoreApplication& application)
{
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QDialogButtonBox* Ok_cancel_buttons(QDialog& dialog)
{
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

void Paint_in_bands(QScrollBar& bar)
{
    // One style for every such bar, made with the first and kept for the run.
    static Banded_scroll_bars* const style =
        new Banded_scroll_bars(QStyleFactory::create(QApplication::style()->name()));
    bar.setStyle(style);
}
