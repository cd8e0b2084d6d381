#pragma once
// A closed month in a window: the "Месяц закрыт" banner and the controls that would
// change the month switched off while it is shown. Windows without the extension never
// see either (the banner stays hidden, nothing is switched).
#include <QLabel>
#include <QList>
#include <QWidget>

namespace mirn {

namespace monthlock {

// The banner, hidden until a closed month is shown.
QLabel* makeBanner(QWidget* parent);

// Shows or hides the banner (with who closed the month as its tool tip) and switches
// the controls off while closed. Switching back on restores only what this switched
// off, so a control the role keeps off stays off.
void apply(QLabel* banner, const QList<QWidget*>& controls, bool closed, const QString& closedBy = {});

// True when the control is off because of a closed month.
bool offForClosedMonth(const QWidget* w);

}  // namespace monthlock

}  // namespace mirn
