// The priced operation editor as the priced operations list opens it: adding with the
// product and operation type pickers, changing the list's current operation, and the
// duplicate check on product, operation type and kind.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform10.h"
#include "refbooks/tform3.h"
#include "refbooks/tform4.h"
#include "refbooks/tform8.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
const QString kAllFields = QStringLiteral("Все поля должны быть заполнены!");
const QString kDuplicate = QStringLiteral("Операция с такими параметрами уже заведена!");

// Products 1 КР-100, 2 ХМ-40; types 1 Резка, 2 Покраска; operations 10 (КР-100,
// Резка, finished, stored price 12.5) and 11 (КР-100, Покраска, blanks, 7), each with a norm.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1, null), (2, 'ХМ-40', '', 6, 1, null)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (10, 1, 0, 1, 12.5), (11, 2, 1, 1, 7)"));
    testdb::exec(QStringLiteral("alter table accounts_dep.oper alter column id restart with 100"));
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (10, 1, 0, 3), (11, 1, 0, 4)"));
}

QString operations() {
    return testdb::scalar(QStringLiteral(
                              "select string_agg(i_id || '/' || vid || '/' || naimen || '/' || cena_new::numeric(10,2), ' ' "
                              "order by i_id, vid, naimen) from accounts_dep.oper"))
        .toString();
}

// The editor's pickers answered: the products list picks mark, the types list picks name.
struct Pickers {
    QString mark, type;
    int operator()(QDialog* d) const {
        if (auto* f3 = qobject_cast<TForm3*>(d)) {
            dm().Izdel.locate(QStringLiteral("marka"), mark);
            f3->Button2Click();
            return f3->result();
        }
        if (auto* f8 = qobject_cast<TForm8*>(d)) {
            dm().Vid_oper.locate(QStringLiteral("vid"), type);
            f8->Button2Click();
            return f8->result();
        }
        return int(QDialog::Rejected);
    }
};
}  // namespace

