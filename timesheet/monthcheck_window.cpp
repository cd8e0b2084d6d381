#include "timesheet/monthcheck_window.h"

#include "core/navigator.h"
#include "gui/ui.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include <algorithm>

namespace mirn {

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;  // the problem's index; -1 on a group's title
// A longer group starts folded, so that every kind and its count shows at once.
constexpr int kOpenGroupLines = 25;
}

MonthCheckWindow::MonthCheckWindow(const QString& monthCaption, std::vector<monthcheck::Problem> problems,
                                   QWidget* parent)
    : QDialog(parent), problems_(std::move(problems)) {
    setObjectName(QStringLiteral("MonthCheckWindow"));
    setWindowTitle(QStringLiteral("Проверка месяца: ") + monthCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Summary = new QLabel(this);
    Summary->setText(problems_.empty()
                         ? QStringLiteral("Ошибок не найдено: месяц можно закрывать.")
                         : QStringLiteral("Найдено ошибок: %1. Двойной щелчок по строке открывает запись в журнале "
                                          "(хоз. работу — в реестре).")
                               .arg(problems_.size()));
    Tree = new QTreeWidget(this);
    Tree->setColumnCount(5);
    Tree->setHeaderLabels({QStringLiteral("Дата"), QStringLiteral("Смена"), QStringLiteral("Рабочий"),
                           QStringLiteral("Запись"), QStringLiteral("Что не так")});
    Tree->setRootIsDecorated(true);
    Tree->setUniformRowHeights(true);
    Tree->setSelectionMode(QAbstractItemView::SingleSelection);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);

    for (int k = 0; k < monthcheck::kKindCount; ++k) {
        const auto kind = monthcheck::Kind(k);
        const auto count = std::count_if(problems_.begin(), problems_.end(),
                                         [kind](const monthcheck::Problem& p) { return p.kind == kind; });
        if (count == 0) continue;
        auto* group = new QTreeWidgetItem(Tree);
        group->setText(0, QStringLiteral("%1: %2").arg(monthcheck::kindTitle(kind)).arg(count));
        group->setData(0, kIndexRole, -1);
        QFont bold = group->font(0);
        bold.setBold(true);
        group->setFont(0, bold);
        group->setFirstColumnSpanned(true);
        for (size_t i = 0; i < problems_.size(); ++i) {
            const monthcheck::Problem& p = problems_[i];
            if (p.kind != kind) continue;
            auto* line = new QTreeWidgetItem(group);
            line->setData(0, kIndexRole, int(i));
            line->setText(Date, p.date.toString(QStringLiteral("dd.MM.yyyy")));
            line->setText(Shift, p.shift > 0 ? QString::number(p.shift) : QString());
            line->setText(Worker, QStringLiteral("%1 (%2)").arg(p.worker.isEmpty() ? QStringLiteral("?") : p.worker).arg(p.workerId));
            if (p.entryId > 0)
                line->setText(Entry, (p.auxiliary() ? QStringLiteral("хоз. работа %1") : QStringLiteral("запись %1")).arg(p.entryId));
            line->setText(Detail, p.detail);
        }
        group->setExpanded(count <= kOpenGroupLines);
    }
    Tree->header()->setStretchLastSection(true);
    for (int c = Date; c < Detail; ++c) Tree->resizeColumnToContents(c);
    Tree->setColumnWidth(Date, std::max(Tree->columnWidth(Date), 110));
    Tree->setColumnWidth(Worker, std::max(Tree->columnWidth(Worker), 190));

    Button1 = new QPushButton(QStringLiteral("Закрыть"), this);
    Button1->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Summary);
    lay->addWidget(Tree, 1);
    lay->addLayout(buttons);
    resize(900, 520);

    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(Tree, &QTreeWidget::itemDoubleClicked, this,
            ui::guard([this](QTreeWidgetItem* item, int) { open(item); }));
}

const monthcheck::Problem* MonthCheckWindow::problemAt(const QTreeWidgetItem* item) const {
    if (!item) return nullptr;
    const int i = item->data(0, kIndexRole).toInt();
    return i >= 0 && size_t(i) < problems_.size() ? &problems_[size_t(i)] : nullptr;
}

void MonthCheckWindow::open(const QTreeWidgetItem* item) {
    const monthcheck::Problem* p = problemAt(item);
    JournalNavigator* journal = navigator::journal();
    if (!p || !journal) return;
    if (p->auxiliary()) {
        // The register opens on top and comes back here when closed.
        journal->showAuxWork(p->date, p->shift, p->entryId);
        return;
    }
    journal->showEntry(p->date, p->shift, p->entryId, p->workerId);
    sentToJournal_ = true;
    accept();
}

}  // namespace mirn
