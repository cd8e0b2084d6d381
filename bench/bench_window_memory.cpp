// Resident memory growth from opening and closing each window 100 times on the demo
// database. A window must give its memory back when it closes: the target is less than
// 2 MB of growth per window after the warm-up opening.
// Usage: bench_window_memory [times]  (needs the test server, see scripts/test.sh)
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "reports/tform18.h"
#include "support/testdb.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <functional>
#include <malloc.h>
#include <unistd.h>

using namespace mirn;

namespace {
// Resident set size in KB.
long residentKb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

long settledKb() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    malloc_trim(0);
    return residentKb();
}

// Opens a window `times` times; each modal window (the window itself, a preview) is
// shown, laid out and painted, then closed. Returns the growth in KB after the warm-up.
long measure(const char* name, int times, const std::function<void()>& open) {
    ModalScript modal([](QDialog* d) {
        d->show();
        QCoreApplication::processEvents();
        d->hide();
        return int(QDialog::Rejected);
    });
    open();  // warm-up: caches, fonts, first creation
    const long before = settledKb();
    for (int i = 0; i < times; ++i) open();
    const long growth = settledKb() - before;
    std::printf("%-40s %4d times: %+7ld KB%s\n", name, times, growth, growth < 2048 ? "" : "   (over 2 MB)");
    std::fflush(stdout);
    return growth;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int times = argc > 1 ? std::atoi(argv[1]) : 100;
    testdb::startApp(QStringLiteral("b_window_memory"), true);
    TForm1& f1 = signIn();
    TForm18& f18 = forms::form<TForm18>();
    const QDate from(QDate::currentDate().year() - 1, 1, 1), to = QDate::currentDate().addDays(1);
    auto report = [&](QPushButton* b) {
        return [&f1, &f18, b, from, to] {
            f1.N10Click();
            f18.DTPicker1->setDate(from);
            f18.DTPicker2->setDate(to);
            b->click();
        };
    };
    long worst = 0;
    auto run = [&](const char* name, const std::function<void()>& open) { worst = std::max(worst, measure(name, times, open)); };
    run("Табель по времени (N11)", [&] { f1.N11Click(); });
    run("Сводные отчеты (N10)", [&] { f1.N10Click(); });
    run("Отчет по рабочим (preview)", report(f18.Button4));
    run("Отчет по продукции (preview)", report(f18.Button2));
    run("Детальный отчет по рабочим (preview)", report(f18.Button1));
    run("Детальный отчет по продукции (preview)", report(f18.Button3));
    run("Рабочие (N1)", [&] { f1.N1Click(); });
    run("Изделия (N3)", [&] { f1.N3Click(); });
    run("Цены (N4)", [&] { f1.N4Click(); });
    run("Операции (N6)", [&] { f1.N6Click(); });
    run("Хоз. работы (Button5)", [&] { f1.Button5Click(); });
    std::printf("worst growth: %ld KB (target < 2048 KB)\n", worst);
    testdb::stopApp();
    return worst < 2048 ? 0 : 1;
}
