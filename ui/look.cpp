#include "ui/look.h"

#include <QCoreApplication>
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
    QFont::insertSubstitutions(
        Font_name, {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP")});
    QFont::insertSubstitutions(List_font_name,
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
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
