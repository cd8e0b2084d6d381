#pragma once
// The month's check as a list: a group per kind of problem with its count, and under
// it a line per problem naming the date, shift, worker and entry. A double click on a
// line takes the user to the journal on that entry (or to the auxiliary work register
// on its row).
#include "domain/month_check.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <vector>

namespace mirn {

class MonthCheckWindow : public QDialog {
    Q_OBJECT
public:
    MonthCheckWindow(const QString& monthCaption, std::vector<monthcheck::Problem> problems,
                     QWidget* parent = nullptr);

    QLabel* Summary;       // "Ошибок не найдено" or the number found
    QTreeWidget* Tree;     // the groups at the top level, the problems under them
    QPushButton* Button1;  // "Закрыть"

    // The problem a line stands for; nullptr for a group's title or no line.
    const monthcheck::Problem* problemAt(const QTreeWidgetItem* item) const;
    // A double click sent the user to the journal: the windows above it close.
    bool sentToJournal() const { return sentToJournal_; }

    // A line's columns, as the list shows them.
    enum Column { Date, Shift, Worker, Entry, Detail };

private:
    void open(const QTreeWidgetItem* item);
    std::vector<monthcheck::Problem> problems_;
    bool sentToJournal_ = false;
};

}  // namespace mirn
