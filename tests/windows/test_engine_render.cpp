// Painting prepared pages: PDF files, printers, images and the preview window.
#include "gui/busy.h"
#include "gui/ui.h"
#include "engine/engine.h"
#include "gui/preview.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace mirn;

using namespace rpt;

namespace {

const QColor kTotalBandShade(220, 220, 220);
const QColor kGroupShade(224, 224, 224);

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString& path) { return run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}); }

int pdfPages(const QString& path) {
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Paper size in points of the first page.
QSizeF pdfPaper(const QString& path) {
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const auto m = QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(info);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

bool samePaper(const QSizeF& a, const QSizeF& b) {
    const bool same = std::abs(a.width() - b.width()) < 1 && std::abs(a.height() - b.height()) < 1;
    if (!same) qWarning() << "paper" << a << "expected" << b;
    return same;
}

// The detailed report by products in small: a shaded title band, a shaded product group,
// framed detail cells, a boxed and shaded total band, page numbers.
ReportDef productsReport() {
    ReportDef d;
    d.decimalSeparator = QStringLiteral(",");
    Group head;
    head.header = Band(QStringLiteral("header"), 16);
    head.header.setShade(QColor(244, 244, 244))
        .add(Element::label({0, 0, 190, 8}, QStringLiteral("Отчет"), QStringLiteral("QRLabel1")).setBold().setFontSize(11))
        .add(Element::label({0, 9, 40, 6}, QStringLiteral("Марка")))
        .add(Element::label({110, 9, 20, 6}, QStringLiteral("Брак")).centred())
        .add(Element::label({130, 9, 20, 6}, QStringLiteral("Коробки")).centred())
        .add(Element::label({150, 9, 20, 6}, QStringLiteral("Кол-во")).centred())
        .add(Element::label({170, 9, 20, 6}, QStringLiteral("Сумма")).centred())
        .addChild(Band(QStringLiteral("spacer"), 2));
    head.footer = Band(QStringLiteral("total"), 8);
    head.footer.setFrame(AllSides).setShade(kTotalBandShade).setBold()
        .add(Element::label({0, 0, 40, 8}, QStringLiteral("Итого:")))
        .add(Element::sum({110, 0, 20, 8}, QStringLiteral("brk"), {}, false).centred())
        .add(Element::sum({150, 0, 20, 8}, QStringLiteral("kolvo"), {}, false).centred())
        .add(Element::sum({170, 0, 20, 8}, QStringLiteral("summa"), QStringLiteral("#0.00"), false).centred());
    Group nom;
    nom.key = QStringLiteral("nom");
    nom.header = Band(QStringLiteral("nomHeader"), 7);
    nom.header.setShade(kGroupShade).add(Element::field({0, 0, 100, 7}, QStringLiteral("nom")).setBold());
    nom.footer = Band(QStringLiteral("nomFooter"), 7);
    nom.footer.setBold().add(Element::sum({170, 0, 20, 7}, QStringLiteral("summa"), QStringLiteral("#0.00"))
                                 .centred()
                                 .setShade(QColor(239, 239, 239)));
    d.groups = {head, nom};
    d.detail = Band(QStringLiteral("detail"), 6);
    d.detail.add(Element::field({0, 0, 40, 6}, QStringLiteral("marka")).setFrame(AllSides))
        .add(Element::computed({40, 0, 40, 6},
                               [](const Row& r) {
                                   const int c = r.value(QStringLiteral("color")).toInt();
                                   return c <= 0 ? QStringLiteral(" ")
                                                 : c == 1 ? QStringLiteral(" (грунт)")
                                                          : QStringLiteral(" (RAL: %1)").arg(c);
                               })
                 .setFrame(AllSides))
        .add(Element::computed({80, 0, 30, 6},
                               [](const Row& r) {
                                   return r.value(QStringLiteral("naimen")).toInt() == 0
                                              ? QStringLiteral("Готовая продукция")
                                              : QStringLiteral("Заготовки");
                               })
                 .setFrame(AllSides))
        .add(Element::field({110, 0, 20, 6}, QStringLiteral("brk"), QStringLiteral("#0.000")).centred().setFrame(AllSides))
        .add(Element::field({130, 0, 20, 6}, QStringLiteral("mass"), QStringLiteral("#0.000")).centred().setFrame(AllSides))
        .add(Element::field({150, 0, 20, 6}, QStringLiteral("kolvo"), QStringLiteral("#0.000")).centred().setFrame(AllSides))
        .add(Element::field({170, 0, 20, 6}, QStringLiteral("summa"), QStringLiteral("#0.000")).centred().setFrame(AllSides));
    d.pageFooter = Band(QStringLiteral("pageFooter"), 6);
    d.pageFooter.add(Element::pageNumber({150, 0, 40, 6}, QStringLiteral("Страница %1")).right());
    d.setCaption(QStringLiteral("QRLabel1"),
                 QStringLiteral("   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024"));
    return d;
}

VectorDataSource productsRows(int count) {
    VectorDataSource src({QStringLiteral("marka"), QStringLiteral("nom"), QStringLiteral("naimen"),
                          QStringLiteral("color"), QStringLiteral("brk"), QStringLiteral("mass"),
                          QStringLiteral("kolvo"), QStringLiteral("summa")});
    const QStringList noms{QStringLiteral("Кронштейны"), QStringLiteral("Хомуты"), QStringLiteral("Профили")};
    for (int i = 0; i < count; ++i)
        src.addRow({QStringLiteral("КР-%1").arg(100 + i), noms[(i * noms.size()) / count], i % 2,
                    i % 3 == 0 ? 1013 : i % 3, qlonglong(i % 4), QStringLiteral("%1.25").arg(i),
                    QStringLiteral("%1").arg(10 + i), 1234.5 + i});
    return src;
}

}  // namespace

class TestEngineRender : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        ui::testing::setModalHook({});
        ui::testing::setMessageHook({});
        ui::testing::setProgressHook({});
        ui::testing::setProgressDelay(-1);
    }

    void pdfHoldsEveryPageWithCyrillicText() {
        const PreparedReport r = prepare(productsReport(), productsRows(60));
        QVERIFY(r.pages.size() >= 2);
        const QString path = dir_.filePath(QStringLiteral("отчет.pdf"));
        QVERIFY(writePdf(r, path, QStringLiteral("Детальный отчет по продукции")));
        QCOMPARE(pdfPages(path), int(r.pages.size()));

        const QString text = pdfText(path);
        for (const char* expected : {"Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024", "Кол-во",
                                     "Коробки", "Кронштейны", "Хомуты", "Профили", "Готовая продукция", "Заготовки",
                                     "(грунт)", "(RAL: 1013)", "КР-159", "1234,500", "Итого:", "Страница 1"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        // Text of the last page ends the file: the total and the last page number.
        const QString last = text.split(QLatin1Char('\f')).value(int(r.pages.size()) - 1);
        QVERIFY(last.contains(QStringLiteral("Итого:")));
        QVERIFY(last.contains(QStringLiteral("Страница %1").arg(r.pages.size())));
        QVERIFY(!text.split(QLatin1Char('\f')).value(0).contains(QStringLiteral("Итого:")));

        // The fonts are embedded with a Unicode map, and are ones that carry Cyrillic.
        const QStringList fonts = run(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString& line : fonts) {
            const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QVERIFY2(f.size() >= 6, qPrintable(line));
            QVERIFY2(f[0].contains(QStringLiteral("Liberation")) || f[0].contains(QStringLiteral("DejaVu")), qPrintable(line));
            QCOMPARE(f[f.size() - 5], QStringLiteral("yes"));  // embedded
            QCOMPARE(f[f.size() - 3], QStringLiteral("yes"));  // Unicode map
        }
    }

    void pdfToAnUnwritablePlaceFails() {
        const PreparedReport r = prepare(productsReport(), productsRows(3));
        QVERIFY(!writePdf(r, dir_.filePath(QStringLiteral("нет/такой/папки.pdf"))));
    }

    void printerGetsItsPageRange() {
        const PreparedReport r = prepare(productsReport(), productsRows(90));
        QVERIFY(r.pages.size() >= 3);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString path = dir_.filePath(QStringLiteral("range.pdf"));
        printer.setOutputFileName(path);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 2);
        QVERIFY(print(r, printer));
        QCOMPARE(pdfPages(path), 1);
        const QString text = pdfText(path);
        QVERIFY(text.contains(QStringLiteral("Страница 2")));
        QVERIFY(!text.contains(QStringLiteral("Страница 1")));
        QVERIFY(!text.contains(QStringLiteral("Детальный отчет")));  // the title is on page 1 only
    }

    void pdfAndPrinterTakeThePaperOfTheReport_data() {
        QTest::addColumn<int>("orientation");
        QTest::newRow("portrait") << int(QPageLayout::Portrait);
        QTest::newRow("landscape") << int(QPageLayout::Landscape);
    }
    void pdfAndPrinterTakeThePaperOfTheReport() {
        QFETCH(int, orientation);
        ReportDef d = productsReport();
        d.orientation = QPageLayout::Orientation(orientation);
        const PreparedReport r = prepare(d, productsRows(3));
        const QSizeF expected = orientation == QPageLayout::Portrait ? QSizeF(595.3, 841.9) : QSizeF(841.9, 595.3);
        const QString viaWriter = dir_.filePath(QStringLiteral("writer.pdf"));
        QVERIFY(writePdf(r, viaWriter));
        QVERIFY(samePaper(pdfPaper(viaWriter), expected));

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A5));  // whatever the printer had before
        const QString viaPrinter = dir_.filePath(QStringLiteral("printer.pdf"));
        printer.setOutputFileName(viaPrinter);
        QVERIFY(print(r, printer));
        QVERIFY(samePaper(pdfPaper(viaPrinter), expected));
        // Full-page mode: the title's left edge lies at the 10 mm margin, not 10 mm further in.
        const QString bbox = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), viaPrinter, QStringLiteral("-")});
        const auto m = QRegularExpression(QStringLiteral("xMin=\"([0-9.]+)\"[^>]*>Детальный")).match(bbox);
        QVERIFY2(m.hasMatch(), qPrintable(bbox.left(2000)));
        QVERIFY2(m.captured(1).toDouble() > 28.3 && m.captured(1).toDouble() < 28.3 + 15, qPrintable(m.captured(1)));
    }

    void printDialogChoosesThePrinter() {
        const PreparedReport r = prepare(productsReport(), productsRows(60));
        const QString path = dir_.filePath(QStringLiteral("printed.pdf"));
        ui::testing::setModalHook([&](QDialog* dlg) {
            auto* pd = qobject_cast<QPrintDialog*>(dlg);
            if (!pd) return int(QDialog::Rejected);
            pd->printer()->setOutputFormat(QPrinter::PdfFormat);
            pd->printer()->setOutputFileName(path);
            return int(QDialog::Accepted);
        });
        QVERIFY(print(r, static_cast<QWidget*>(nullptr)));
        QCOMPARE(pdfPages(path), int(r.pages.size()));
        QVERIFY(pdfText(path).contains(QStringLiteral("Итого:")));

        ui::testing::setModalHook([](QDialog*) { return int(QDialog::Rejected); });
        QFile::remove(path);
        QVERIFY(!print(r, static_cast<QWidget*>(nullptr)));
        QVERIFY(!QFile::exists(path));
    }

    // A PDF shows every text as QPainter::drawText puts it in its box, at any alignment,
    // with spaces around it, too long for its box (clipped), wrapped into lines, in two
    // sizes and bold, on the first page and on a later one that repeats the first one's
    // texts: the same words at the same places, and the same
    // pictures of the pages.
    void pdfTextsStandWhereDrawTextPutsThem_data() {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("mixedFrames");  // some sides framed, some cells shaded
        QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignVCenter) << false;
        QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignVCenter) << false;
        QTest::newRow("centre") << int(Qt::AlignCenter) << false;
        QTest::newRow("top right") << int(Qt::AlignRight | Qt::AlignTop) << false;
        QTest::newRow("bottom centre") << int(Qt::AlignHCenter | Qt::AlignBottom) << false;
        QTest::newRow("sides and shades") << int(Qt::AlignLeft | Qt::AlignVCenter) << true;
        QTest::newRow("the products report") << -1 << false;
    }
    void pdfTextsStandWhereDrawTextPutsThem() {
        QFETCH(int, alignment);
        QFETCH(bool, mixedFrames);
        PreparedReport r;
        if (alignment < 0) {
            r = prepare(productsReport(), productsRows(160));
            QVERIFY(r.pages.size() > 2);
        } else {
            r.paperSize = QSizeF(210, 297);
            r.fontFamily = QStringLiteral("Arial");
            const QStringList texts{QStringLiteral("Иванов И.И."), QStringLiteral("  1 778,40  "),
                                    QStringLiteral("КР-100\tсмена"), QStringLiteral("Очень длинное название изделия, которое не входит"),
                                    QStringLiteral("первая строка\nвторая строка"), QStringLiteral("a&b"), QStringLiteral(" ")};
            r.pages.resize(2);
            const int sides[] = {Top | Left, Bottom, Right | Bottom, NoSides, AllSides, Left | Right};
            int n = 0;
            for (PreparedPage& page : r.pages) {
                double y = 10;
                for (const QString& t : texts)
                    for (const bool bold : {false, true}) {
                        PreparedItem it;
                        it.rect = QRectF(15, y, 40, t.contains(QLatin1Char('\n')) ? 10 : 5);
                        it.text = t;
                        it.alignment = Qt::Alignment(alignment);
                        it.bold = bold;
                        it.fontSize = bold ? 12 : 8;
                        it.frame = AllSides;
                        if (mixedFrames) {
                            // Cells touching one another, so that rules and fills overlap.
                            it.frame = sides[n % 6];
                            if (n % 3 == 1) it.shade = QColor(228, 228, 228);
                            ++n;
                            y -= 2;
                        }
                        page.items.push_back(it);
                        y += it.rect.height() + 2;
                    }
            }
        }
        const QString path = dir_.filePath(QStringLiteral("shaped.pdf")), direct = dir_.filePath(QStringLiteral("direct.pdf"));
        QVERIFY(writePdf(r, path));
        {
            // Each text as drawText paints it, with the painter's padding; the same rules.
            QPdfWriter writer(direct);
            writer.setPageLayout(r.pageLayout());
            writer.setResolution(600);
            QPainter p(&writer);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setRenderHint(QPainter::TextAntialiasing, true);
            QFont font(r.fontFamily);
            font.setStyleHint(QFont::SansSerif);
            const double px = 600 / 25.4;
            const QPen rule(Qt::black, 0.2 * px, Qt::SolidLine, Qt::SquareCap);
            for (size_t page = 0; page < r.pages.size(); ++page) {
                if (page > 0) writer.newPage();
                for (const PreparedItem& it : r.pages[page].items) {
                    const QRectF cell(it.rect.x() * px, it.rect.y() * px, it.rect.width() * px, it.rect.height() * px);
                    if (it.shade.isValid()) p.fillRect(cell, it.shade);
                    if (!it.text.isEmpty()) {
                        font.setPointSizeF(it.fontSize);
                        font.setBold(it.bold);
                        p.setFont(font);
                        p.setPen(Qt::black);
                        const QRectF box = cell.adjusted(0.6 * px, 0, -0.6 * px, 0);
                        const QStringList lines = it.text.split(QLatin1Char('\n'));
                        const double h = box.height() / double(lines.size());
                        const int flags = lines.size() > 1 ? int(it.alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter
                                                           : int(it.alignment);
                        for (qsizetype i = 0; i < lines.size(); ++i)
                            p.drawText(QRectF(box.x(), box.y() + double(i) * h, box.width(), h), flags | Qt::TextSingleLine, lines[i]);
                    }
                    if (it.frame != NoSides) {
                        p.setPen(rule);
                        if (it.frame & Top) p.drawLine(cell.topLeft(), cell.topRight());
                        if (it.frame & Bottom) p.drawLine(cell.bottomLeft(), cell.bottomRight());
                        if (it.frame & Left) p.drawLine(cell.topLeft(), cell.bottomLeft());
                        if (it.frame & Right) p.drawLine(cell.topRight(), cell.bottomRight());
                    }
                }
            }
        }
        QCOMPARE(pdfPages(path), int(r.pages.size()));
        const QString bbox = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
        const QString want = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), direct, QStringLiteral("-")});
        QVERIFY(bbox.contains(alignment < 0 ? QStringLiteral("Итого:") : QStringLiteral("Иванов")));
        const QStringList got = bbox.section(QStringLiteral("<body>"), 1).split(QLatin1Char('\n'));
        const QStringList exp = want.section(QStringLiteral("<body>"), 1).split(QLatin1Char('\n'));
        QCOMPARE(got.size(), exp.size());
        // Glyph positions add up in 1/64 of a device pixel either way: the words stand within
        // a hundredth of a point (0.004 mm) of each other.
        static const QRegularExpression number(QStringLiteral("\"(-?[0-9.]+)\""));
        for (qsizetype i = 0; i < got.size(); ++i) {
            QString a = got[i], b = exp[i];
            QList<double> ax, bx;
            for (const auto& m : number.globalMatch(a)) ax << m.captured(1).toDouble();
            for (const auto& m : number.globalMatch(b)) bx << m.captured(1).toDouble();
            QCOMPARE(a.replace(number, QStringLiteral("#")), b.replace(number, QStringLiteral("#")));
            QCOMPARE(ax.size(), bx.size());
            for (qsizetype k = 0; k < ax.size(); ++k)
                QVERIFY2(std::abs(ax[k] - bx[k]) < 0.01, qPrintable(got[i] + QStringLiteral(" / ") + exp[i]));
        }
        // The pages as a reader shows them, pixel for pixel.
        const QString shown = dir_.filePath(QStringLiteral("shaped")), drawn = dir_.filePath(QStringLiteral("direct"));
        run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"), path, shown});
        run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"), direct, drawn});
        const QStringList pictures = QDir(dir_.path()).entryList({QStringLiteral("shaped-*.png")});
        QCOMPARE(pictures.size(), int(r.pages.size()));
        for (const QString& name : pictures) {
            const QImage a(dir_.filePath(name));
            const QImage b(dir_.filePath(QString(name).replace(QStringLiteral("shaped"), QStringLiteral("direct"))));
            QVERIFY(!a.isNull());
            QVERIFY2(a == b, qPrintable(name));
        }
    }

    void pagePaintsShadesFramesAndText() {
        const PreparedReport r = prepare(productsReport(), productsRows(4));
        QCOMPARE(r.pages.size(), size_t(1));
        const double dpi = 150;
        const double px = dpi / 25.4;
        QImage img(qRound(r.paperSize.width() * px), qRound(r.paperSize.height() * px), QImage::Format_RGB32);
        img.setDotsPerMeterX(qRound(dpi / 0.0254));
        img.setDotsPerMeterY(qRound(dpi / 0.0254));
        img.fill(Qt::white);
        {
            QPainter p(&img);
            render(r, 0, p);
        }
        auto bandOf = [&](const QString& band) {
            for (const PreparedItem& it : r.pages[0].items)
                if (it.band == band && it.isBand) return it.rect;
            return QRectF();
        };
        auto at = [&](double xMm, double yMm) { return QColor(img.pixel(int(xMm * px), int(yMm * px))); };

        const QRectF total = bandOf(QStringLiteral("total"));
        QVERIFY(!total.isEmpty());
        // Shade inside the box where nothing is written (between "Итого:" and the sums).
        QCOMPARE(at(total.left() + 70, total.center().y()), kTotalBandShade);
        // The box: dark rules on all four sides.
        QVERIFY(at(total.left() + 70, total.top()).lightness() < 100);
        QVERIFY(at(total.left() + 70, total.bottom()).lightness() < 100);
        QVERIFY(at(total.left(), total.center().y()).lightness() < 100);
        QVERIFY(at(total.right(), total.center().y()).lightness() < 100);
        const QRectF group = bandOf(QStringLiteral("nomHeader"));
        QCOMPARE(at(group.left() + 150, group.center().y()), kGroupShade);
        QVERIFY(at(group.left() + 150, group.top()).lightness() > 200);  // no frame on a group band

        // Text is painted inside the title label and nowhere below the page footer's box.
        int dark = 0;
        for (const PreparedItem& it : r.pages[0].items)
            if (it.element == QLatin1String("QRLabel1"))
                for (int y = int(it.rect.top() * px); y < int(it.rect.bottom() * px); ++y)
                    for (int x = int(it.rect.left() * px); x < int(it.rect.right() * px); ++x)
                        dark += QColor(img.pixel(x, y)).lightness() < 128;
        QVERIFY(dark > 200);
        for (int y = int((r.paperSize.height() - 9.5) * px); y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) QVERIFY(QColor(img.pixel(x, y)).lightness() > 200);
    }

    void previewShowsThePagesAndSavesPdf() {
        const PreparedReport r = prepare(productsReport(), productsRows(60));
        const QString path = dir_.filePath(QStringLiteral("из просмотра.pdf"));
        const QString title = QStringLiteral("   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024");
        int previewPages = -1;
        QString windowTitle;
        bool fileDialogShown = false;
        bool answerFileDialog = true;
        ui::testing::setModalHook([&](QDialog* dlg) {
            if (auto* fd = qobject_cast<QFileDialog*>(dlg)) {
                fileDialogShown = true;
                if (!answerFileDialog) return int(QDialog::Rejected);
                fd->selectFile(path);
                return int(QDialog::Accepted);
            }
            auto* preview = qobject_cast<PagedPreview*>(dlg);
            if (!preview) return -1;
            windowTitle = preview->windowTitle();
            previewPages = preview->pageCount();
            for (QAction* a : preview->findChildren<QAction*>())
                if (a->text() == QStringLiteral("Сохранить в PDF")) a->trigger();
            return int(QDialog::Accepted);
        });
        QString error, notice;
        ui::testing::setMessageHook([&](const ui::Message& m) {
            (m.icon == ui::Icon::Error ? error : notice) = m.text;
            return QMessageBox::Ok;
        });

        QCOMPARE(showPreview(r, nullptr, title), int(QDialog::Accepted));
        QCOMPARE(windowTitle, title.trimmed());
        QCOMPARE(previewPages, int(r.pages.size()));
        QVERIFY(fileDialogShown);
        QCOMPARE(error, QString());
        // The user is told where the file went.
        QVERIFY2(notice.contains(QDir::toNativeSeparators(path)), qPrintable(notice));
        QCOMPARE(pdfPages(path), int(r.pages.size()));
        QVERIFY(pdfText(path).contains(QStringLiteral("Детальный отчет по продукции")));

        // Cancelling the file dialog writes nothing.
        QFile::remove(path);
        fileDialogShown = false;
        answerFileDialog = false;
        QCOMPARE(showPreview(r, nullptr, title), int(QDialog::Accepted));
        QVERIFY(fileDialogShown);
        QVERIFY(!QFile::exists(path));
    }

    // The paged preview paints the page shown and nothing else: one page on opening,
    // one more per page turned to; the image is the page's, and its PDF holds every page.
    void pagedPreviewPaintsOnlyThePageShown() {
        const PreparedReport r = prepare(productsReport(), productsRows(200));
        QVERIFY(r.pages.size() >= 3);
        PagedPreview preview(r, QStringLiteral("   Отчет"));
        QCOMPARE(preview.windowTitle(), QStringLiteral("Отчет"));
        QCOMPARE(preview.pageCount(), int(r.pages.size()));
        QCOMPARE(preview.paintedPages(), 1);
        QCOMPARE(preview.currentPage(), 0);
        auto darkRows = [](const QImage& img) {
            int rows = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (QColor(img.pixel(x, y)).lightness() < 128) {
                        ++rows;
                        break;
                    }
            return rows;
        };
        const QImage first = preview.pageImage();
        QVERIFY(darkRows(first) > 50);
        // A4 portrait at 1.25 × 96 dpi.
        QCOMPARE(first.width(), qRound(210 / 25.4 * 120));

        const auto trigger = [&](const QString& name) {
            QAction* a = preview.findChild<QAction*>(name);
            QVERIFY2(a, qPrintable(name));
            a->trigger();
        };
        trigger(QStringLiteral("nextPage"));
        QCOMPARE(preview.currentPage(), 1);
        QCOMPARE(preview.paintedPages(), 2);
        QVERIFY(preview.pageImage() != first);
        trigger(QStringLiteral("lastPage"));
        QCOMPARE(preview.currentPage(), preview.pageCount() - 1);
        trigger(QStringLiteral("nextPage"));  // past the last page: stays, paints nothing
        QCOMPARE(preview.currentPage(), preview.pageCount() - 1);
        QCOMPARE(preview.paintedPages(), 3);
        trigger(QStringLiteral("firstPage"));
        QCOMPARE(preview.pageImage(), first);  // the same page paints the same

        // Zoom paints the page again, larger.
        trigger(QStringLiteral("zoomIn"));
        QVERIFY(preview.pageImage().width() > first.width());

        const QString path = dir_.filePath(QStringLiteral("paged.pdf"));
        ui::testing::setModalHook([&](QDialog* dlg) {
            auto* fd = qobject_cast<QFileDialog*>(dlg);
            if (!fd) return -1;
            fd->selectFile(path);
            return int(QDialog::Accepted);
        });
        QStringList told;
        ui::testing::setMessageHook([&](const ui::Message& m) {
            told << m.path;
            return QMessageBox::Ok;
        });
        trigger(QStringLiteral("savePdf"));
        QCOMPARE(told, QStringList{path});
        QCOMPARE(pdfPages(path), int(r.pages.size()));
    }

    // The window's path: pages laid out as the preview turns to them, paged with the keys.
    void previewOfPagesLaidOutAsShownTurnsWithTheKeys() {
        const ReportDef def = productsReport();
        const VectorDataSource rows = productsRows(400);
        const PreparedReport whole = prepare(def, rows);
        LazyReport lazy(def, rows);
        PagedPreview preview(lazy, QStringLiteral("Отчет"));
        preview.show();
        preview.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&preview));
        QCOMPARE(preview.pageCount(), int(whole.pages.size()));
        QVERIFY(lazy.laidOutPages() < preview.pageCount());

        struct Step {
            int key;
            Qt::KeyboardModifiers mods;
            int page;  // -1: the last
        };
        const Step steps[] = {{Qt::Key_PageDown, Qt::NoModifier, 1},
                              {Qt::Key_PageDown, Qt::NoModifier, 2},
                              {Qt::Key_PageUp, Qt::NoModifier, 1},
                              {Qt::Key_End, Qt::ControlModifier, -1},
                              {Qt::Key_PageDown, Qt::NoModifier, -1},
                              {Qt::Key_Home, Qt::ControlModifier, 0}};
        for (const Step& st : steps) {
            QTest::keyClick(&preview, Qt::Key(st.key), st.mods);
            QCOMPARE(preview.currentPage(), st.page < 0 ? preview.pageCount() - 1 : st.page);
        }
        QCOMPARE(lazy.laidOutPages(), preview.pageCount());  // the last page needed them all
        const auto texts = [](const PreparedReport& r) {
            QStringList t;
            for (const PreparedPage& page : r.pages)
                for (const PreparedItem& it : page.items) t << it.text;
            return t;
        };
        QCOMPARE(texts(preview.report()), texts(whole));

        const int width = preview.pageImage().width();
        QTest::keyClick(&preview, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(preview.pageImage().width() > width);
        QTest::keyClick(&preview, Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
    }

    // A landscape page opens fitted to the window's width (nothing cut at the right), and
    // keeps to it as the window grows; "Страница целиком" shows the whole page; the zoom
    // reads in percent and takes a typed figure; a zoom of one's own stays on resizing.
    void previewFitsTheWindow() {
        ReportDef def = productsReport();
        def.orientation = QPageLayout::Landscape;
        const PreparedReport r = prepare(def, productsRows(60));
        PagedPreview preview(r, QStringLiteral("Отчет"));
        preview.resize(1024, 700);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        auto* scroll = preview.findChild<QScrollArea*>();
        auto* percent = preview.findChild<QSpinBox*>(QStringLiteral("zoomPercent"));
        auto* bar = preview.findChild<QToolBar*>();
        QVERIFY(scroll && percent && bar);
        const auto click = [&](const QString& name) {
            QAction* a = preview.findChild<QAction*>(name);
            QVERIFY2(a, qPrintable(name));
            QTest::mouseClick(bar->widgetForAction(a), Qt::LeftButton);
        };
        const double pageW = 297 / 25.4 * 96;
        const auto fitsWidth = [&] {
            QApplication::processEvents();
            const int room = scroll->viewport()->width();
            const int w = preview.pageImage().width();
            return w <= room && w >= room - 40 && scroll->horizontalScrollBar()->maximum() == 0;
        };
        QVERIFY2(fitsWidth(), qPrintable(QStringLiteral("%1 in %2").arg(preview.pageImage().width()).arg(scroll->viewport()->width())));
        QCOMPARE(preview.fit(), PagedPreview::Fit::Width);
        QCOMPARE(percent->value(), qRound(preview.zoom() * 100));
        QVERIFY(percent->suffix().contains(u'%'));

        // The window grows: the page with it.
        const int narrow = preview.pageImage().width();
        preview.resize(1280, 700);
        QTRY_VERIFY(preview.pageImage().width() > narrow);
        QVERIFY(fitsWidth());

        const double byWidth = preview.zoom();
        click(QStringLiteral("fitPage"));
        QApplication::processEvents();
        QVERIFY(preview.pageImage().height() <= scroll->viewport()->height());
        QVERIFY(preview.pageImage().width() <= scroll->viewport()->width());
        QCOMPARE(scroll->verticalScrollBar()->maximum(), 0);
        QCOMPARE(percent->value(), qRound(preview.zoom() * 100));
        QVERIFY(preview.zoom() < byWidth);  // the window is wider than the page's proportions

        // A zoom of one's own: typed in percent, then a step larger; resizing keeps it.
        percent->setFocus();
        percent->selectAll();
        QTest::keyClicks(percent, QStringLiteral("150"));
        QTest::keyClick(percent, Qt::Key_Return);
        QCOMPARE(preview.fit(), PagedPreview::Fit::None);
        QCOMPARE(preview.pageImage().width(), qRound(pageW * 1.5));
        click(QStringLiteral("zoomIn"));
        QCOMPARE(percent->value(), qRound(150 * 1.25));
        const int own = preview.pageImage().width();
        preview.resize(1100, 650);
        QApplication::processEvents();
        QCOMPARE(preview.pageImage().width(), own);

        click(QStringLiteral("fitWidth"));
        QVERIFY(fitsWidth());
        QCOMPARE(percent->value(), qRound(preview.zoom() * 100));
    }

    // "Сохранить в PDF" of a long report goes page by page (laying out the pages not yet
    // shown, then writing each) with "Отмена". Pressed, it leaves no file, neither the one
    // asked for nor a temporary one, and a file already there as it was; let run, the
    // whole report replaces that file.
    void savingPdfCanBeCancelled_data() {
        QTest::addColumn<QString>("cancelAt");  // the step whose label starts so; empty: never
        QTest::addColumn<bool>("fileBefore");
        QTest::newRow("laying out, no file before") << "Подготовка страницы 3 " << false;
        QTest::newRow("writing, no file before") << "Запись в PDF: страница 3 " << false;
        QTest::newRow("writing, a file before") << "Запись в PDF: страница 3 " << true;
        QTest::newRow("let run over a file") << QString() << true;
    }
    void savingPdfCanBeCancelled() {
        QFETCH(QString, cancelAt);
        QFETCH(bool, fileBefore);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("отчет.pdf"));
        const QByteArray before("an earlier report\n");
        if (fileBefore) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        const ReportDef def = productsReport();
        const VectorDataSource rows = productsRows(400);
        LazyReport lazy(def, rows);
        QVERIFY(lazy.pageCount() >= 6);

        ui::testing::setModalHook([&](QDialog* dlg) {
            if (auto* fd = qobject_cast<QFileDialog*>(dlg)) {
                fd->selectFile(path);
                return int(QDialog::Accepted);
            }
            auto* preview = qobject_cast<PagedPreview*>(dlg);
            if (!preview) return -1;
            preview->show();
            if (!QTest::qWaitForWindowExposed(preview)) return -1;
            QToolBar* bar = preview->findChild<QToolBar*>();
            QTest::mouseClick(bar->widgetForAction(preview->findChild<QAction*>(QStringLiteral("savePdf"))), Qt::LeftButton);
            return int(QDialog::Accepted);
        });
        QStringList messages;
        ui::testing::setMessageHook([&](const ui::Message& m) {
            messages << m.text;
            return QMessageBox::Ok;
        });
        QStringList labels;
        ui::testing::setProgressDelay(0);
        ui::testing::setProgressHook([&](ui::Progress& p) {
            QProgressDialog* d = p.dialog();
            QObject::connect(d->findChild<QProgressBar*>(), &QProgressBar::valueChanged, d, [&labels, d, cancelAt] {
                if (labels.isEmpty() || labels.last() != d->labelText()) labels << d->labelText();
                if (!cancelAt.isEmpty() && !d->wasCanceled() && d->labelText().startsWith(cancelAt))
                    QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
            });
        });
        showPreview(lazy, nullptr, QStringLiteral("Отчет"));
        ui::testing::setProgressHook({});
        ui::testing::setProgressDelay(-1);

        const int pages = lazy.pageCount();
        QVERIFY2(!labels.isEmpty(), "no progress shown");
        if (cancelAt.isEmpty()) {
            // Every page laid out, then every page written, one step each.
            QCOMPARE(labels.first(), QStringLiteral("Подготовка страницы 2 из %1").arg(pages));
            QCOMPARE(labels.size(), 2 * (pages - 1) + 1);
            QCOMPARE(labels.last(), QStringLiteral("Запись в PDF: страница %1 из %1").arg(pages));
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages[0].contains(QDir::toNativeSeparators(path)), qPrintable(messages[0]));
            QCOMPARE(pdfPages(path), pages);
        } else {
            QVERIFY2(labels.last().startsWith(cancelAt), qPrintable(labels.join(u'|')));
            QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'|')));
            if (fileBefore) {
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadOnly));
                QCOMPARE(f.readAll(), before);
            } else {
                QVERIFY(!QFile::exists(path));
            }
        }
        // Nothing else is left in the folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), fileBefore || cancelAt.isEmpty() ? 1 : 0);
    }

    void savingIntoAnUnwritablePlaceSaysSo() {
        const PreparedReport r = prepare(productsReport(), productsRows(3));
        const QString path = dir_.filePath(QStringLiteral("нет/папки.pdf"));
        ui::testing::setModalHook([&](QDialog* dlg) {
            if (auto* fd = qobject_cast<QFileDialog*>(dlg)) {
                fd->selectFile(path);
                return int(QDialog::Accepted);
            }
            for (QAction* a : dlg->findChildren<QAction*>())
                if (a->text() == QStringLiteral("Сохранить в PDF")) a->trigger();
            return int(QDialog::Rejected);
        });
        QStringList messages;
        ui::testing::setMessageHook([&](const ui::Message& m) {
            messages << m.caption + QLatin1Char('/') + m.text;
            return QMessageBox::Ok;
        });
        showPreview(r, nullptr, QStringLiteral("Отчет"));
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("Ошибка/Не удалось записать файл")));
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestEngineRender)
#include "test_engine_render.moc"
