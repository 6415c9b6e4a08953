#include "ui/look.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QTranslator>
#include <QWidget>

namespace {

const QString Font_name = QStringLiteral("ＭＳ ゴシック");
const QString List_font_name = QStringLiteral("ＭＳ Ｐゴシック");

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
