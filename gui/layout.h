#pragma once
// The user's remembered layout: each window's size and position, each grid's column
// widths and order, and a few values a window chooses to keep (the journal's last
// shift, the timesheet's last month). Kept in ~/.config/mirn/layout.conf, apart from
// the hand-written connection settings. One application-wide event filter does the
// windows and grids, so no window carries code for it.
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVariant>

class QWidget;

namespace mirn {

namespace layout {

// Opens ~/.config/mirn/layout.conf and installs the filter on the application: windows are placed when shown (remembered
// geometry, else centred on the parent or the screen; always inside the available
// screen) and remembered when hidden.
void install();

// Values a window keeps between runs.
QVariant recall(const QString& key, const QVariant& fallback = {});
void remember(const QString& key, const QVariant& value);

// A frame of the given size placed inside `available`: at `wanted` when it fits,
// moved (and shrunk) into the available area when it does not.
QRect fitted(const QRect& wanted, const QRect& available);

// Where a window goes: its remembered place or centred, then fitted on its screen.
void place(QWidget* window);
// Writes the window's geometry and its grids' columns.
void save(QWidget* window);

}  // namespace layout

}  // namespace mirn
