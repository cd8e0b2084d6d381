// One entry saved as the entry dialog saves it (the store's transaction, then the
// journal's shift query read again): statements sent to the server per save, and the
// time of 1,000 saves. Usage: bench_save [saves]  (needs the test server, see scripts/test.sh)
#include "core/datamodule.h"
#include "domain/entry_store.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

using namespace mirn;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int saves = argc > 1 ? std::atoi(argv[1]) : 1000;

    testdb::startApp(QStringLiteral("b_save"));
    testdb::exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) "
                                "select w, 'Работник ' || w, (10000 + w)::text from generate_series(1, 50) w"));
    testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values (1, 'КР-100', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0)"));

    Query& journal = dm().Smena1;
    journal.setParam(QStringLiteral("data"), QDate(2024, 3, 5));
    journal.open();
    entry::EntryStore store;
    auto saveOne = [&](int i) {
        entry::Record r;
        r.w_id = 10001 + i % 50;
        r.i_id = 1;
        r.o_id = 1;
        r.cena = 2.5;
        r.kol_vo = 10;
        r.time = 1 + i % 8;
        r.color = i / 50;  // never a duplicate
        r.date = QDate(2024, 3, 1).addDays(i % 28);
        r.shift = 1;
        if (const Result s = store.insert(r); !s.saved()) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(s.message));
            std::exit(1);
        }
        journal.reopen();
    };

    // The first save of a worker's month creates its row; later ones update it.
    const long before = roundTrips();
    saveOne(0);
    const long first = roundTrips() - before;
    saveOne(50);
    const long next = roundTrips() - before - first;

    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= saves; ++i) saveOne(100 + i);
    const double ms = t.nsecsElapsed() / 1e6;
    std::printf("statements per save: %ld (first of a worker's month), %ld (later)\n", first, next);
    std::printf("%d saves: %8.1f ms, %.2f ms per save\n", saves, ms, ms / saves);
    testdb::stopApp();
    return 0;
}
