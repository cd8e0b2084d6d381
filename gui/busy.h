#pragma once
// A window at work. While an export or a rebuild runs in a window, and the window repaints
// (or a nested loop runs) between its rows, nothing in that window may start a second one
// or close what the first one reads: its controls are switched off, and closing the window
// (its buttons, Esc, the window's close box) is refused until the work has ended.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace mirn {

namespace ui {

class WindowBusy : public QObject {
public:
    explicit WindowBusy(QWidget* window);
    ~WindowBusy() override;
    WindowBusy(const WindowBusy&) = delete;
    WindowBusy& operator=(const WindowBusy&) = delete;

    // True while some WindowBusy holds the window.
    static bool isBusy(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    QList<QPointer<QWidget>> switchedOff_;
    QPointer<QWidget> focus_;
};

}  // namespace ui

}  // namespace mirn