class TestPricedEditor : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(QStringLiteral("t_priced_editor"));
        loadFixture();
        dm().Oper.open();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    // Adding with both pickers: the editor is prepared afresh and the list re-read.
    void addThroughThePickers() {
        TForm10& ed = forms::form<TForm10>();
        ed.Edit1->setText(QStringLiteral("старое"));
        ed.ComboBox1->setCurrentIndex(1);
        dm().Oper.setRecNo(2);
        MessageLog log;
        QString title, shownMark = QStringLiteral("?");
        int shownKind = -1;
        const Pickers pick{QStringLiteral("ХМ-40"), QStringLiteral("Покраска")};
        ModalScript modal([&](QDialog* d) {
            if (d != &ed) return pick(d);
            title = ed.windowTitle();
            shownMark = ed.Edit1->text();
            shownKind = ed.ComboBox1->currentIndex();
            ed.Button3Click();
            ed.Button4Click();
            ed.ComboBox1->setCurrentIndex(1);
            ed.Button1Click();
            return ed.result();
        });
        pricedOperationAdd();
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(title, QStringLiteral("Заведение новой цены за операцию"));
        QCOMPARE(shownMark, QString());
        QCOMPARE(shownKind, 0);
        QCOMPARE(ed.Edit1->text(), QStringLiteral("ХМ-40"));
        QCOMPARE(ed.Edit2->text(), QStringLiteral("Покраска"));
        QCOMPARE(operations(), QStringLiteral("1/1/0/12.50 1/2/1/7.00 2/2/1/0.00"));
        // The pickers closed their queries; the list is re-read and on its first row.
        QVERIFY(!dm().Izdel.active() && !dm().Vid_oper.active());
        QVERIFY(dm().Oper.active());
        QCOMPARE(dm().Oper.recNo(), 1);
        // Without a norm the new operation is listed with an empty price, ready for "Цены".
        QCOMPARE(dm().Oper.recordCount(), 3);
    }

    // Adding: the same product, type and kind refused; the other kind accepted.
    void addDuplicateCheck_data() {
        QTest::addColumn<int>("i_id");
        QTest::addColumn<int>("vid");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("same product, type and kind") << 1 << 1 << 0 << kDuplicate;
        QTest::newRow("same product and type, other kind") << 1 << 1 << 1 << "";
        QTest::newRow("same type and kind, other product") << 2 << 1 << 0 << "";
        QTest::newRow("same product and kind, other type") << 1 << 2 << 0 << "";
    }
    void addDuplicateCheck() {
        QFETCH(int, i_id);
        QFETCH(int, vid);
        QFETCH(int, kind);
        QFETCH(QString, message);
        const QString before = operations();
        MessageLog log;
        TForm10& ed = forms::form<TForm10>();
        int result = -1;
        ModalScript modal([&](QDialog*) {
            ed.setResult(0);
            ed.Edit1->setText(QStringLiteral("выбрано"));
            ed.Edit2->setText(QStringLiteral("выбрано"));
            ed.i_id = i_id;
            ed.oper_vid = vid;
            ed.ComboBox1->setCurrentIndex(kind);
            ed.Button1Click();
            result = ed.result();
            return result;
        });
        pricedOperationAdd();
        if (message.isEmpty()) {
            QVERIFY(log.messages.isEmpty());
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(testdb::scalarInt(QStringLiteral(
                         "select count(*) from accounts_dep.oper where i_id=%1 and vid=%2 and naimen=%3 and cena_new=0")
                                           .arg(i_id)
                                           .arg(vid)
                                           .arg(kind)),
                     1);
        } else {
            QCOMPARE(log.texts(), QStringList{message});
            QCOMPARE(log.messages.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(result, 0);  // the editor stays open
            QCOMPARE(operations(), before);
        }
    }

    // The pickers have to fill both fields again: the ids left from the last use do not count.
    void addWithoutPickingIsRefused() {
        TForm10& ed = forms::form<TForm10>();
        ed.i_id = 2;
        ed.oper_vid = 2;
        MessageLog log;
        ModalScript modal([&](QDialog*) {
            ed.setResult(0);
            ed.Button1Click();
            return ed.result();
        });
        pricedOperationAdd();
        QCOMPARE(log.texts(), QStringList{kAllFields});
        QCOMPARE(int(log.messages.first().icon), int(ui::Icon::Error));
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.oper")), 2);
    }

    // Changing: the editor shows the list's current operation; saving it unchanged is
    // accepted, a clash with another operation is refused, the stored price is kept.
    void changeTheCurrentOperation_data() {
        QTest::addColumn<QString>("type");  // "" keeps the type
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("after");
        QTest::newRow("unchanged") << "" << 1 << "" << "1/1/0/12.50 1/2/1/7.00";
        QTest::newRow("other kind") << "" << 0 << "" << "1/1/0/12.50 1/2/0/7.00";
        QTest::newRow("clash with operation 10") << "Резка" << 0 << kDuplicate << "1/1/0/12.50 1/2/1/7.00";
        QTest::newRow("other type, free") << "Резка" << 1 << "" << "1/1/0/12.50 1/1/1/7.00";
    }
    void changeTheCurrentOperation() {
        QFETCH(QString, type);
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(QString, after);
        QVERIFY(dm().Oper.locate(QStringLiteral("id"), 11));
        TForm10& ed = forms::form<TForm10>();
        MessageLog log;
        QStringList shown;
        ModalScript modal([&](QDialog* d) {
            if (d != &ed) return Pickers{QString(), type}(d);
            ed.setResult(0);
            shown << ed.windowTitle() << ed.Edit1->text() << ed.Edit2->text()
                  << QString::number(ed.ComboBox1->currentIndex()) << QString::number(ed.i_id)
                  << QString::number(ed.oper_vid);
            if (!type.isEmpty()) ed.Button4Click();
            ed.ComboBox1->setCurrentIndex(kind);
            ed.Button1Click();
            return ed.result();
        });
        pricedOperationChange();
        QCOMPARE(shown, (QStringList{"Изменение данных о цене за операцию", "КР-100", "Покраска", "1", "1", "2"}));
        QCOMPARE(log.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(operations(), after);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.oper where id=11")), 1);
    }

    void changeOnAnEmptyListDoesNothing() {
        dm().Oper.setLikeFilter(QStringLiteral("marka"), QStringLiteral("нет такой"));
        QVERIFY(dm().Oper.isEmpty());
        ModalScript modal;
        pricedOperationChange();
        QVERIFY(modal.shown.isEmpty());
        dm().Oper.clearFilter();
    }

    // The priced operations list's own buttons reach the editor.
    void theListsButtonsOpenTheEditor() {
        TForm4& f4 = forms::form<TForm4>();
        f4.prepareReference();
        TForm10& ed = forms::form<TForm10>();
        QStringList titles;
        ModalScript modal([&](QDialog* d) {
            titles << d->windowTitle();
            return int(QDialog::Rejected);
        });
        f4.Button1->click();
        QVERIFY(dm().Oper.locate(QStringLiteral("id"), 10));
        f4.Button2->click();
        QCOMPARE(titles, (QStringList{"Заведение новой цены за операцию", "Изменение данных о цене за операцию"}));
        QCOMPARE(ed.Edit2->text(), QStringLiteral("Резка"));
        QCOMPARE(ed.Tag, 2);
    }
};

QTEST_MAIN(TestPricedEditor)
#include "test_priced_editor.moc"
