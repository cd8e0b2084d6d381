#include "gui/busy.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabBar>

#include <algorithm>
#include <limits>

namespace mirn {

namespace ui {
namespace {
const char* const kBusy = "mirnWindowBusy";

// The controls through which the user starts something in a window.
bool takesInput(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QTabBar*>(w) ||
           qobject_cast<const QMenuBar*>(w);
}
}  // namespace

WindowBusy::WindowBusy(QWidget* window) : window_(window) {
    window->setProperty(kBusy, window->property(kBusy).toInt() + 1);
    QWidget* focus = QApplication::focusWidget();
    if (focus && window->isAncestorOf(focus)) focus_ = focus;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // A line edit inside a combo box or a spin box goes with its owner.
        if (!w->isEnabled() || !takesInput(w) || (w->parentWidget() && takesInput(w->parentWidget()))) continue;
        w->setEnabled(false);
        switchedOff_ << w;
    }
    window->installEventFilter(this);
}

WindowBusy::~WindowBusy() {
    if (!window_) return;
    window_->removeEventFilter(this);
    window_->setProperty(kBusy, window_->property(kBusy).toInt() - 1);
    for (const QPointer<QWidget>& w : switchedOff_)
        if (w) w->setEnabled(true);
    if (focus_ && focus_->isEnabled()) focus_->setFocus();
}

bool WindowBusy::isBusy(const QWidget* window) { return window && window->property(kBusy).toInt() > 0; }

bool WindowBusy::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Close:
        // The window's close box, or close() from anywhere: the window stays.
        event->ignore();
        return true;
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
        // Esc (sent to the window or passed up from a control) closes nothing.
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Escape) {
            k->accept();
            return true;
        }
        break;
    }
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

namespace {
int g_progressDelay = 400;
std::function<void(Progress&)> g_progressHook;
}  // namespace

Progress::Progress(QWidget* window, const QString& label, int steps, Show show)
    : busy_(window), atOnce_(show == Show::AtOnce) {
    dialog_ = new QProgressDialog(label, QStringLiteral("Отмена"), 0, std::max(steps, 1), window);
    dialog_->setWindowTitle(window->windowTitle());
    dialog_->setWindowModality(Qt::WindowModal);
    // Shown by showIfDue, never by its own guess of the time left.
    dialog_->setMinimumDuration(std::numeric_limits<int>::max());
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
    clock_.start();
    showIfDue();
}

Progress::~Progress() { delete dialog_; }

void Progress::showIfDue() {
    if (shown_ || dialog_->wasCanceled() || (!atOnce_ && clock_.elapsed() < g_progressDelay)) return;
    shown_ = true;
    dialog_->show();
    dialog_->raise();
    // Painted before the work goes on, so the window says what it is doing.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (g_progressHook) g_progressHook(*this);
}

void Progress::step(int reached) {
    dialog_->setValue(std::clamp(reached, 0, dialog_->maximum()));
    showIfDue();
    QCoreApplication::processEvents();
    if (dialog_->wasCanceled()) throw Cancelled();
}

void Progress::setLabel(const QString& label) { dialog_->setLabelText(label); }

bool Progress::cancelled() const { return dialog_->wasCanceled(); }

std::function<bool()> Progress::poll() {
    return [this] {
        showIfDue();
        QCoreApplication::processEvents();
        return dialog_->wasCanceled();
    };
}

namespace testing {
void setProgressDelay(int ms) { g_progressDelay = ms < 0 ? 400 : ms; }
void setProgressHook(std::function<void(Progress&)> hook) { g_progressHook = std::move(hook); }
}  // namespace testing

}  // namespace ui

}  // namespace mirn
