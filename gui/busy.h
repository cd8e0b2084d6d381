#pragma once
// A window at work. While an export or a rebuild runs in a window, and the window repaints
// (or a nested loop runs) between its rows, nothing in that window may start a second one
// or close what the first one reads: its controls are switched off, and closing the window
// (its buttons, Esc, the window's close box) is refused until the work has ended.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QProgressDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <stdexcept>

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

// The user pressed "Отмена" in a Progress: thrown out of the work, which leaves nothing
// half-done (the stores' work runs in one transaction, rolled back on the way out).
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("cancelled by the user") {}
};

// Long work in a window, shown as it goes: a small window-modal progress window with the
// step reached and "Отмена" (Esc). It appears at once or, for work that is mostly quick,
// once the work has taken more than a moment. While it runs, the window the work belongs
// to takes no other input (WindowBusy); between two steps the windows repaint and the
// user may cancel.
class Progress {
public:
    enum class Show { AtOnce, AfterAMoment };
    Progress(QWidget* window, const QString& label, int steps, Show show = Show::AfterAMoment);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // The step reached (0..steps); lets the windows process what came meanwhile. Throws
    // Cancelled once "Отмена" was pressed.
    void step(int reached);
    void setLabel(const QString& label);
    bool cancelled() const;
    // For work below the windows that polls: true once cancelled (after processing the
    // events that came meanwhile).
    std::function<bool()> poll();

    QProgressDialog* dialog() const { return dialog_; }

private:
    void showIfDue();
    WindowBusy busy_;
    QProgressDialog* dialog_;
    QElapsedTimer clock_;
    bool atOnce_;
    bool shown_ = false;
};

namespace testing {
// The moment after which a Progress appears (400 ms unless set; -1 restores it).
void setProgressDelay(int ms);
// Called with every Progress as it appears (tests press "Отмена" through it).
void setProgressHook(std::function<void(Progress&)> hook);
}  // namespace testing

}  // namespace ui

}  // namespace mirn
