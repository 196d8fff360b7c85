#pragma once

#include <QWidget>

// Pages create only what they show: a control hidden for good is not
// created at all. A control that comes and goes while its page is on show
// (the automatic-run indicator) is marked here, so the accessibility checks
// accept it while it is hidden.
inline constexpr const char* kShownOnDemandProperty = "vordaShownOnDemand";

inline void MarkShownOnDemand(QWidget* widget)
{
    widget->setProperty(kShownOnDemandProperty, true);
}

inline bool IsShownOnDemand(const QWidget* widget)
{
    return widget->property(kShownOnDemandProperty).toBool();
}
