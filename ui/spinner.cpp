#include "ui/spinner.h"

#include <QScrollBar>

void Make_spinner(QScrollBar* bar)
{
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(false);
    // Each step action is turned round where Qt lets an action be adjusted,
    // before the value moves.
    QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [bar](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            bar->setSliderPosition(bar->value() - bar->singleStep());
            break;
        case QAbstractSlider::SliderSingleStepSub:
            bar->setSliderPosition(bar->value() + bar->singleStep());
            break;
        case QAbstractSlider::SliderPageStepAdd:
            bar->setSliderPosition(bar->value() - bar->pageStep());
            break;
        case QAbstractSlider::SliderPageStepSub:
            bar->setSliderPosition(bar->value() + bar->pageStep());
            break;
        default: break;
        }
    });
}
