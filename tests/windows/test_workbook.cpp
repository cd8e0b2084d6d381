// The four spreadsheet operations over the in-memory workbook and the .xlsx file it becomes.
#include "gui/ui.h"
#include "export/excel.h"
#include "support/sheet_readback.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstring>
#include <memory>

using namespace mirn;

using workbook::CellType;

namespace {
const QString kSheetCaption = QStringLiteral("Ошибочный номер листа Microsoft Excel");
const QString kCellCaption = QStringLiteral("Ошибка Microsoft Excel");

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

// Restores an environment variable when the test leaves, whatever way it leaves.
class EnvGuard {
public:
    explicit EnvGuard(const char* name)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {}
    ~EnvGuard() {
        if (had_) qputenv(name_, old_);
        else qunsetenv(name_);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};
}  // namespace

class TestWorkbook : public QObject {
    Q_OBJECT

    QList<ui::Message> messages_;
    QStringList opened_;
    bool openerResult_ = true;
    std::unique_ptr<QTemporaryDir> dir_;

    const workbook::Workbook& book() {
        const workbook::Workbook* b = workbook::current();
        if (!b) qFatal("no current workbook");
        return *b;
    }

private slots:
    void init() {
        workbook::testing::reset();
        messages_.clear();
        opened_.clear();
        openerResult_ = true;
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        workbook::testing::setOutputDir(dir_->path());
        workbook::testing::setOpener([this](const QString& path) {
            opened_ << path;
            return openerResult_;
        });
        workbook::testing::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(14, 5, 30)); });
        workbook::setMessenger([](const QString& text, const QString& caption, workbook::NoteKind kind) {
            ui::message(text, caption, kind == workbook::NoteKind::Error ? ui::Icon::Error : ui::Icon::Information);
        });
        ui::testing::setMessageHook([this](const ui::Message& m) {
            messages_ << m;
            return QMessageBox::Ok;
        });
    }

    void cleanup() {
        ui::testing::setMessageHook({});
        workbook::testing::reset();
        dir_.reset();
    }

    // --- writing cells -------------------------------------------------------------------

    void emptyTextWritesNothing_data() {
        QTest::addColumn<bool>("formatted");
        QTest::addColumn<int>("sheet");
        QTest::newRow("plain, written cell") << false << 1;
        QTest::newRow("formatted, written cell") << true << 1;
        QTest::newRow("plain, sheet 0") << false << 0;
        QTest::newRow("formatted, sheet beyond the last") << true << 2;
    }
    void emptyTextWritesNothing() {
        QFETCH(bool, formatted);
        QFETCH(int, sheet);
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteFormattedCell(1, 2, 3, QStringLiteral("слово"), true, true, true), 1);
        const double width = *book().columnWidth(1, 2);

        const int r = formatted ? ExcelWriteFormattedCell(sheet, 2, 3, QString(), false, true, false)
                                : ExcelWriteCell(sheet, 2, 3, QString());
        QCOMPARE(r, 1);
        QVERIFY(messages_.isEmpty());
        const auto cell = book().cell(1, 2, 3);
        QCOMPARE(cell.type, CellType::Text);
        QCOMPARE(cell.text, QStringLiteral("слово"));
        QVERIFY(cell.bold);
        QCOMPARE(*book().columnWidth(1, 2), width);

        // A zero is a text like any other and is written.
        QCOMPARE(ExcelWriteCell(1, 2, 4, QStringLiteral("0")), 1);
        QCOMPARE(book().cell(1, 2, 4).type, CellType::Number);
        QCOMPARE(book().cell(1, 2, 4).number, 0.0);
    }

    void badSheetIndex_data() {
        QTest::addColumn<bool>("formatted");
        QTest::addColumn<int>("sheet");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("sheet 0") << false << 0 << 33 << 2
                                 << QStringLiteral("Ошибка при записи: лист 0, столбец 33, строка 2");
        QTest::newRow("one beyond the last")
            << false << 2 << 33 << 2 << QStringLiteral("Ошибка при записи: лист 2, столбец 33, строка 2");
        QTest::newRow("negative, formatted")
            << true << -1 << 1 << 10 << QStringLiteral("Ошибка при записи: лист -1, столбец 1, строка 10");
        QTest::newRow("far beyond, formatted")
            << true << 7 << 4 << 1 << QStringLiteral("Ошибка при записи: лист 7, столбец 4, строка 1");
    }
    void badSheetIndex() {
        QFETCH(bool, formatted);
        QFETCH(int, sheet);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(QString, text);
        QCOMPARE(ExcelOpen(QString()), 1);
        const int r = formatted ? ExcelWriteFormattedCell(sheet, column, row, QStringLiteral("5"), true, true, true)
                                : ExcelWriteCell(sheet, column, row, QStringLiteral("5"));
        QCOMPARE(r, -1);
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(messages_[0].text, text);
        QCOMPARE(messages_[0].caption, kSheetCaption);
        QCOMPARE(messages_[0].icon, ui::Icon::Error);
        QCOMPARE(messages_[0].buttons, ui::Buttons::Ok);
        // Nothing landed on the one sheet there is either.
        QCOMPARE(book().sheetCount(), 1);
        QCOMPARE(book().sheet(1)->name(), QStringLiteral("Лист1"));
        QCOMPARE(book().cell(1, column, row).type, CellType::Empty);
        QVERIFY(!book().columnWidth(1, column));
    }

    // Before any workbook was opened there is no sheet 1 to write to.
    void writeBeforeOpen() {
        QCOMPARE(ExcelWriteCell(1, 33, 2, QStringLiteral("8")), -1);
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(messages_[0].text, QStringLiteral("Ошибка при записи: лист 1, столбец 33, строка 2"));
        QCOMPARE(messages_[0].caption, kSheetCaption);
        QCOMPARE(ExcelSetVisible(true), 1);
        QVERIFY(opened_.isEmpty());
        QVERIFY(filesIn(dir_->path()).isEmpty());
    }

    void cellOutsideTheSheet_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("ok");
        QTest::newRow("column 0") << 0 << 5 << 1 << false;
        QTest::newRow("row 0") << 3 << 0 << 1 << false;
        QTest::newRow("column past the last") << 16385 << 1 << 1 << false;
        QTest::newRow("row past the last") << 1 << 1048577 << 1 << false;
        QTest::newRow("text too long") << 1 << 1 << 32768 << false;
        QTest::newRow("last column") << 16384 << 1 << 1 << true;
        QTest::newRow("last row") << 1 << 1048576 << 1 << true;
        QTest::newRow("longest text") << 2 << 2 << 32767 << true;
    }
    void cellOutsideTheSheet() {
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(int, length);
        QFETCH(bool, ok);
        QCOMPARE(ExcelOpen(QString()), 1);
        const QString text(length, u'я');
        QCOMPARE(ExcelWriteFormattedCell(1, column, row, text, false, true, false), ok ? 1 : -1);
        if (ok) {
            QVERIFY(messages_.isEmpty());
            QCOMPARE(book().cell(1, column, row).text, text);
            return;
        }
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(messages_[0].caption, kCellCaption);
        QCOMPARE(messages_[0].text, QStringLiteral("Ошибка при записи: лист 1, столбец %1, строка %2")
                                        .arg(column)
                                        .arg(row));
    }

    void numberRecognition_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("asText");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("value");
        QTest::newRow("digits") << "123" << false << true << 123.0;
        QTest::newRow("zero") << "0" << false << true << 0.0;
        QTest::newRow("minus") << "-5" << false << true << -5.0;
        QTest::newRow("plus") << "+7" << false << true << 7.0;
        QTest::newRow("point") << "12.5" << false << true << 12.5;
        QTest::newRow("comma, as a Russian desktop writes it") << "12,5" << false << true << 12.5;
        QTest::newRow("negative comma") << "-0,25" << false << true << -0.25;
        QTest::newRow("leading separator") << ".5" << false << true << 0.5;
        QTest::newRow("trailing separator") << "5." << false << true << 5.0;
        QTest::newRow("leading zeros") << "00123" << false << true << 123.0;
        QTest::newRow("blanks around") << " 42 " << false << true << 42.0;
        QTest::newRow("15 significant digits") << "123456789012345" << false << true << 123456789012345.0;
        QTest::newRow("small fraction") << "0,000000000000000000001" << false << true << 1e-21;
        QTest::newRow("16 digits stay whole as text") << "1234567890123456" << false << false << 0.0;
        QTest::newRow("two separators") << "1.2.3" << false << false << 0.0;
        QTest::newRow("grouped") << "1,234.5" << false << false << 0.0;
        QTest::newRow("blank grouped") << "1 234" << false << false << 0.0;
        QTest::newRow("date") << "01.02.2024" << false << false << 0.0;
        QTest::newRow("letters after") << "12a" << false << false << 0.0;
        QTest::newRow("sign alone") << "-" << false << false << 0.0;
        QTest::newRow("separator alone") << "," << false << false << 0.0;
        QTest::newRow("two signs") << "+-1" << false << false << 0.0;
        QTest::newRow("exponent") << "1E5" << false << false << 0.0;
        QTest::newRow("percent") << "5%" << false << false << 0.0;
        QTest::newRow("month title") << "Март 2024" << false << false << 0.0;
        QTest::newRow("text format keeps zeros") << "00123" << true << false << 0.0;
        QTest::newRow("text format keeps a decimal") << "12.5" << true << false << 0.0;
    }
    void numberRecognition() {
        QFETCH(QString, text);
        QFETCH(bool, asText);
        QFETCH(bool, isNumber);
        QFETCH(double, value);
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteFormattedCell(1, 3, 4, text, asText, false, false), 1);
        const auto cell = book().cell(1, 3, 4);
        QCOMPARE(cell.type, isNumber ? CellType::Number : CellType::Text);
        QCOMPARE(cell.text, text);
        if (isNumber) QCOMPARE(cell.number, value);
        // The plain write reads the same way when no text format is involved.
        if (!asText) {
            QCOMPARE(ExcelWriteCell(1, 5, 6, text), 1);
            QCOMPARE(book().cell(1, 5, 6).type, cell.type);
        }
    }

    // The text format stays on the cell: a later plain write there stays text as well.
    void textFormatStaysOnTheCell() {
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteFormattedCell(1, 1, 2, QStringLiteral("00123"), true, false, false), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 2, QStringLiteral("0045")), 1);
        QCOMPARE(book().cell(1, 1, 2).type, CellType::Text);
        QCOMPARE(book().cell(1, 1, 2).text, QStringLiteral("0045"));
        QCOMPARE(ExcelWriteFormattedCell(1, 1, 2, QStringLiteral("7"), false, false, false), 1);
        QCOMPARE(book().cell(1, 1, 2).type, CellType::Text);
        // The neighbour never got the format.
        QCOMPARE(ExcelWriteCell(1, 2, 2, QStringLiteral("0045")), 1);
        QCOMPARE(book().cell(1, 2, 2).type, CellType::Number);
        QCOMPARE(book().cell(1, 2, 2).number, 45.0);
    }

    void fittedWidth() {
        using workbook::textWidth;
        QCOMPARE(ExcelOpen(QString()), 1);
        // Grows with the longest text, never shrinks back to a shorter one.
        QCOMPARE(ExcelWriteFormattedCell(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, false), 1);
        const double heading = *book().columnWidth(1, 1);
        QCOMPARE(ExcelWriteFormattedCell(1, 1, 3, QStringLiteral("Константинопольская-Щербакова Ж.Ю."), true, true, false), 1);
        const double longest = *book().columnWidth(1, 1);
        QVERIFY2(longest > heading, qPrintable(QStringLiteral("%1 <= %2").arg(longest).arg(heading)));
        QCOMPARE(ExcelWriteFormattedCell(1, 1, 4, QStringLiteral("Ан"), true, true, false), 1);
        QCOMPARE(*book().columnWidth(1, 1), longest);

        // A fit measures texts written earlier without one, and holds until the next fit.
        const QString wide = QStringLiteral("очень длинный текст без подгонки");
        QCOMPARE(ExcelWriteCell(1, 2, 5, wide), 1);
        QVERIFY(!book().columnWidth(1, 2));
        QCOMPARE(ExcelWriteFormattedCell(1, 2, 6, QStringLiteral("1"), false, true, false), 1);
        QCOMPARE(*book().columnWidth(1, 2), textWidth(wide, false));
        QCOMPARE(ExcelWriteCell(1, 2, 7, wide + wide), 1);
        QCOMPARE(*book().columnWidth(1, 2), textWidth(wide, false));

        // Digits need at least one unit each, or a number shows as "###".
        QCOMPARE(ExcelWriteFormattedCell(1, 3, 2, QStringLiteral("1234567"), false, true, false), 1);
        QVERIFY(*book().columnWidth(1, 3) >= 7.0);
        QVERIFY(*book().columnWidth(1, 3) <= 10.0);
        // Bold takes more room than regular.
        QCOMPARE(ExcelWriteFormattedCell(1, 4, 2, QStringLiteral("Итого"), true, true, true), 1);
        QCOMPARE(ExcelWriteFormattedCell(1, 5, 2, QStringLiteral("Итого"), true, true, false), 1);
        QVERIFY(*book().columnWidth(1, 4) > *book().columnWidth(1, 5));
        // A column with writes but no fit keeps the default width.
        QCOMPARE(ExcelWriteFormattedCell(1, 6, 2, QStringLiteral("без подгонки"), false, false, false), 1);
        QVERIFY(!book().columnWidth(1, 6));
        // No text makes a column wider than a spreadsheet allows.
        QCOMPARE(ExcelWriteFormattedCell(1, 7, 2, QString(400, u'Ж'), false, true, false), 1);
        QCOMPARE(*book().columnWidth(1, 7), workbook::kMaxColumnWidth);
    }

    void boldIsAlwaysPut() {
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteFormattedCell(1, 1, 1, QStringLiteral("Итого"), true, false, true), 1);
        QVERIFY(book().cell(1, 1, 1).bold);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("Всего")), 1);
        QVERIFY(book().cell(1, 1, 1).bold);  // a plain write leaves the font alone
        QCOMPARE(ExcelWriteFormattedCell(1, 1, 1, QStringLiteral("Всего"), false, false, false), 1);
        QVERIFY(!book().cell(1, 1, 1).bold);
        QVERIFY(!book().cell(1, 2, 1).bold);
    }

    // --- opening, showing and the file ---------------------------------------------------

    void openWithAFileNameFails() {
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("оставить")), 1);
        QCOMPARE(ExcelOpen(dir_->filePath(QStringLiteral("нет такого.xlsx"))), -1);
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(messages_[0].text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QCOMPARE(messages_[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(messages_[0].icon, ui::Icon::Error);
        // The workbook being filled is not lost by the failed open.
        QCOMPARE(book().cell(1, 1, 1).text, QStringLiteral("оставить"));
    }

    void hiddenWorkbookIsNotWritten() {
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelSetVisible(false), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("Март 2026")), 1);
        QCOMPARE(ExcelSetVisible(false), 1);
        QVERIFY(filesIn(dir_->path()).isEmpty());
        QVERIFY(opened_.isEmpty());
        QVERIFY(workbook::lastWrittenPath().isEmpty());
        QVERIFY(!book().isSaved());

        // A new workbook drops the one never shown.
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(book().cell(1, 1, 1).type, CellType::Empty);
        QCOMPARE(ExcelSetVisible(true), 1);
        QCOMPARE(filesIn(dir_->path()), QStringList{QStringLiteral("Книга 2026-12-09 14-05.xlsx")});
    }

    // One real file read back through LibreOffice: what a user's spreadsheet program shows.
    void shownWorkbookReadsBack() {
        ExcelSetTitle(QStringLiteral("Прайс"));
        QCOMPARE(ExcelOpen(QString()), 1);
        const QStringList headings{"Марка", "Операция", "Цена", "Вид"};
        for (int c = 0; c < headings.size(); ++c)
            QCOMPARE(ExcelWriteFormattedCell(1, c + 1, 1, headings[c], true, true, true), 1);
        const QList<QStringList> rows{
            {"КР-12", "Гибка", "12,5", "Готовая продукция"},
            {"00123", "Резка \"в размер\", 2 шт.", "1500", "Заготовки"},
            {"", "Окраска (грунт)", "0", "Заготовки"},
        };
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c)
                QCOMPARE(ExcelWriteFormattedCell(1, c + 1, r + 2, rows[r][c], c == 0, true, false), 1);
        QCOMPARE(ExcelWriteCell(1, 6, 6, QStringLiteral("-0.75")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);

        const QString path = dir_->filePath(QStringLiteral("Прайс 2026-12-09 14-05.xlsx"));
        QCOMPARE(workbook::lastWrittenPath(), path);
        QCOMPARE(opened_, QStringList{path});
        QVERIFY(messages_.isEmpty());
        QCOMPARE(filesIn(dir_->path()), QStringList{QFileInfo(path).fileName()});
        // Shown again with nothing new: no second file, no second window.
        QCOMPARE(ExcelSetVisible(true), 1);
        QCOMPARE(filesIn(dir_->path()).size(), 1);
        QCOMPARE(opened_.size(), 1);

        // The sheet part: numbers as numbers, the zero-led mark as a string, fitted widths.
        const QByteArray xml = sheet_readback::zipEntry(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY2(!xml.isEmpty(), "cannot read the sheet part (is unzip installed?)");
        QVERIFY2(QRegularExpression(QStringLiteral("<c r=\"C2\"[^>]*><v>12.5</v>")).match(QString::fromUtf8(xml)).hasMatch(), xml.constData());
        QVERIFY(QRegularExpression(QStringLiteral("<c r=\"C3\"[^>]*><v>1500</v>")).match(QString::fromUtf8(xml)).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("<c r=\"A3\"[^>]*t=\"s\"")).match(QString::fromUtf8(xml)).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("<c r=\"F6\"[^>]*><v>-0.75</v>")).match(QString::fromUtf8(xml)).hasMatch());
        QVERIFY(!xml.contains("r=\"A4\""));  // the empty mark was never written
        QVERIFY(QRegularExpression(QStringLiteral("<col min=\"2\" max=\"2\" width=\"[0-9.]+\"")).match(QString::fromUtf8(xml)).hasMatch());
        QVERIFY(!xml.contains("<col min=\"6\""));  // written without a fit

        if (sheet_readback::sofficeProgram().isEmpty()) QSKIP("LibreOffice is not installed");
        QString error;
        const QList<QStringList> back = sheet_readback::readRows(path, &error);
        QVERIFY2(!back.isEmpty(), qPrintable(error));
        QCOMPARE(back.size(), 6);
        QCOMPARE(back[0], (QStringList{"Марка", "Операция", "Цена", "Вид", "", ""}));
        QCOMPARE(back[1], (QStringList{"КР-12", "Гибка", "12.5", "Готовая продукция", "", ""}));
        QCOMPARE(back[2], (QStringList{"00123", "Резка \"в размер\", 2 шт.", "1500", "Заготовки", "", ""}));
        QCOMPARE(back[3], (QStringList{"", "Окраска (грунт)", "0", "Заготовки", "", ""}));
        QCOMPARE(back[4], (QStringList{"", "", "", "", "", ""}));
        QCOMPARE(back[5], (QStringList{"", "", "", "", "", "-0.75"}));
    }

    // Number formats as a spreadsheet program shows them (LibreOffice in the C locale):
    // digit groups and fixed decimals; a text format set on the cell wins. One row per
    // case in one workbook, read back once: a conversion takes seconds.
    void numberFormatsReadBack() {
        struct Case {
            const char* name;
            QString written;
            QString format;
            bool asText;
            QString shown;
        };
        const Case cases[] = {
            {"money", "1778.4", "#,##0.00", false, "1,778.40"},
            {"money rounds", "0.375", "#,##0.00", false, "0.38"},
            {"price, four decimals", "0.1255", "#,##0.00##", false, "0.1255"},
            {"price, two decimals", "150", "#,##0.00##", false, "150.00"},
            {"count", "12000", "#,##0", false, "12,000"},
            {"text format wins", "00123", "#,##0.00", true, "00123"},
            {"no format", "1778.4", "", false, "1778.4"},
        };
        QCOMPARE(ExcelOpen(QString()), 1);
        int row = 0;
        for (const Case& c : cases) {
            ++row;
            QCOMPARE(ExcelWriteFormattedCell(1, 1, row, QString::fromUtf8(c.name), true, false, false), 1);
            QCOMPARE(ExcelWriteFormattedCell(1, 2, row, c.written, c.asText, false, false), 1);
            if (!c.format.isEmpty()) QCOMPARE(ExcelSetNumberFormat(1, 2, row, c.format), 1);
            QCOMPARE(book().cell(1, 2, row).numberFormat, c.format);
        }
        QCOMPARE(ExcelSetVisible(true), 1);
        if (sheet_readback::sofficeProgram().isEmpty()) QSKIP("LibreOffice is not installed");
        QString error;
        const QList<QStringList> back = sheet_readback::readRows(workbook::lastWrittenPath(), &error);
        QVERIFY2(!back.isEmpty(), qPrintable(error));
        QCOMPARE(back.size(), row);
        for (int r = 0; r < row; ++r)
            QCOMPARE(back[r], (QStringList{QString::fromUtf8(cases[r].name), cases[r].shown}));
    }

    void numberFormatOutsideTheSheet() {
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelSetNumberFormat(1, 0, 1, QStringLiteral("#,##0")), -1);
        QCOMPARE(ExcelSetNumberFormat(2, 1, 1, QStringLiteral("#,##0")), -1);
        QCOMPARE(messages_.size(), 2);
        QCOMPARE(messages_[0].caption, kCellCaption);
        QCOMPARE(messages_[1].caption, kSheetCaption);
        QCOMPARE(messages_[1].text, QStringLiteral("Ошибка при записи: лист 2, столбец 1, строка 1"));
    }

    void neverOverwritesAnEarlierFile() {
        const QString first = dir_->filePath(QStringLiteral("Табель 2026-12-09 14-05.xlsx"));
        {
            QFile earlier(first);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("an earlier workbook");
        }
        const QByteArray before = fileHash(first);

        QStringList written;
        for (int i = 0; i < 2; ++i) {
            ExcelSetTitle(QStringLiteral("Табель"));
            QCOMPARE(ExcelOpen(QString()), 1);
            QCOMPARE(ExcelWriteCell(1, 1, 1, QString::number(i)), 1);
            QCOMPARE(ExcelSetVisible(true), 1);
            written << QFileInfo(workbook::lastWrittenPath()).fileName();
        }
        QCOMPARE(written, (QStringList{"Табель 2026-12-09 14-05 (2).xlsx", "Табель 2026-12-09 14-05 (3).xlsx"}));
        QCOMPARE(fileHash(first), before);

        // Shown, changed and shown again: a new file, the shown one stays as it was.
        const QByteArray third = fileHash(dir_->filePath(written[1]));
        QCOMPARE(ExcelWriteCell(1, 2, 1, QStringLiteral("ещё")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);
        QCOMPARE(QFileInfo(workbook::lastWrittenPath()).fileName(), QStringLiteral("Табель 2026-12-09 14-05 (4).xlsx"));
        QCOMPARE(fileHash(dir_->filePath(written[1])), third);
        QCOMPARE(opened_.size(), 3);

        // A new workbook leaves the shown one on disk.
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(filesIn(dir_->path()).size(), 4);
    }

    void titleNamesTheFile() {
        // Set after opening, before showing.
        QCOMPARE(ExcelOpen(QString()), 1);
        ExcelSetTitle(QStringLiteral("Отчёт 01/2026: \"цех\"?"));
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("x")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);
        QCOMPARE(QFileInfo(workbook::lastWrittenPath()).fileName(),
                 QStringLiteral("Отчёт 01_2026_ _цех__ 2026-12-09 14-05.xlsx"));
        // The next workbook does not inherit it.
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(book().title(), workbook::kDefaultTitle);
        // Nothing usable left of a title: the default.
        ExcelSetTitle(QStringLiteral("  ...  "));
        QCOMPARE(book().title(), workbook::kDefaultTitle);
    }

    void openerFailureTellsWhereTheFileIs() {
        openerResult_ = false;
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("1")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);
        const QString path = workbook::lastWrittenPath();
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(opened_, QStringList{path});
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(messages_[0].icon, ui::Icon::Information);
        QVERIFY2(messages_[0].text.contains(QDir::toNativeSeparators(path)), qPrintable(messages_[0].text));
    }

    // The real opener on a machine without a display: nothing can show the workbook, so the
    // user must get the path rather than a silent "opened".
    void realOpenerWithoutADisplay() {
        EnvGuard display("DISPLAY"), wayland("WAYLAND_DISPLAY");
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        workbook::testing::setOpener({});
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("1")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);
        QVERIFY(opened_.isEmpty());
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(messages_[0].icon, ui::Icon::Information);
        QVERIFY(messages_[0].text.contains(QDir::toNativeSeparators(workbook::lastWrittenPath())));
    }

    void folderThatCannotBeMadeFallsBackToTemp() {
        QFile blocker(dir_->filePath(QStringLiteral("файл")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        workbook::testing::setOutputDir(blocker.fileName() + QStringLiteral("/Документы"));
        ExcelSetTitle(QStringLiteral("Запасной %1").arg(QCoreApplication::applicationPid()));
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("1")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);
        const QString path = workbook::lastWrittenPath();
        QVERIFY(!path.isEmpty());
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        QCOMPARE(opened_, QStringList{path});
        QFile::remove(path);
    }

    void documentsFolderByDefault() {
        EnvGuard home("HOME"), config("XDG_CONFIG_HOME"), envDir("MIRN_WORKBOOK_DIR");
        qputenv("HOME", dir_->path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("MIRN_WORKBOOK_DIR");
        workbook::testing::setOutputDir(QString());
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY2(docs.startsWith(dir_->path()), qPrintable(docs));
        QVERIFY(!QFileInfo::exists(docs));

        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("1")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);
        QCOMPARE(workbook::lastWrittenPath(), QDir(docs).filePath(QStringLiteral("Книга 2026-12-09 14-05.xlsx")));
        QVERIFY(QFileInfo(workbook::lastWrittenPath()).isFile());
    }

    // The headless run of the real client: a folder from the environment, no program started.
    void environmentForHeadlessRuns() {
        EnvGuard envDir("MIRN_WORKBOOK_DIR"), noOpen("MIRN_WORKBOOK_NO_OPEN");
        const QString target = dir_->filePath(QStringLiteral("smoke/out"));
        qputenv("MIRN_WORKBOOK_DIR", target.toUtf8());
        qputenv("MIRN_WORKBOOK_NO_OPEN", "1");
        workbook::testing::setOutputDir(QString());
        openerResult_ = false;
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("1")), 1);
        QCOMPARE(ExcelSetVisible(true), 1);
        QCOMPARE(workbook::lastWrittenPath(), QDir(target).filePath(QStringLiteral("Книга 2026-12-09 14-05.xlsx")));
        QVERIFY(QFileInfo(workbook::lastWrittenPath()).isFile());
        QVERIFY(opened_.isEmpty());
        QVERIFY(messages_.isEmpty());
    }

    // A Russian LC_NUMERIC (as QApplication sets it from the desktop) must not put decimal
    // commas into the file.
    void russianNumericLocaleStillWritesPoints() {
        const QByteArray saved = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") && !std::setlocale(LC_NUMERIC, "ru_RU.utf8"))
            QSKIP("the ru_RU.UTF-8 locale is not installed");
        if (std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
            std::setlocale(LC_NUMERIC, saved.constData());
            QSKIP("this ru_RU locale has no decimal comma");
        }
        QCOMPARE(ExcelOpen(QString()), 1);
        QCOMPARE(ExcelWriteCell(1, 1, 1, QStringLiteral("12,5")), 1);
        QCOMPARE(ExcelWriteFormattedCell(1, 2, 1, QStringLiteral("Фамилия И.О."), true, true, true), 1);
        QVERIFY(*book().columnWidth(1, 2) != std::floor(*book().columnWidth(1, 2)));
        QCOMPARE(ExcelSetVisible(true), 1);
        const QByteArray numeric = std::setlocale(LC_NUMERIC, nullptr);
        std::setlocale(LC_NUMERIC, saved.constData());

        const QString xml = QString::fromUtf8(sheet_readback::zipEntry(workbook::lastWrittenPath(), QStringLiteral("xl/worksheets/sheet1.xml")));
        QVERIFY(!xml.isEmpty());
        QVERIFY2(xml.contains(QStringLiteral("<v>12.5</v>")), qPrintable(xml));
        QVERIFY2(QRegularExpression(QStringLiteral("<col min=\"2\" max=\"2\" width=\"[0-9]+\\.[0-9]+\"")).match(xml).hasMatch(), qPrintable(xml));
        QVERIFY(!QRegularExpression(QStringLiteral("=\"[0-9]+,[0-9]")).match(xml).hasMatch());
        // Left at "C" for whatever the C library prints next.
        QCOMPARE(numeric, QByteArray("C"));

        // The helper the application calls after QApplication starts.
        std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
        workbook::ensureCNumericLocale();
        QCOMPARE(QByteArray(std::setlocale(LC_NUMERIC, nullptr)), QByteArray("C"));
        std::setlocale(LC_NUMERIC, saved.constData());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestWorkbook test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_workbook.moc"
