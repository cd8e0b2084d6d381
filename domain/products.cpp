#include "domain/products.h"

#include "domain/db.h"
#include "domain/text_rules.h"
#include "domain/limits.h"
#include "domain/locks.h"
#include "domain/sqltext.h"
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

ProductStore::ProductStore(Db db) : db_(std::move(db)) {}

Result ProductStore::save(const Product& p, qlonglong changingId) {
    const QString mark = p.mark.trimmed();
    if (mark.isEmpty() || p.massa.trimmed().isEmpty() || p.group == 0)
        return Result::refuse(Status::Incomplete, kFillAllFields);
    if (auto refusal = text_rules::check({{QStringLiteral("Марка"), mark, text_rules::kMarkMax}})) return Result::refuse(Status::Invalid, *refusal);
    const QString massa = massForDb(p.massa);
    if (auto refusal = limits::check(limits::kMass, massa)) return Result::refuse(Status::Invalid, *refusal);

    const bool adding = changingId == 0;
    Transaction tx(db_);
    locks::takeBook(db_, locks::Book::Products);
    Query dup(db_);
    dup.setText(sqltext::productDuplicate(adding));
    dup.setParam(QStringLiteral("marka"), mark.toUpper());
    if (!adding) dup.setParam(QStringLiteral("id"), changingId);
    dup.open();
    if (dup.asInt(QStringLiteral("cnt")) > 0) return Result::refuse(Status::Duplicate, kDuplicateMark);

    Command cmd(db_);
    if (adding) {
        cmd.setText(sqltext::productInsert());
    } else {
        cmd.setText(sqltext::productUpdate());
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
    Query entries(db_);
    entries.setText(sqltext::productEntries());
    entries.setParam(QStringLiteral("dt"), entriesCountedSince(today));
    entries.setParam(QStringLiteral("id_ii"), id);
    entries.open();
    Query opers(db_);
    opers.setText(sqltext::productOpers());
    opers.setParam(QStringLiteral("id_ii"), id);
    opers.open();
    return {entries.asInt(QStringLiteral("cnt")), opers.asInt(QStringLiteral("cnt"))};
}

namespace {
using Month = QPair<int, int>;

// The months the product's entries lie in.
QSet<Month> entryMonths(const Db& db, qlonglong id) {
    Query q(db);
    q.setText(sqltext::productEntryMonths(id));
    q.open();
    QSet<Month> months;
    for (int r = 0; r < q.recordCount(); ++r) months.insert({toInt(q.value(r, 0)), toInt(q.value(r, 1))});
    return months;
}
}  // namespace

void ProductStore::remove(qlonglong id, const DeletePlan& plan) {
    if (!plan.opers && !plan.entries && !plan.product) return;
    // An entry saved into another month between reading the months and locking them
    // would escape the recount: then start again with the new months known.
    for (int attempt = 0;; ++attempt) {
        Transaction tx(db_);
        if (plan.entries) {
            const QSet<Month> months = entryMonths(db_, id);
            locks::takeMonths(db_, months.values());
            if (!entryMonths(db_, id).subtract(months).isEmpty()) {
                if (attempt < 5) continue;
                throw DbError(QStringLiteral("Записи изделия всё время меняются, удаление не выполнено"));
            }
            // The worker days the entries are booked on, read before they go.
            Query days(db_);
            days.setText(sqltext::productEntryDays(id));
            days.open();
            QList<timesheet::Day> touched;
            for (int r = 0; r < days.recordCount(); ++r)
                touched << timesheet::Day{toInt(days.value(r, QStringLiteral("w_id"))),
                                          days.value(r, QStringLiteral("data")).toDate(),
                                          toInt(days.value(r, QStringLiteral("smena")))};
            db_.exec(sqltext::productDeleteEntries(id));
            timesheet::Service(db_).recountDays(touched);
        }
        if (plan.opers) {
            db_.exec(sqltext::productDeleteNorms(id));
            db_.exec(sqltext::productDeleteOpers(id));
        }
        if (plan.product) db_.exec(sqltext::productDelete(id));
        tx.commit();
        return;
    }
}

}  // namespace products

}  // namespace mirn
