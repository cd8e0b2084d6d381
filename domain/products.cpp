#include "domain/products.h"

#include "domain/db.h"
#include "domain/text_rules.h"
#include "domain/limits.h"
#include "domain/locks.h"
#include "domain/timesheet_service.h"

#include <QSet>

namespace mirn {

namespace products {

QChar massKey(QChar typed) {
    if (typed.isDigit() || typed == QChar(8)) return typed;
    if (typed == QLatin1Char(',') || typed == QLatin1Char('.')) return QLatin1Char('.');
    return QChar();
}

QString massForDb(const QString& text) {
    QString t = text.trimmed();
    const int comma = t.indexOf(QLatin1Char(','));
    if (comma >= 0) t[comma] = QLatin1Char('.');
    return t;
}

QDate entriesCountedSince(const QDate& today) {
    const int m = today.month();
    return QDate(2000, m == 1 ? 12 : m - 1, 1);
}

ProductStore::ProductStore(QString connection) : connection_(std::move(connection)) {}

Result ProductStore::save(const Product& p, qlonglong changingId) {
    const QString mark = p.mark.trimmed();
    if (mark.isEmpty() || p.massa.trimmed().isEmpty() || p.group == 0)
        return Result::refuse(Status::Incomplete, kFillAllFields);
    if (auto refusal = text_rules::check({{QStringLiteral("Марка"), mark, text_rules::kMarkMax}})) return Result::refuse(Status::Invalid, *refusal);
    const QString massa = massForDb(p.massa);
    if (auto refusal = limits::check(limits::kMass, massa)) return Result::refuse(Status::Invalid, *refusal);

    const bool adding = changingId == 0;
    Transaction tx(connection_);
    locks::takeBook(connection_, locks::Book::Products);
    Query dup(connection_);
    dup.setText(QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=:marka") +
                (adding ? QString() : QStringLiteral(" and id<>:id")));
    dup.setParam(QStringLiteral("marka"), mark.toUpper());
    if (!adding) dup.setParam(QStringLiteral("id"), changingId);
    dup.open();
    if (dup.asInt(QStringLiteral("cnt")) > 0) return Result::refuse(Status::Duplicate, kDuplicateMark);

    Command cmd(connection_);
    if (adding) {
        cmd.setText(QStringLiteral(
            "INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)"
            "VALUES(:s_caption, '', 6, :massa, :id_class_item)"));
    } else {
        cmd.setText(QStringLiteral(
            "UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=:s_caption, s_description='', id_msm_bs=6, "
            "massa=:massa, id_class_item=:id_class_item where id=:id"));
        cmd.setParam(QStringLiteral("id"), changingId);
    }
    cmd.setParam(QStringLiteral("s_caption"), mark);
    cmd.setParam(QStringLiteral("massa"), massa);
    cmd.setParam(QStringLiteral("id_class_item"), p.group);
    cmd.exec();
    tx.commit();
    return Result::ok(changingId);
}

Usage ProductStore::usage(qlonglong id, const QDate& today) {
    Query entries(connection_);
    entries.setText(QStringLiteral(
        "select count(*) as cnt from accounts_dep.smena s where s.i_id =:id_ii and s.\"data\">=:dt"));
    entries.setParam(QStringLiteral("dt"), entriesCountedSince(today));
    entries.setParam(QStringLiteral("id_ii"), id);
    entries.open();
    Query opers(connection_);
    opers.setText(QStringLiteral("select count(*) as cnt from accounts_dep.oper o where o.i_id =:id_ii"));
    opers.setParam(QStringLiteral("id_ii"), id);
    opers.open();
    return {entries.asInt(QStringLiteral("cnt")), opers.asInt(QStringLiteral("cnt"))};
}

namespace {
using Month = QPair<int, int>;

// The months the product's entries lie in.
QSet<Month> entryMonths(const QString& connection, const QString& p) {
    Query q(connection);
    q.setText(QStringLiteral("select distinct extract(year from data)::int as y, extract(month from data)::int as m "
                             "from accounts_dep.smena s where s.i_id =") +
              p + QStringLiteral(" and data is not null"));
    q.open();
    QSet<Month> months;
    for (int r = 0; r < q.recordCount(); ++r) months.insert({toInt(q.value(r, 0)), toInt(q.value(r, 1))});
    return months;
}

void run(const QString& connection, const QString& sql) {
    Command c(connection);
    c.setText(sql);
    c.exec();
}
}  // namespace

void ProductStore::remove(qlonglong id, const DeletePlan& plan) {
    if (!plan.opers && !plan.entries && !plan.product) return;
    const QString p = QString::number(id);
    // An entry saved into another month between reading the months and locking them
    // would escape the recount: then start again with the new months known.
    for (int attempt = 0;; ++attempt) {
        Transaction tx(connection_);
        if (plan.entries) {
            const QSet<Month> months = entryMonths(connection_, p);
            locks::takeMonths(connection_, months.values());
            if (!entryMonths(connection_, p).subtract(months).isEmpty()) {
                if (attempt < 5) continue;
                throw DbError(QStringLiteral("Записи изделия всё время меняются, удаление не выполнено"));
            }
            // The worker days the entries are booked on, read before they go.
            Query days(connection_);
            days.setText(QStringLiteral("select distinct w_id, smena, data from accounts_dep.smena s where s.i_id =") +
                         p + QStringLiteral(" and w_id is not null and smena is not null and data is not null"));
            days.open();
            QList<timesheet::Day> touched;
            for (int r = 0; r < days.recordCount(); ++r)
                touched << timesheet::Day{toInt(days.value(r, QStringLiteral("w_id"))),
                                          days.value(r, QStringLiteral("data")).toDate(),
                                          toInt(days.value(r, QStringLiteral("smena")))};
            run(connection_, QStringLiteral("delete from accounts_dep.smena s where s.i_id =") + p);
            timesheet::Service(connection_).recountDays(touched);
        }
        if (plan.opers) {
            run(connection_, QStringLiteral("delete from accounts_dep.norm n where n.o_id in (select o.id from "
                                            "accounts_dep.oper o where o.i_id =") +
                                 p + QStringLiteral(")"));
            run(connection_, QStringLiteral("delete from accounts_dep.oper o where o.i_id =") + p);
        }
        if (plan.product) run(connection_, QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv  where id=") + p);
        tx.commit();
        return;
    }
}

}  // namespace products

}  // namespace mirn
