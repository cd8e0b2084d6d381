// A month's timesheet-sized workbook, 10,000 rows by 33 columns, written one cell at a time
// through ExcelWriteCell and then saved as .xlsx. Prints the time of each half.
#include "export/excel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace mirn;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    constexpr int columns = 33;

    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    workbook::testing::setOutputDir(dir.path());
    workbook::testing::setOpener([](const QString&) { return true; });  // no program started

    // The texts are made before the clock starts: the caller's formatting is not measured.
    QStringList names;
    for (int r = 0; r < 100; ++r) names << QStringLiteral("Работник %1 И.О.").arg(r);
    QStringList hours;
    for (int h = 0; h <= 24; ++h) hours << QString::number(h);

    QElapsedTimer total;
    total.start();
    ExcelSetTitle(QStringLiteral("Замер"));
    if (ExcelOpen(QString()) != 1) return 1;
    int failures = 0;
    for (int r = 0; r < rows; ++r) {
        const int row = r + 2;
        failures += ExcelWriteCell(1, 1, row, names[r % names.size()]) != 1;
        for (int c = 2; c <= columns; ++c)
            failures += ExcelWriteCell(1, c, row, hours[(r + c) % hours.size()]) != 1;
    }
    const qint64 writeMs = total.elapsed();
    ExcelSetVisible(true);
    const qint64 totalMs = total.elapsed();

    const QString path = workbook::lastWrittenPath();
    std::printf("rows=%d columns=%d cells=%d failures=%d\n", rows, columns, rows * columns,
                failures);
    std::printf("write_ms=%lld save_ms=%lld total_ms=%lld file_bytes=%lld\n",
                static_cast<long long>(writeMs), static_cast<long long>(totalMs - writeMs),
                static_cast<long long>(totalMs), static_cast<long long>(QFileInfo(path).size()));
    return failures == 0 && !path.isEmpty() ? 0 : 1;
}
