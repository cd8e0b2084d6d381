// Texts the reference books store, on the real server: a NUL character or a text longer
// than its column is refused by the store with a Russian sentence naming the field and
// its limit, and nothing is stored; a text exactly at the limit is stored whole.
#include "domain/connection.h"
#include "domain/optypes.h"
#include "domain/products.h"
#include "domain/workers.h"
#include "support/database.h"

#include <QtTest>

#include <functional>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_text_limits");

using Save = std::function<Result(const QString&)>;

// Each store with the field under test; the others filled in well.
Save storeOf(const QString& name) {
    if (name == QLatin1String("worker name"))
        return [](const QString& t) { return workers::WorkerStore().save(0, t, QStringLiteral("Слесарь")); };
    if (name == QLatin1String("worker position"))
        return [](const QString& t) { return workers::WorkerStore().save(0, QStringLiteral("Петров П.П."), t); };
    if (name == QLatin1String("product mark"))
        return [](const QString& t) { return products::ProductStore().save({t, QStringLiteral("1,5"), 2}, 0); };
    return [](const QString& t) { return optypes::OpTypeStore().save(t, 0); };
}

// How many rows hold the text (as stored: the product mark and the type name trimmed).
int stored(const QString& name, const QString& text) {
    QString sql;
    if (name == QLatin1String("worker name")) sql = QStringLiteral("select count(*) from accounts_dep.person where fio=:t");
    else if (name == QLatin1String("worker position"))
        sql = QStringLiteral("select count(*) from accounts_dep.person where s_staffpos_hl=:t");
    else if (name == QLatin1String("product mark"))
        sql = QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv where s_caption=:t");
    else sql = QStringLiteral("select count(*) from accounts_dep.vid_oper where vid=:t");
    Query q;
    q.setText(sql);
    q.setParam(QStringLiteral("t"), text);
    q.open();
    return q.asInt(QStringLiteral("count"));
}
}  // namespace

class TestTextLimits : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testdb::openFresh(kDb, true); }
    void cleanupTestCase() { connection::closeShared(); }

    void limits_data() {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("limit");
        QTest::newRow("worker name") << "worker name" << "Фамилия И.О." << 254;
        QTest::newRow("worker position") << "worker position" << "Должность" << 254;
        QTest::newRow("product mark") << "product mark" << "Марка" << 254;
        QTest::newRow("operation type") << "operation type" << "Вид операции" << 128;
    }
    void limits() {
        QFETCH(QString, store);
        QFETCH(QString, field);
        QFETCH(int, limit);
        const Save save = storeOf(store);

        // A NUL inside a name: refused by the store, not sent as a broken statement.
        const QString withNul = QStringLiteral("Ж") + QChar(u'\0') + QStringLiteral("-1");
        Result r = save(withNul);
        QVERIFY(!r.saved());
        QCOMPARE(r.message, QStringLiteral("В поле «%1» есть недопустимый символ (нулевой код): уберите его и запишите снова.").arg(field));

        // One character over the column, counted in characters (Cyrillic is two bytes).
        const QString tooLong = QString(limit + 1, QChar(u'Щ'));
        r = save(tooLong);
        QVERIFY(!r.saved());
        QCOMPARE(r.message, QStringLiteral("В поле «%1» можно записать не больше %2 знаков, а введено %3: сократите текст.")
                                .arg(field)
                                .arg(limit)
                                .arg(limit + 1));
        QCOMPARE(stored(store, tooLong.left(limit)), 0);

        // Exactly at the limit: stored whole.
        const QString atLimit = QString(limit - 1, QChar(u'Ю')) + QStringLiteral("1");
        r = save(atLimit);
        QVERIFY2(r.saved(), qPrintable(r.message));
        QCOMPARE(stored(store, atLimit), 1);
    }
};

QTEST_GUILESS_MAIN(TestTextLimits)
#include "test_text_limits.moc"
