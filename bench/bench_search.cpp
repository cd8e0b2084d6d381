// A search key typed in a list of 10,000 workers sorted by name, against the same key
// in the unsorted list, in the same run; and the former way, kept here: filter the rows,
// then sort the rows found again for every key.
// Usage: bench_search [rows] [rounds]  (needs the test server, see scripts/test.sh)
#include "domain/db.h"
#include "support/testdb.h"

#include <QCollator>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace mirn;

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The former way: every key filtered the rows in the server's order and then built a sort
// key for each row found and sorted them (with the list's own comparison of texts).
struct OldKey {
    bool empty = true;
    QString text;
};
std::vector<int> oldSearch(const Query& q, int col, const QString& key) {
    const QString needle = key.toLower();
    std::vector<int> visible;
    for (int i = 0; i < q.recordCount(); ++i)
        if (q.row(i).value(q.fieldIndex(QStringLiteral("s_caption"))).toString().toLower().startsWith(needle))
            visible.push_back(i);
    std::vector<OldKey> keys(size_t(q.recordCount()));
    for (int i : visible) {
        const QVariant& v = q.row(i)[col];
        if (numberOf(v)) continue;  // a number's key, as the former sort tried first; none here
        const QString s = v.toString().trimmed();
        keys[size_t(i)] = {s.isEmpty(), s};
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(visible.begin(), visible.end(), [&](int a, int b) {
        const OldKey &x = keys[size_t(a)], &y = keys[size_t(b)];
        if (x.empty != y.empty) return x.empty;
        return compareTexts(x.text, y.text, collator) < 0;
    });
    return visible;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

    testdb::openFresh(QStringLiteral("b_search"));
    // Surnames from a few stems and endings, in no particular order, initials after them.
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) "
        "select w, (array['Иван','Петр','Сидор','Кузнец','Смирн','Попов','Лебед','Козл','Новик','Мороз'])[1 + (w * 7) % 10] "
        "|| (array['ов','ев','ин','ский','енко'])[1 + (w * 3) % 5] || ' ' "
        "|| chr(1040 + (w * 13) % 32) || '.' || chr(1040 + (w * 17) % 32) || '. ' || (w * 7919) % 100000, "
        "(10000 + w)::text from generate_series(1, %1) w").arg(rows));

    Query q;
    q.setText(QStringLiteral("select id, s_caption from cmn_contractor.person order by id"));
    q.open();
    const int col = q.fieldIndex(QStringLiteral("s_caption"));
    // The keys typed for "Смирнов", then taken back one by one, then "Ко".
    const QStringList keys{QStringLiteral("С"), QStringLiteral("См"), QStringLiteral("Сми"), QStringLiteral("Смир"),
                           QStringLiteral("Смирн"), QStringLiteral("Смирно"), QStringLiteral("Смирнов"),
                           QStringLiteral("Смирно"), QStringLiteral("Смир"), QStringLiteral("См"),
                           QStringLiteral("С"), QStringLiteral("К"), QStringLiteral("Ко")};

    auto perKey = [&](bool sorted) {
        q.clearFilter();
        if (sorted) q.setSort(QStringLiteral("s_caption"));
        else q.clearSort();
        std::vector<double> v;
        for (int r = 0; r < rounds; ++r)
            for (const QString& k : keys) {
                QElapsedTimer t;
                t.start();
                q.setLikeFilter(QStringLiteral("s_caption"), k);
                v.push_back(t.nsecsElapsed() / 1e6);
            }
        q.clearFilter();
        return v;
    };
    const std::vector<double> unsorted = perKey(false);
    const std::vector<double> sorted = perKey(true);

    // The former way on the same rows (server order), checked against the new one.
    q.clearSort();
    std::vector<double> old;
    bool same = true;
    for (int r = 0; r < rounds; ++r)
        for (const QString& k : keys) {
            QElapsedTimer t;
            t.start();
            const std::vector<int> found = oldSearch(q, col, k);
            old.push_back(t.nsecsElapsed() / 1e6);
            if (r == 0) {
                std::vector<QVariant> want;
                for (int i : found) want.push_back(q.row(i)[0]);
                q.setSort(QStringLiteral("s_caption"));
                q.setLikeFilter(QStringLiteral("s_caption"), k);
                std::vector<QVariant> got;
                for (int i = 0; i < q.recordCount(); ++i) got.push_back(q.value(i, 0));
                same = same && got == want;
                q.clearFilter();
                q.clearSort();
            }
        }

    QFile load(QStringLiteral("/proc/loadavg"));
    load.open(QIODevice::ReadOnly);
    auto mx = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("search key in a list sorted by name: %d rows, %lld keys x %d rounds; same rows and order as before: %s\n",
                q.recordCount(), qlonglong(keys.size()), rounds, same ? "yes" : "NO");
    std::printf("  %-34s median %7.2f ms  worst %7.2f ms\n", "before (filter, then sort the found)", median(old), mx(old));
    std::printf("  %-34s median %7.2f ms  worst %7.2f ms\n", "after (sorted list)", median(sorted), mx(sorted));
    std::printf("  %-34s median %7.2f ms  worst %7.2f ms\n", "baseline (the unsorted list)", median(unsorted), mx(unsorted));
    std::printf("  ratio after/baseline: median %.2f, worst %.2f; before/baseline %.2f\n", median(sorted) / median(unsorted),
                mx(sorted) / mx(unsorted), median(old) / median(unsorted));
    std::printf("  load: %s", load.readAll().constData());
    return 0;
}
