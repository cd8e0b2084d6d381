// Every export says where its file went, with the file's folder a click away: a workbook
// a spreadsheet program took, one no program took, and a report saved as PDF from the
// preview. The client's own wiring (setupApplication) and real message boxes, answered
// with the mouse.
#include "core/application.h"
#include "engine/engine.h"
#include "export/excel.h"
#include "gui/preview.h"
#include "gui/ui.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using namespace mirn;

namespace {

// Waits for the next message box, keeps its caption and text and clicks the button with
// the caption given, as the user does.
class BoxAnswer : public QObject {
public:
    explicit BoxAnswer(QString button) : button_(std::move(button)) {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            timer_.stop();
            caption = box->windowTitle();
            text = box->text();
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text();
                if (b->text() == button_) {
                    QTest::mouseClick(b, Qt::LeftButton);
                    return;
                }
            }
            box->reject();
        });
        timer_.start();
    }
    QString caption, text;
    QStringList buttons;

private:
    QString button_;
    QTimer timer_;
};

const QString kOpenFolder = QStringLiteral("Открыть папку");

}  // namespace

class TestFileNotices : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList folders_;  // the folders the user had opened

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("config"))));
        setupApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        ui::testing::setFolderOpener([this](const QString& folder) {
            folders_ << folder;
            return true;
        });
    }
    void init() {
        folders_.clear();
        workbook::testing::reset();
        workbook::testing::setOutputDir(dir_.filePath(QStringLiteral("Документы")));
    }

    // Whether or not a program took the workbook (one that starts may still fail unseen),
    // the user reads where it is and can open its folder.
    void workbookSaysWhereItIs_data() {
        QTest::addColumn<bool>("opened");
        QTest::newRow("a program took it") << true;
        QTest::newRow("no program took it") << false;
    }
    void workbookSaysWhereItIs() {
        QFETCH(bool, opened);
        workbook::testing::setOpener([opened](const QString&) { return opened; });
        ExcelSetTitle(QStringLiteral("Прайс"));
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("1")), 1);
        BoxAnswer answer(kOpenFolder);
        QCOMPARE(ExcelSetVisible(true), 1);
        const QString path = workbook::lastWrittenPath();
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(answer.caption, QStringLiteral("Книга сохранена"));
        QVERIFY2(answer.text.contains(QDir::toNativeSeparators(path)), qPrintable(answer.text));
        QCOMPARE(answer.text.contains(QStringLiteral("Открыть её не удалось")), !opened);
        QVERIFY2(answer.buttons.contains(kOpenFolder), qPrintable(answer.buttons.join(u'|')));
        QCOMPARE(folders_, QStringList{QFileInfo(path).absolutePath()});
    }

    // "Сохранить в PDF" in the preview, with the mouse: the file and its folder.
    void pdfFromThePreviewSaysWhereItIs() {
        rpt::ReportDef def;
        def.detail = rpt::Band(QStringLiteral("detail"), 5);
        def.detail.add(rpt::Element::field({0, 0, 50, 5}, QStringLiteral("name")));
        const rpt::VectorDataSource rows({QStringLiteral("name")}, {{QStringLiteral("Строка")}});
        const rpt::PreparedReport r = rpt::prepare(def, rows);
        const QString path = dir_.filePath(QStringLiteral("Отчет по рабочим.pdf"));
        ui::testing::setModalHook([&](QDialog* d) {
            auto* fd = qobject_cast<QFileDialog*>(d);
            if (!fd) return int(QDialog::Rejected);
            fd->selectFile(path);
            return int(QDialog::Accepted);
        });
        rpt::PagedPreview preview(r, QStringLiteral("Отчет по рабочим"));
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QAction* save = preview.findChild<QAction*>(QStringLiteral("savePdf"));
        QVERIFY(save);
        BoxAnswer answer(kOpenFolder);
        QTest::mouseClick(preview.findChild<QToolBar*>()->widgetForAction(save), Qt::LeftButton);
        ui::testing::setModalHook({});
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(answer.caption, QStringLiteral("Отчет сохранён"));
        QVERIFY2(answer.text.contains(QDir::toNativeSeparators(path)), qPrintable(answer.text));
        QCOMPARE(folders_, QStringList{QFileInfo(path).absolutePath()});
    }

    // A folder the desktop cannot open is said so.
    void folderThatCannotOpenIsSaidSo() {
        ui::testing::setFolderOpener([](const QString&) { return false; });
        workbook::testing::setOpener([](const QString&) { return true; });
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("1")), 1);
        QStringList messages;
        ui::testing::setMessageHook([&](const ui::Message& m) {
            messages << m.text;
            return m.buttons == ui::Buttons::OkOpenFolder ? QMessageBox::Open : QMessageBox::Ok;
        });
        QCOMPARE(ExcelSetVisible(true), 1);
        ui::testing::setMessageHook({});
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[1], QStringLiteral("Не удалось открыть папку %1")
                                  .arg(QDir::toNativeSeparators(QFileInfo(workbook::lastWrittenPath()).absolutePath())));
    }
};

QTEST_MAIN(TestFileNotices)
#include "test_file_notices.moc"
