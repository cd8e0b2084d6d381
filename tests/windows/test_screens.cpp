// Every window on a 1024×768 screen, at 100 % and at 200 % (QT_SCALE_FACTOR=2, a
// second run of this program): its frame inside the available area, the grid
// windows resizable with the grid taking the room. And the remembered layout:
// geometry, grid columns, the journal's shift, never off the screen. With
// MIRN_SHOTS set (the Xvfb run) each grid window is photographed there.
#include "auxwork/tform24.h"
#include "auxwork/tform25.h"
#include "gui/forms.h"
#include "gui/layout.h"
#include "core/signin.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/tform10.h"
#include "refbooks/tform2.h"
#include "refbooks/tform22.h"
#include "refbooks/tform26.h"
#include "refbooks/tform3.h"
#include "refbooks/tform4.h"
#include "refbooks/tform5.h"
#include "refbooks/tform7.h"
#include "refbooks/tform8.h"
#include "refbooks/tform9.h"
#include "reports/tform18.h"
#include "support/testdb.h"
#include "timesheet/tform19.h"

#include <QHeaderView>
#include <QScreen>
#include <QtTest>

using namespace mirn;

namespace {
// The runs at other scales and on X run beside this one: each needs a database of its own.
QString screensDb() { return qEnvironmentVariable("MIRN_SCREENS_DB", QStringLiteral("t_screens")); }

using Maker = std::function<QDialog*()>;
template <class T>
Maker maker() {
    return [] { return static_cast<QDialog*>(&forms::form<T>()); };
}
QTemporaryDir* g_config = nullptr;
}  // namespace

Q_DECLARE_METATYPE(Maker)

class TestScreens : public QObject {
    Q_OBJECT

    static QRect avail() { return QGuiApplication::primaryScreen()->availableGeometry(); }

private slots:
    void initTestCase() {
        layout::install();
        testdb::startApp(screensDb(), true);
        signIn();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    void windowFits_data() {
        QTest::addColumn<Maker>("make");
        QTest::addColumn<bool>("grid");  // resizable, the grid takes the room
        QTest::newRow("journal TForm1") << maker<TForm1>() << true;
        QTest::newRow("workers TForm5") << maker<TForm5>() << true;
        QTest::newRow("products TForm3") << maker<TForm3>() << true;
        QTest::newRow("operation types TForm8") << maker<TForm8>() << true;
        QTest::newRow("priced operations TForm4") << maker<TForm4>() << true;
        QTest::newRow("nomenclature TForm26") << maker<TForm26>() << true;
        QTest::newRow("timesheet TForm19") << maker<TForm19>() << true;
        QTest::newRow("aux register TForm25") << maker<TForm25>() << true;
        QTest::newRow("worker editor TForm2") << maker<TForm2>() << false;
        QTest::newRow("product editor TForm7") << maker<TForm7>() << false;
        QTest::newRow("type editor TForm9") << maker<TForm9>() << false;
        QTest::newRow("norms TForm10") << maker<TForm10>() << false;
        QTest::newRow("entry TForm11") << maker<TForm11>() << false;
        QTest::newRow("reports TForm18") << maker<TForm18>() << false;
        QTest::newRow("priced editor TForm22") << maker<TForm22>() << false;
        QTest::newRow("aux entry TForm24") << maker<TForm24>() << false;
        QTest::newRow("sign-in TForm23") << maker<TForm23>() << false;
    }
    void windowFits() {
        QFETCH(Maker, make);
        QFETCH(bool, grid);
        QDialog* w = make();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QRect frame = w->frameGeometry();
        QVERIFY2(avail().contains(frame),
                 qPrintable(QStringLiteral("frame %1,%2 %3x%4 outside %5x%6 (minimum %7x%8)")
                                .arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())
                                .arg(avail().width()).arg(avail().height())
                                .arg(w->minimumSizeHint().width()).arg(w->minimumSizeHint().height())));
        if (grid) {
            QAbstractItemView* g = nullptr;  // the grid on show (the timesheet has one per tab)
            for (auto* v : w->findChildren<QAbstractItemView*>())
                if (v->isVisible() && !g) g = v;
            QVERIFY(g);
            QVERIFY2(w->minimumSize() != w->maximumSize(), "a grid window must be resizable");
            // Shrinking the window by some pixels shrinks the grid by the same.
            const int before = g->height();
            const QSize small = w->size() - QSize(0, 40);
            if (small.height() >= w->minimumSizeHint().height()) {
                w->resize(small);
                QCoreApplication::processEvents();
                QCOMPARE(g->height(), before - 40);
            }
            const QString shots = qEnvironmentVariable("MIRN_SHOTS");
            if (!shots.isEmpty()) {
                w->resize(w->size() + QSize(0, 40));
                w->raise();
                QTest::qWait(300);
                QDir().mkpath(shots);
                const QString name = QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(' '), -1);
                QVERIFY(w->screen()->grabWindow(0).save(shots + QLatin1Char('/') + name + QStringLiteral(".png")));
            }
        }
        w->hide();
    }

    // Size, place and columns come back at the next start; the journal's shift too.
    void layoutComesBack() {
        TForm1& f1 = forms::form<TForm1>();
        f1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f1));
        const QSize size(avail().width() * 3 / 4, avail().height() * 3 / 4);
        f1.resize(size);
        f1.move(avail().topLeft() + QPoint(10, 12));
        QHeaderView* h = f1.DBGrid2->horizontalHeader();
        h->resizeSection(0, 123);
        h->moveSection(1, 3);
        f1.RadioButton3->setChecked(true);
        f1.hide();
        const QPoint pos = f1.pos();

        testdb::startApp(screensDb(), true);  // a new run: windows created anew
        TForm1& again = forms::form<TForm1>();
        QVERIFY(again.RadioButton3->isChecked());
        signIn();
        QCOMPARE(again.CurrentShift, 3);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.size(), size);
        QCOMPARE(again.pos(), pos);
        QCOMPARE(again.DBGrid2->horizontalHeader()->sectionSize(0), 123);
        QCOMPARE(again.DBGrid2->horizontalHeader()->visualIndex(1), 3);
        again.hide();
        again.RadioButton1->setChecked(true);
    }

    // A place remembered on a larger screen (or a screen gone) is pulled back.
    void rememberedPlaceOffScreen_data() {
        QTest::addColumn<QRect>("saved");
        QTest::newRow("far right and down") << QRect(5000, 4000, 400, 300);
        QTest::newRow("left and above") << QRect(-3000, -2000, 400, 300);
        QTest::newRow("larger than the screen") << QRect(0, 0, 5000, 4000);
    }
    void rememberedPlaceOffScreen() {
        QFETCH(QRect, saved);
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("mirn"), QStringLiteral("layout"));
        s.setValue(QStringLiteral("TForm5/geometry"), saved);
        s.sync();
        testdb::startApp(screensDb(), true);
        TForm5& f = forms::form<TForm5>();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY2(avail().contains(f.frameGeometry()), qPrintable(QStringLiteral("%1,%2").arg(f.x()).arg(f.y())));
        f.hide();
    }
};

int main(int argc, char** argv) {
    // A 1024×768 screen: the offscreen platform is told its size; the Xvfb run brings its own.
    QTemporaryDir dir;
    g_config = &dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        const QString conf = dir.filePath(QStringLiteral("screen.json"));
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(R"({"windowFrameMargins": true, "screens": [{"name": "s1024", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        f.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + conf.toUtf8());
    }
    QApplication app(argc, argv);
    TestScreens t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_screens.moc"
