#include "platform/platform_real.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputMethod>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QScreen>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QUrl>

namespace {

class Real_busy_guard final : public Platform::Busy_guard {
public:
    Real_busy_guard() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Real_busy_guard() override { QGuiApplication::restoreOverrideCursor(); }
};

// A carriage return standing alone breaks the line, as the desktop's message
// boxes show it; Qt's labels would not. CR LF is left as it is.
QString Lone_cr_as_line_break(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == u'\r' && (i + 1 == text.size() || text.at(i + 1) != u'\n'))
            text[i] = u'\n';
    return text;
}

// The window manager cuts a title longer than the frame is wide, and a box
// with a short text is narrow. A spacer across the box's layout keeps it at
// least as wide as its title in a bold title-bar font, with room for the
// frame's icon and buttons on either side.
void Make_room_for_title(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    QFont title_font = QApplication::font("QMdiSubWindowTitleBar");
    title_font.setBold(true);
    const QFontMetrics metrics(title_font);
    const int frame_buttons = 8 * metrics.height();
    const int width = metrics.horizontalAdvance(box.windowTitle()) + frame_buttons;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

// Qt hands a file to xdg-open, which reports nothing back once it has
// started: with no program set for the file's kind, nothing opens and the
// call still succeeds. So the desktop is asked first. Without xdg-open
// nothing can open the file; without xdg-mime to ask, Qt's call decides.
bool Desktop_has_program_for(const QString& path)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return false;
    const QString mime_tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (mime_tool.isEmpty())
        return true;
    QProcess query;
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(mime_tool, {QStringLiteral("query"), QStringLiteral("default"),
                            QMimeDatabase().mimeTypeForFile(path).name()});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return true;
    }
    const QString entry = QString::fromUtf8(query.readAllStandardOutput().trimmed());
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0 || entry.isEmpty())
        return false;
    // xdg-open starts a program that runs in a terminal (an editor such as
    // vim) without one: nothing would be seen.
    QFile desktop_entry(QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry));
    if (desktop_entry.open(QIODevice::ReadOnly))
        for (const QByteArray& line : desktop_entry.read(1 << 20).split('\n'))
            if (line.trimmed() == "Terminal=true")
                return false;
    return true;
}

Platform::Answer Real_platform::Message_box(const QString& text, const QString& title, Icon icon,
                                            Buttons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(Lone_cr_as_line_break(text));
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::Ok_cancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::Yes_no: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::Yes_no_default_no:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case Buttons::Yes_no_cancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::Retry_cancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        break;
    }
    // The buttons speak the program's language whatever the desktop's is.
    const std::pair<QMessageBox::StandardButton, const char16_t*> captions[] = {
        {QMessageBox::Ok, u"OK"},        {QMessageBox::Cancel, u"キャンセル"},
        {QMessageBox::Yes, u"はい"},     {QMessageBox::No, u"いいえ"},
        {QMessageBox::Retry, u"再試行"},
    };
    for (const auto& [button, caption] : captions)
        if (QAbstractButton* b = box.button(button))
            b->setText(QString::fromUtf16(caption));
    Make_room_for_title(box);
    switch (box.exec()) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    default: break;
    }
    // A box closed from its frame answers like its escape button.
    if (buttons == Buttons::Ok_cancel || buttons == Buttons::Yes_no_cancel ||
        buttons == Buttons::Retry_cancel)
        return box.clickedButton() ? Answer::Ok : Answer::Cancel;
    return Answer::Ok;
}

void Real_platform::Beep() { QApplication::beep(); }

bool Real_platform::Open_with_default_program(const QString& path)
{
    if (!Desktop_has_program_for(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::unique_ptr<Platform::Busy_guard> Real_platform::Busy_pointer()
{
    return std::make_unique<Real_busy_guard>();
}

void Real_platform::Process_events_once() { QCoreApplication::processEvents(); }

int Real_platform::Run_modal(QDialog& dialog) { return dialog.exec(); }

QSizeF Real_platform::Screen_size_twips()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const double twips_per_pixel = 1440.0 / screen->logicalDotsPerInch();
    const QSize size = screen->geometry().size();
    return {size.width() * twips_per_pixel, size.height() * twips_per_pixel};
}

void Real_platform::Commit_input_method()
{
    // Both calls: some frontends do nothing on a commit and commit on a
    // reset, and only the reset has every one forget the composition.
    QInputMethod* input_method = QGuiApplication::inputMethod();
    input_method->commit();
    input_method->reset();
}
