#include "support/fake_platform.h"

#include <QDialog>

namespace {

class Fake_busy_guard final : public Platform::Busy_guard {
public:
    explicit Fake_busy_guard(Fake_platform& owner) : fake(owner)
    {
        ++fake.busy_depth;
        fake.calls << QStringLiteral("busy+");
    }
    ~Fake_busy_guard() override
    {
        --fake.busy_depth;
        fake.calls << QStringLiteral("busy-");
    }

private:
    Fake_platform& fake;
};

}  // namespace

void Fake_platform::Expect_box(const QString& text, const QString& title, Icon icon,
                               Buttons buttons, Answer answer, std::function<void()> while_open)
{
    boxes.push_back({text, title, icon, buttons, answer, std::move(while_open)});
}

void Fake_platform::Expect_modal(std::function<int(QDialog&)> user)
{
    modals.push_back(std::move(user));
}

Platform::Answer Fake_platform::Message_box(const QString& text, const QString& title, Icon icon,
                                            Buttons buttons)
{
    calls << QStringLiteral("box:%1:%2").arg(title, text);
    if (boxes.empty()) {
        failures << QStringLiteral("unscripted message box \"%1\" titled \"%2\"").arg(text, title);
        return Answer::Ok;
    }
    const Expected_box expected = boxes.front();
    boxes.pop_front();
    if (expected.text != text || expected.title != title || expected.icon != icon ||
        expected.buttons != buttons) {
        failures << QStringLiteral("message box \"%1\" titled \"%2\" (icon %3, buttons %4); "
                                   "expected \"%5\" titled \"%6\" (icon %7, buttons %8)")
                        .arg(text, title)
                        .arg(int(icon))
                        .arg(int(buttons))
                        .arg(expected.text, expected.title)
                        .arg(int(expected.icon))
                        .arg(int(expected.buttons));
    }
    if (expected.while_open)
        expected.while_open();
    return expected.answer;
}

void Fake_platform::Beep() { calls << QStringLiteral("beep"); }

bool Fake_platform::Open_with_default_program(const QString& path)
{
    calls << QStringLiteral("open:") + path;
    return open_succeeds;
}

std::unique_ptr<Platform::Busy_guard> Fake_platform::Busy_pointer()
{
    return std::make_unique<Fake_busy_guard>(*this);
}

void Fake_platform::Process_events_once() { calls << QStringLiteral("events"); }

void Fake_platform::Commit_input_method()
{
    ++input_method_commits;
    if (input_method_answer)
        input_method_answer();
}

int Fake_platform::Run_modal(QDialog& dialog)
{
    calls << QStringLiteral("modal:") + dialog.objectName();
    if (modals.empty()) {
        failures << QStringLiteral("unscripted modal run of %1").arg(dialog.objectName());
        return QDialog::Rejected;
    }
    auto user = std::move(modals.front());
    modals.pop_front();
    return user(dialog);
}

QStringList Fake_platform::Problems() const
{
    QStringList problems = failures;
    for (const Expected_box& box : boxes)
        problems << QStringLiteral("message box \"%1\" titled \"%2\" never came")
                        .arg(box.text, box.title);
    if (!modals.empty())
        problems << QStringLiteral("%1 scripted modal run(s) never came").arg(modals.size());
    return problems;
}
