#include "gui/historywindow.h"

#include "gui/ui.h"

#include <QHeaderView>
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
        QStringList fields;
        for (const history::FieldChange& f : c.fields)
            fields << f.field + QStringLiteral(": ") + f.before + QStringLiteral(" → ") + f.after;
        const QString cells[] = {c.at.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), history::whoText(c), c.role,
                                 c.host, c.action, fields.join(QLatin1Char('\n'))};
        for (int col = 0; col < 6; ++col) Grid->setItem(i, col, new QTableWidgetItem(cells[col]));
    }
    Grid->resizeColumnsToContents();
    Grid->resizeRowsToContents();
    Grid->horizontalHeader()->setStretchLastSection(true);

    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Grid, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    lay->addLayout(bottom);
    resize(900, 400);
}

void HistoryWindow::show(const QString& table, qlonglong rowId, const QString& title, QWidget* parent) {
    HistoryWindow w(title, history::rowHistory(table, rowId), parent);
    ui::execModal(&w);
}

}  // namespace mirn
