#include "ui/accessible.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextEdit>
#include <QWidget>

void Set_accessible_texts(QWidget& window, std::span<const Accessible_text> texts)
{
    for (const Accessible_text& t : texts) {
        QWidget* widget = window.objectName() == QLatin1String(t.object_name)
                              ? &window
                              : window.findChild<QWidget*>(QLatin1String(t.object_name));
        Q_ASSERT_X(widget, "Set_accessible_texts", t.object_name);
        if (!widget)
            continue;
        const QString name = QString::fromUtf8(t.name);
        widget->setAccessibleName(name);
        widget->setAccessibleDescription(QString::fromUtf8(t.description));
        // A text area's own scroll bars are named after it.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
            area->verticalScrollBar()->setAccessibleName(name +
                                                         QStringLiteral("の縦スクロールバー"));
            area->horizontalScrollBar()->setAccessibleName(name +
                                                           QStringLiteral("の横スクロールバー"));
        }
    }
}

namespace {

// What kind of control it is, in the words a screen reader's user hears
// after the window's name.
QString Kind_of(const QWidget& widget)
{
    if (qobject_cast<const QLineEdit*>(&widget))
        return QStringLiteral("入力欄");
    if (qobject_cast<const QPlainTextEdit*>(&widget) || qobject_cast<const QTextEdit*>(&widget))
        return QStringLiteral("本文");
    if (qobject_cast<const QAbstractItemView*>(&widget))
        return QStringLiteral("一覧");
    if (qobject_cast<const QAbstractSlider*>(&widget))
        return QStringLiteral("スクロールバー");
    if (qobject_cast<const QAbstractSpinBox*>(&widget))
        return QStringLiteral("数値の欄");
    if (qobject_cast<const QComboBox*>(&widget))
        return QStringLiteral("選択欄");
    if (qobject_cast<const QProgressBar*>(&widget))
        return QStringLiteral("進み具合");
    return {};
}

}  // namespace

void Name_the_rest(QWidget& window)
{
    const QString title = window.windowTitle().section(QChar(0x3000), 0, 0);
    if (window.accessibleDescription().isEmpty())
        window.setAccessibleDescription(title + QStringLiteral("の画面です。"));
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->accessibleDescription().isEmpty() && !widget->toolTip().isEmpty())
            widget->setAccessibleDescription(widget->toolTip());
        if (!widget->accessibleName().isEmpty())
            continue;
        // Buttons and check boxes say their own words; a field with a
        // label for it is named by the label.
        if (auto* button = qobject_cast<QAbstractButton*>(widget);
            button && !button->text().isEmpty())
            continue;
        if (qobject_cast<QLabel*>(widget))
            continue;
        bool labelled = false;
        for (const QLabel* label : window.findChildren<QLabel*>())
            if (label->buddy() == widget)
                labelled = true;
        if (labelled)
            continue;
        const QString kind = Kind_of(*widget);
        if (kind.isEmpty())
            continue;
        widget->setAccessibleName(widget->toolTip().isEmpty() ? title + QStringLiteral("の") + kind
                                                              : widget->toolTip());
    }
}
