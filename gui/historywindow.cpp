#include "gui/historywindow.h"

#include "gui/ui.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirn {

HistoryWindow::HistoryWindow(const QString& title, const QList<history::Change>& changes, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Grid = new QTableWidget(int(changes.size()), 6, this);
    Grid->setHorizontalHeaderLabels({QStringLiteral("Когда"), QStringLiteral("Кто"), QStringLiteral("Роль"),
                                     QStringLiteral("Рабочее место"), QStringLiteral("Действие"),
                                     QStringLiteral("Изменения")});
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->verticalHeader()->hide();
    for (int i = 0; i < changes.size(); ++i) {
        const history::Change& c = changes[i];
        // A new or deleted row with its values, a change from what to what.
        const QString cells[] = {c.at.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), history::whoText(c), c.role,
                                 c.host, c.action, history::fieldLines(c).join(QLatin1Char('\n'))};
        for (int col = 0; col < 6; ++col) Grid->setItem(i, col, new QTableWidgetItem(cells[col]));
    }
    Grid->resizeColumnsToContents();
    Grid->resizeRowsToContents();
    Grid->horizontalHeader()->setStretchLastSection(true);

    // A row written before the history was kept (or by nobody since) has nothing to show:
    // say so rather than show an empty table.
    EmptyNote = new QLabel(QStringLiteral("Изменений этой записи в журнале изменений нет: она не менялась с тех пор, "
                                          "как журнал ведётся."),
                           this);
    EmptyNote->setWordWrap(true);
    EmptyNote->setAlignment(Qt::AlignCenter);
    EmptyNote->setVisible(changes.isEmpty());
    Grid->setVisible(!changes.isEmpty());

    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Grid, 1);
    lay->addWidget(EmptyNote, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    lay->addLayout(bottom);
    resize(changes.isEmpty() ? QSize(500, 160) : QSize(900, 400));
}

void HistoryWindow::show(const QString& table, qlonglong rowId, const QString& title, QWidget* parent) {
    HistoryWindow w(title, history::rowHistory(table, rowId), parent);
    ui::execModal(&w);
}

}  // namespace mirn
