// Build stamp parsing and the sign-in caption built from it.
#include "domain/buildstamp.h"

#include <QtTest>

using namespace mirn;

class TestBuildStamp : public QObject {
    Q_OBJECT
private slots:
    void date_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("February, two-digit day") << "Feb 10 2024" << 20240210;
        QTest::newRow("single-digit day has a blank") << "Mar  5 2024" << 20240305;
        QTest::newRow("January (n after a)") << "Jan 31 2023" << 20230131;
        QTest::newRow("June (n after u)") << "Jun  1 2023" << 20230601;
        QTest::newRow("March (r after M)") << "Mar 15 2022" << 20220315;
        QTest::newRow("April (r after A)") << "Apr 30 2022" << 20220430;
        QTest::newRow("May") << "May  9 2021" << 20210509;
        QTest::newRow("July") << "Jul  4 2021" << 20210704;
        QTest::newRow("August") << "Aug 18 2020" << 20200818;
        QTest::newRow("September") << "Sep 21 2020" << 20200921;
        QTest::newRow("October") << "Oct  1 2019" << 20191001;
        QTest::newRow("November") << "Nov 11 2019" << 20191111;
        QTest::newRow("December") << "Dec 25 2026" << 20261225;
        QTest::newRow("unknown date") << "??? ?? ????" << 19000101;
        QTest::newRow("unknown month only") << "??? 12 2024" << 20240112;
        QTest::newRow("unknown day only") << "Dec ?? 2024" << 20241201;
        QTest::newRow("unknown year only") << "Dec 12 ????" << 19001212;
    }
    void date() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(buildstamp::dateFromText(text.toLatin1().constData()), expected);
    }

    void time_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("evening") << "20:34:39" << 74079;
        QTest::newRow("midnight") << "00:00:00" << 0;
        QTest::newRow("last second") << "23:59:59" << 86399;
        QTest::newRow("morning, leading zeros") << "09:05:07" << 32707;
        // A compiler without a clock writes question marks: they count as zeros.
        QTest::newRow("unknown time") << "??:??:??" << 0;
    }
    void time() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(buildstamp::timeFromText(text.toLatin1().constData()), expected);
    }

    void caption() {
        QCOMPARE(buildstamp::signInCaption(20240210, 74079),
                 QStringLiteral("Авторизация (build: 20240210.74079)"));
        QCOMPARE(buildstamp::signInCaption(20240305, 7), QStringLiteral("Авторизация (build: 20240305.7)"));
    }

    void ordering() {
        QVERIFY(buildstamp::isOlder(20240210, 74079, 20240211, 0));
        QVERIFY(buildstamp::isOlder(20240210, 74078, 20240210, 74079));
        QVERIFY(!buildstamp::isOlder(20240210, 74079, 20240210, 74079));
        QVERIFY(!buildstamp::isOlder(20240211, 0, 20240210, 86399));
    }
};

QTEST_MAIN(TestBuildStamp)
#include "test_buildstamp.moc"
