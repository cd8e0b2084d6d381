#include "papers/change_report.h"

#include "papers/layouts.h"

namespace mirn {

namespace papers {
namespace {
using rpt::Band;
using rpt::Element;
using rpt::Group;

struct Column {
    double x, w;
    QString title;
};
// Millimetres across the 277 of a landscape sheet inside its margins.
const Column kTime{0, 14, QStringLiteral("Время")}, kWhat{14, 26, QStringLiteral("Что")},
    kRow{40, 14, QStringLiteral("Строка")}, kAction{54, 30, QStringLiteral("Действие")},
    kWho{84, 34, QStringLiteral("Кто")}, kWhere{118, 26, QStringLiteral("Рабочее место")},
    kFields{144, 133, QStringLiteral("Изменения")};
const Column kColumns[] = {kTime, kWhat, kRow, kAction, kWho, kWhere, kFields};
constexpr double kLine = 4.5;

QRectF at(const Column& c, double h = kLine) { return {c.x, 0, c.w, h}; }

}  // namespace

QStringList ChangeRows::fieldNames() const {
    return {QStringLiteral("day"),    QStringLiteral("time"), QStringLiteral("what"),  QStringLiteral("row_id"),
            QStringLiteral("action"), QStringLiteral("who"),  QStringLiteral("where"), QStringLiteral("fields")};
}

QVariant ChangeRows::value(int row, int field) const {
    const history::Change& c = changes_[size_t(row)];
    switch (field) {
    case 0: return c.at.toLocalTime().date();
    case 1: return c.at.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    case 2: return history::tableCaption(c.table);
    case 3: return QString::number(c.rowId);
    case 4: return c.action;
    // A write from outside the client has no role: its database user tells who. A
    // personal account is named, with the role it signed in with.
    case 5:
        if (!c.person.isEmpty()) return c.role.isEmpty() ? c.person : c.person + QStringLiteral(", ") + c.role;
        return c.role.isEmpty() ? c.user : c.role;
    case 6: return c.host;
    case 7: return history::fieldsText(c);
    }
    return {};
}

rpt::ReportDef changeReportDef(const QDate& from, const QDate& to) {
    rpt::ReportDef d;
    d.orientation = QPageLayout::Landscape;
    d.fontSize = 7.5;

    Group head;
    head.repeatHeader = true;
    head.header = Band(QStringLiteral("title"), 16);
    head.header.add(Element::label({0, 0, 277, 7},
                                   // The end excluded, as every report writes its period.
                                   QStringLiteral("Журнал изменений за период с %1 по %2")
                                       .arg(from.toString(QStringLiteral("dd.MM.yyyy")),
                                            to.toString(QStringLiteral("dd.MM.yyyy"))),
                                   QStringLiteral("QRLabel1"))
                        .centred()
                        .setBold()
                        .setFontSize(11));
    for (const Column& c : kColumns)
        head.header.add(Element::label({c.x, 10, c.w, 6}, c.title).centred().setBold().setFrame(rpt::AllSides));

    Group day;
    day.keyFn = [](const rpt::Row& r) { return r.value(QStringLiteral("day")); };
    day.header = Band(QStringLiteral("day"), 6);
    day.header.add(Element::field({0, 0.5, 60, 5}, QStringLiteral("day")).setBold().setFontSize(9));
    d.groups = {head, day};

    d.detail = Band(QStringLiteral("detail"), kLine);
    d.detail.add(Element::field(at(kTime), QStringLiteral("time")).centred())
        .add(Element::field(at(kWhat), QStringLiteral("what")))
        .add(Element::field(at(kRow), QStringLiteral("row_id")).right())
        .add(Element::field(at(kAction), QStringLiteral("action")).wrapped())
        .add(Element::field(at(kWho), QStringLiteral("who")).wrapped())
        .add(Element::field(at(kWhere), QStringLiteral("where")).wrapped())
        // A new or deleted entry lists all its values: they go on as many lines as they take.
        .add(Element::field(at(kFields), QStringLiteral("fields")).wrapped().named(QStringLiteral("fields")));
    d.detail.setFrame(rpt::Bottom);

    d.pageFooter = pageFooter(277);
    return d;
}

rpt::PreparedReport changeReport(const QDate& from, const QDate& to, const QString& connection) {
    const std::vector<history::Change> changes = history::periodChanges(from, to, connection);
    return rpt::prepare(changeReportDef(from, to), ChangeRows(changes));
}

}  // namespace papers

}  // namespace mirn
