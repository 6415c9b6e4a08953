#include "ui/deferred_icons.h"

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <optional>

namespace {

// The style's own icon, asked for the first time it is needed.
class Deferred_icon_engine : public QIconEngine {
public:
    Deferred_icon_engine(QStyle* style, QStyle::StandardPixmap which) : from(style), icon_of(which)
    {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return Icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().availableSizes(mode, state);
    }
    // The style's icon is never null: asking must not make it.
    bool isNull() override { return made ? made->isNull() : false; }
    QString key() const override { return QStringLiteral("sorane-deferred"); }
    QIconEngine* clone() const override
    {
        auto* copy = new Deferred_icon_engine(from, icon_of);
        copy->made = made;
        return copy;
    }

private:
    const QIcon& Icon()
    {
        if (!made)
            made = from ? from->standardIcon(icon_of) : QIcon();
        return *made;
    }

    QPointer<QStyle> from;
    QStyle::StandardPixmap icon_of;
    std::optional<QIcon> made;
};

class Deferred_icon_style : public QProxyStyle {
public:
    explicit Deferred_icon_style(QStyle* base) : QProxyStyle(base) {}

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override
    {
        // Made without an option or widget, the icon follows the
        // application's direction, as the menu bar asks for it.
        if (!option && (which == SP_ToolBarHorizontalExtensionButton ||
                        which == SP_ToolBarVerticalExtensionButton))
            return QIcon(new Deferred_icon_engine(baseStyle(), which));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

}  // namespace

void Use_deferred_standard_icons()
{
    QStyle* current = QApplication::style();
    if (!current || dynamic_cast<Deferred_icon_style*>(current))
        return;
    // The same style as the one chosen (by the desktop, -style or
    // QT_STYLE_OVERRIDE), made anew for the wrapper to own.
    QStyle* base = QStyleFactory::create(current->name());
    if (!base)
        return;
    QApplication::setStyle(new Deferred_icon_style(base));
}
