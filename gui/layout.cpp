#include "gui/layout.h"

#include "gui/dbgrid.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScreen>
#include <QVBoxLayout>
#include <QSettings>
#include <QWidget>

namespace mirn {

namespace layout {
namespace {

// Nothing is remembered or restored until install(): the tests start every window
// the same way unless they ask for the layout memory.
QSettings* g_store = nullptr;

QSettings& store() {
    if (!g_store)
        g_store = new QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("mirn"), QStringLiteral("layout"),
                                qApp);
    return *g_store;
}

// Windows are singletons named by their class: the key of their layout. The key is the
// bare class name ("TForm1"), as remembered layouts already have it.
QString keyOf(const QWidget* w) {
    const QString name = w->objectName();
    if (!name.isEmpty()) return name;
    const QString cls = QString::fromLatin1(w->metaObject()->className());
    return cls.mid(cls.lastIndexOf(u':') + 1);
}

bool managed(const QWidget* w) {
    if (!w || !w->isWindow()) return false;
    if (qobject_cast<const QMessageBox*>(w) || qobject_cast<const QMenu*>(w)) return false;
    if (w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) return false;
    return qobject_cast<const QDialog*>(w) || qobject_cast<const QMainWindow*>(w);
}

// Each grid of a window by its name, or by its place among the window's grids.
QString gridKey(const QString& window, const QList<DBGrid*>& grids, int i) {
    const QString name = grids[i]->objectName();
    return window + QStringLiteral("/grid/") + (name.isEmpty() ? QStringLiteral("grid%1").arg(i) : name);
}

QScreen* screenFor(QWidget* w, const QPoint& at) {
    if (QScreen* s = QGuiApplication::screenAt(at)) return s;
    if (w->parentWidget() && w->parentWidget()->window()->screen()) return w->parentWidget()->window()->screen();
    return w->screen() ? w->screen() : QGuiApplication::primaryScreen();
}

// A window whose controls cannot shrink to the screen (a small screen, 200 % scaling)
// gets its contents in a scroll area, once: every control stays reachable and the
// frame stays on the screen. Windows that fit are left exactly as they are.
void scrollIfTooLarge(QWidget* w, const QSize& room) {
    if (w->property("mirnScrolled").toBool() || !w->layout()) return;
    const QSize need = w->minimumSizeHint().expandedTo(w->minimumSize());
    if (need.width() <= room.width() && need.height() <= room.height()) return;
    const QSize was = w->size();
    auto* inner = new QWidget;
    inner->setLayout(w->layout());  // takes the layout, and its widgets, off the window
    auto* area = new QScrollArea(w);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(inner);
    auto* outer = new QVBoxLayout(w);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(area);
    w->setMinimumSize(0, 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->resize(was);
    w->setProperty("mirnScrolled", true);
}

class Filter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide) {
            auto* w = qobject_cast<QWidget*>(o);
            if (managed(w) && !w->isMaximized() && !w->isFullScreen()) {
                if (e->type() == QEvent::Show) place(w);
                else save(w);
            }
        }
        return false;
    }
};

}  // namespace

QVariant recall(const QString& key, const QVariant& fallback) {
    return g_store ? store().value(key, fallback) : fallback;
}

void remember(const QString& key, const QVariant& value) {
    if (g_store) store().setValue(key, value);
}

QRect fitted(const QRect& wanted, const QRect& available) {
    QRect r = wanted;
    r.setWidth(std::min(r.width(), available.width()));
    r.setHeight(std::min(r.height(), available.height()));
    if (r.right() > available.right()) r.moveRight(available.right());
    if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
    if (r.left() < available.left()) r.moveLeft(available.left());
    if (r.top() < available.top()) r.moveTop(available.top());
    return r;
}

void place(QWidget* w) {
    const QString key = keyOf(w);
    QRect r(w->pos(), w->size());
    const QRect saved = store().value(key + QStringLiteral("/geometry")).toRect();
    QPoint centre;
    if (saved.isValid()) {
        r = saved;
        centre = r.center();
    } else {
        QWidget* parent = w->parentWidget() ? w->parentWidget()->window() : QApplication::activeWindow();
        if (parent == w || (parent && !parent->isVisible())) parent = nullptr;
        const QRect around = parent ? parent->frameGeometry()
                                    : screenFor(w, QCursor::pos())->availableGeometry();
        r.moveCenter(around.center());
        centre = around.center();
    }
    const QRect avail = screenFor(w, centre)->availableGeometry();
    // The frame (title bar, borders) must fit too, not only the client area.
    const QSize frame = w->frameGeometry().size() - w->geometry().size();
    scrollIfTooLarge(w, avail.size() - frame);
    QRect outer = fitted(QRect(r.topLeft(), r.size() + frame), avail);
    QSize inner = (outer.size() - frame).expandedTo(w->minimumSize()).boundedTo(w->maximumSize());
    w->resize(inner);
    w->move(outer.topLeft());
    if (!saved.isValid()) return;
    const auto grids = w->findChildren<DBGrid*>();
    for (int i = 0; i < grids.size(); ++i) {
        const QByteArray state = store().value(gridKey(key, grids, i)).toByteArray();
        if (!state.isEmpty()) grids[i]->horizontalHeader()->restoreState(state);
    }
}

void save(QWidget* w) {
    const QString key = keyOf(w);
    store().setValue(key + QStringLiteral("/geometry"), QRect(w->pos(), w->size()));
    const auto grids = w->findChildren<DBGrid*>();
    for (int i = 0; i < grids.size(); ++i) store().setValue(gridKey(key, grids, i), grids[i]->horizontalHeader()->saveState());
    store().sync();
}

void install() {
    static Filter* filter = nullptr;
    if (filter) return;
    store();
    filter = new Filter(qApp);
    qApp->installEventFilter(filter);
}

}  // namespace layout

}  // namespace mirn
