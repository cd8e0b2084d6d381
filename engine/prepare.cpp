// Layout of a report into pages: pure data in, pure data out.
#include "engine/engine.h"

#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <utility>

namespace mirn {

namespace rpt {
namespace {

constexpr double kEpsilon = 1e-6;  // millimetres; keeps rounding from forcing page breaks

[[noreturn]] void fail(const QString& text) { throw std::invalid_argument(text.toStdString()); }

QHash<QString, int> fieldIndex(const ReportDataSource& src) {
    QHash<QString, int> h;
    const QStringList names = src.fieldNames();
    for (int i = 0; i < names.size(); ++i) h.insert(names[i].toLower(), i);
    return h;
}

int lookupField(const QHash<QString, int>& fields, const QString& name) {
    auto it = fields.constFind(name.toLower());
    if (it != fields.constEnd()) return *it;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        it = fields.constFind(name.mid(dot + 1).toLower());
        if (it != fields.constEnd()) return *it;
    }
    return -1;
}

std::optional<Mask> compileMask(const QString& mask) {
    if (mask.isEmpty()) return std::nullopt;
    auto m = Mask::parse(mask);
    if (!m) fail(QStringLiteral("Неверная маска «%1»").arg(mask));
    return m;
}

QString unmasked(const QVariant& v, const QString& sep) {
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d)) return v.toString();
        QString s = QString::number(d, 'f', QLocale::FloatingPointShortest);
        if (sep != QLatin1String(".")) s.replace(QLatin1Char('.'), sep);
        return s;
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    default:
        if (v.metaType() == QMetaType::fromType<Decimal>()) return v.value<Decimal>().toString(sep);
        return v.toString();
    }
}

// Puts the group separator between groups of three digits of a formatted number's
// integer part; anything that is not such a number is returned as it is.
QString groupedDigits(const QString& formatted, const QString& sep, const QString& group) {
    if (group.isEmpty()) return formatted;
    const qsizetype start = formatted.startsWith(QLatin1Char('-')) ? 1 : 0;
    qsizetype end = formatted.indexOf(sep, start);
    if (end < 0) end = formatted.size();
    if (end - start < 4) return formatted;
    for (qsizetype i = start; i < formatted.size(); ++i) {
        if (i == end) i += sep.size() - 1;
        else if (!formatted.at(i).isDigit()) return formatted;
    }
    QString out = formatted;
    for (qsizetype at = end - 3; at > start; at -= 3) out.insert(at, group);
    return out;
}

QString format(const QVariant& v, const std::optional<Mask>& mask, const QString& sep) {
    if (v.isNull()) return {};
    if (mask) {
        if (const auto d = Decimal::fromVariant(v)) return mask->format(*d, sep);
    }
    return unmasked(v, sep);
}

bool isBlank(const QVariant& v) {
    return v.isNull() ||
           (v.metaType().id() == QMetaType::QString && v.toString().trimmed().isEmpty());
}

// Text is measured as the PDF writer sets it; the screen's hinting may make it a little
// wider, so lines are broken a little short of the box.
constexpr double kMeasureDpi = 600;
constexpr double kTextPadding = 0.6;  // millimetres, as the painter keeps from each side
constexpr double kWrapSlack = 0.96;

const QImage& measuringDevice() {
    static const QImage device = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        img.setDotsPerMeterX(int(kMeasureDpi / 0.0254 + 0.5));
        img.setDotsPerMeterY(int(kMeasureDpi / 0.0254 + 0.5));
        return img;
    }();
    return device;
}

// The lines a text takes in a box widthMm wide, broken at word boundaries (inside a word
// only where a word alone is wider than the box).
QStringList wrapLines(const QString& text, const QFont& font, double widthMm) {
    const QImage& device = measuringDevice();
    const double px = std::max(1.0, (widthMm - 2 * kTextPadding) * kWrapSlack / 25.4 * kMeasureDpi);
    if (!text.contains(QLatin1Char('\n')) && QFontMetricsF(font, &device).horizontalAdvance(text) <= px)
        return {text};
    QString flowing = text;
    flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flowing, font, &device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList out;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(px);
        QString piece = flowing.mid(line.textStart(), line.textLength());
        while (!piece.isEmpty() && (piece.back().isSpace() || piece.back() == QChar::LineSeparator)) piece.chop(1);
        out << piece;
    }
    layout.endLayout();
    return out.isEmpty() ? QStringList{QString()} : out;
}

double lineSpacingMm(const QFont& font) {
    const QImage& device = measuringDevice();
    return QFontMetricsF(font, &device).lineSpacing() / kMeasureDpi * 25.4;
}

Element* findElement(Band& band, const QString& name) {
    for (Element& e : band.elements)
        if (e.name == name) return &e;
    for (Band& c : band.children)
        if (Element* e = findElement(c, name)) return e;
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------

VectorDataSource::VectorDataSource(QStringList fields, std::vector<QVariantList> rows)
    : fields_(std::move(fields)), rows_(std::move(rows)) {}

void VectorDataSource::addRow(QVariantList row) { rows_.push_back(std::move(row)); }

QVariant VectorDataSource::value(int row, int field) const {
    const QVariantList& r = rows_.at(size_t(row));
    return field >= 0 && field < r.size() ? r.at(field) : QVariant();
}

QVariant Row::value(const QString& field) const {
    const int i = lookupField(*fields_, field);
    if (i < 0) fail(QStringLiteral("В данных отчета нет поля «%1»").arg(field));
    return row_ < 0 ? QVariant() : src_->value(row_, i);
}

Element Element::label(const QRectF& rect, const QString& caption, const QString& name) {
    Element e;
    e.kind = Kind::Label;
    e.rect = rect;
    e.text = caption;
    e.name = name;
    return e;
}

Element Element::field(const QRectF& rect, const QString& field, const QString& mask) {
    Element e;
    e.kind = Kind::Field;
    e.rect = rect;
    e.fieldName = field;
    e.mask = mask;
    return e;
}

Element Element::computed(const QRectF& rect, ValueFn fn, const QString& mask) {
    Element e;
    e.kind = Kind::Computed;
    e.rect = rect;
    e.compute = std::move(fn);
    e.mask = mask;
    return e;
}

Element Element::sum(const QRectF& rect, const QString& field, const QString& mask,
                     bool resetAfterPrint) {
    Element e;
    e.kind = Kind::Sum;
    e.rect = rect;
    e.fieldName = field;
    e.mask = mask;
    e.resetAfterPrint = resetAfterPrint;
    return e;
}

Element Element::sum(const QRectF& rect, ValueFn fn, const QString& mask, bool resetAfterPrint) {
    Element e = sum(rect, QString(), mask, resetAfterPrint);
    e.compute = std::move(fn);
    return e;
}

Element Element::pageNumber(const QRectF& rect, const QString& format) {
    Element e;
    e.kind = Kind::PageNumber;
    e.rect = rect;
    e.text = format;
    return e;
}

Element& ReportDef::element(const QString& name) {
    for (Group& g : groups) {
        if (Element* e = findElement(g.header, name)) return *e;
        if (Element* e = findElement(g.footer, name)) return *e;
    }
    if (Element* e = findElement(detail, name)) return *e;
    if (Element* e = findElement(pageFooter, name)) return *e;
    fail(QStringLiteral("В отчете нет элемента «%1»").arg(name));
}

QPageLayout PreparedReport::pageLayout() const {
    return QPageLayout(QPageSize(paper), orientation, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

QString formatValue(const QVariant& v, const QString& mask, const QString& decimalSeparator) {
    return format(v, compileMask(mask), decimalSeparator);
}

// ---------------------------------------------------------------------------------------

class Preparer {
public:
    Preparer(const ReportDef& def, const ReportDataSource& src)
        : def_(def), src_(src), fields_(fieldIndex(src)) {
        sep_ = def.decimalSeparator.isEmpty() ? QLocale().decimalPoint() : def.decimalSeparator;
        group_ = def.groupSeparator;
        // The C locale, as on a server or in a script, writes no digit groups.
        const QLocale platform;
        if (group_.isEmpty() && platform.language() != QLocale::C &&
            !(platform.numberOptions() & QLocale::OmitGroupSeparator))
            group_ = platform.groupSeparator();
        for (const Group& g : def.groups) {
            CGroup cg;
            cg.def = &g;
            cg.keyed = !g.key.isEmpty() || bool(g.keyFn);
            if (!g.key.isEmpty()) cg.keyField = resolve(g.key);
            cg.header = compile(g.header);
            cg.footer = compile(g.footer);
            groups_.push_back(std::move(cg));
        }
        detail_ = compile(def.detail);
        pageFooter_ = compile(def.pageFooter);

        QSizeF paper = QPageSize(def.paper).size(QPageSize::Millimeter);
        if (def.orientation == QPageLayout::Landscape) paper.transpose();
        out_.paper = def.paper;
        out_.orientation = def.orientation;
        out_.paperSize = paper;
        out_.fontFamily = def.fontFamily;
        left_ = def.margins.left();
        width_ = paper.width() - def.margins.left() - def.margins.right();
        top_ = def.margins.top();
        footerTop_ = paper.height() - def.margins.bottom() - pageFooter_.totalHeight;
    }

    // Lays out every page at once.
    PreparedReport run() {
        while (!finished_) step();
        return std::move(out_);
    }

    // Only measures: walks the rows and breaks the pages as the layout would, without
    // texts or sums, and returns the number of pages.
    int countPages(const LazyReport::Progress& progress) {
        measureOnly_ = true;
        while (!finished_) {
            step();
            if (progress) progress(row_, src_.rowCount());
        }
        return int(out_.pages.size());
    }

    // Lays out pages until page `index` is complete (the next one has begun or the report
    // has ended). The page count, known beforehand, goes straight into the page numbers.
    void layOutThrough(int index, int pageCount) {
        knownCount_ = QString::number(pageCount);
        while (!finished_ && int(out_.pages.size()) <= index + 1) step();
    }
    bool finished() const { return finished_; }
    const PreparedReport& pages() const { return out_; }

private:
    // One step: the start (the keyless groups open), one row, or the end (the open groups
    // close, the last page footer). Pages are only ever appended.
    void step() {
        const int n = src_.rowCount();
        const int ng = int(groups_.size());
        if (!started_) {
            started_ = true;
            open_.assign(size_t(ng), false);
            prevKeys_.assign(size_t(ng), QVariant());
            keys_.assign(size_t(ng), QVariant());
            while (firstKeyed_ < ng && !groups_[size_t(firstKeyed_)].keyed) ++firstKeyed_;
            startPage(-1);  // no group is open yet: nothing to repeat
            for (int g = 0; g < firstKeyed_; ++g) openGroup(g, -1);
            return;
        }
        if (row_ < n) {
            const int r = row_++;
            for (int g = 0; g < ng; ++g) keys_[size_t(g)] = keyOf(groups_[size_t(g)], r);
            int level = ng;
            if (r == 0) {
                level = firstKeyed_;
            } else {
                for (int g = 0; g < ng; ++g)
                    if (groups_[size_t(g)].keyed && keys_[size_t(g)] != prevKeys_[size_t(g)]) {
                        level = g;
                        break;
                    }
                for (int g = ng - 1; g >= level; --g) closeGroup(g, r - 1);
            }
            const Measured detail = measure(detail_, r);
            // A footer kept with its rows comes right under this row when the next row
            // breaks its group (or there is none).
            const double footer = keptFooter(r, n);
            if (level < ng) {
                // A group heading must not end a page: keep it with its first row.
                double needed = detail.height + footer;
                for (int g = level; g < ng; ++g) needed += groups_[size_t(g)].header.totalHeight;
                if (!fits(needed)) newPage(r);
            }
            for (int g = level; g < ng; ++g) openGroup(g, r);
            if (footer > 0 && !fits(detail.height + footer)) newPage(r);
            placeTree(detail_, r, true, &detail);
            std::swap(keys_, prevKeys_);
            return;
        }
        for (int g = ng - 1; g >= 0; --g)
            if (open_[size_t(g)]) closeGroup(g, n - 1);
        closePage(n - 1);
        finished_ = true;
        // The page count is known only now: fill it into the page numbers that ask for it.
        const QString count = QString::number(out_.pages.size());
        for (const auto& [page, item] : pageCounts_) {
            QString& t = out_.pages[page].items[item].text;
            t.replace(QLatin1String("%2"), count);
        }
    }

    // The height of the footers to keep under row r: those of the groups that close after
    // it and are marked to keep their footer, with the footers inside them.
    double keptFooter(int r, int n) const {
        const int ng = int(groups_.size());
        int level = 0;  // the outermost group closing after r
        if (r + 1 < n) {
            level = ng;
            for (int g = 0; g < ng; ++g)
                if (groups_[size_t(g)].keyed && keyOf(groups_[size_t(g)], r + 1) != keys_[size_t(g)]) {
                    level = g;
                    break;
                }
        }
        double closing = 0, kept = 0;
        for (int g = ng - 1; g >= level; --g) {
            closing += groups_[size_t(g)].footer.totalHeight;
            if (groups_[size_t(g)].def->keepFooterWithRows) kept = closing;
        }
        return kept;
    }

    void openGroup(int g, int row) {
        if (groups_[size_t(g)].def->newPage && !pageFresh()) newPage(row);
        placeTree(groups_[size_t(g)].header, row);
        open_[size_t(g)] = true;
    }
    void closeGroup(int g, int row) {
        placeTree(groups_[size_t(g)].footer, row);
        open_[size_t(g)] = false;
    }

    struct CElement {
        const Element* def = nullptr;
        int field = -1;
        std::optional<Mask> mask;
        int acc = -1;  // accumulator of a Sum
        // A wrapped element: its font and line spacing, and the lines of each text met so
        // far. Long reports repeat the same few names row after row; measuring a text
        // asks the font system every time, so each distinct one is broken only once.
        QFont font;
        double lineSpacing = 0;
        std::shared_ptr<QHash<QString, QStringList>> lines;
    };
    struct CBand {
        const Band* def = nullptr;
        bool wraps = false;  // has a wrapped element: its height depends on the row
        std::vector<CElement> elements;
        std::vector<CBand> children;
        std::vector<int> resets;  // accumulators that start again once this band prints
        double totalHeight = 0;   // with all children
    };
    struct CGroup {
        const Group* def = nullptr;
        bool keyed = false;
        int keyField = -1;
        CBand header, footer;
    };

    int resolve(const QString& name) const {
        const int i = lookupField(fields_, name);
        if (i < 0) fail(QStringLiteral("В данных отчета нет поля «%1»").arg(name));
        return i;
    }

    CBand compile(const Band& band) {
        CBand cb;
        cb.def = &band;
        cb.totalHeight = band.height;
        for (const Element& e : band.elements) {
            CElement ce;
            ce.def = &e;
            using K = Element::Kind;
            if (e.kind == K::Field || (e.kind == K::Sum && !e.compute)) {
                if (e.fieldName.isEmpty())
                    fail(QStringLiteral("Элемент «%1» полосы «%2» не связан с полем")
                             .arg(e.name, band.name));
                ce.field = resolve(e.fieldName);
            }
            if (e.kind == K::Computed && !e.compute)
                fail(QStringLiteral("Элемент «%1» полосы «%2» без выражения").arg(e.name, band.name));
            if (e.kind == K::Field || e.kind == K::Computed || e.kind == K::Sum)
                ce.mask = compileMask(e.mask);
            if (e.wrap) {
                cb.wraps = true;
                ce.font = fontOf(e, band);
                ce.lineSpacing = lineSpacingMm(ce.font);
                ce.lines = std::make_shared<QHash<QString, QStringList>>();
            }
            if (e.kind == K::Sum) {
                ce.acc = int(acc_.size());
                acc_.emplace_back();
                added_.push_back(0);
                sums_.push_back({ce.acc, ce.field, &e.compute, e.fieldName.isEmpty() ? e.name : e.fieldName});
                if (e.resetAfterPrint) cb.resets.push_back(ce.acc);
            }
            cb.elements.push_back(std::move(ce));
        }
        for (const Band& c : band.children) {
            cb.children.push_back(compile(c));
            cb.totalHeight += cb.children.back().totalHeight;
        }
        return cb;
    }

    QVariant keyOf(const CGroup& g, int row) const {
        if (g.keyField >= 0) return src_.value(row, g.keyField);
        if (g.def->keyFn) return g.def->keyFn(Row(&src_, &fields_, row));
        return {};
    }

    bool fits(double height) const { return y_ + height <= footerTop_ + kEpsilon || pageFresh(); }
    bool pageFresh() const { return y_ <= bodyTop_ + kEpsilon; }

    void startPage(int row) {
        out_.pages.emplace_back();
        y_ = top_;
        bodyTop_ = top_;
        // Headings of the groups still open come back at the top of the new page.
        for (size_t g = 0; g < groups_.size(); ++g)
            if (open_[g] && groups_[g].def->repeatHeader) emitTree(groups_[g].header, row);
        bodyTop_ = y_;
    }

    void closePage(int row) {
        if (pageFooter_.def->isEmpty()) return;
        y_ = footerTop_;
        emitTree(pageFooter_, row);
    }

    void newPage(int row) {
        closePage(row);
        startPage(row);
    }

    // A band as it prints for a row: its height, and the lines of its wrapped elements
    // (joined by '\n'; empty for the others).
    struct Measured {
        double height = 0;
        std::vector<QString> wrapped;
        std::vector<double> heights;  // of the wrapped elements' boxes
    };

    QFont fontOf(const Element& e, const Band& b) const {
        QFont font(def_.fontFamily);
        font.setStyleHint(QFont::SansSerif);  // as the painter chooses it
        font.setPointSizeF(e.fontSize > 0 ? e.fontSize : def_.fontSize);
        font.setBold(e.bold < 0 ? b.bold : e.bold == 1);
        return font;
    }

    // The lines of a wrapped element's text, broken once for each distinct text.
    static const QStringList& wrapped(const CElement& ce, const QString& text) {
        constexpr qsizetype kKept = 4096;  // distinct texts kept per element
        QHash<QString, QStringList>& known = *ce.lines;
        auto it = known.constFind(text);
        if (it != known.constEnd()) return *it;
        if (known.size() >= kKept) known.clear();
        return *known.insert(text, wrapLines(text, ce.font, ce.def->rect.width()));
    }

    Measured measure(const CBand& band, int row) const {
        Measured m;
        m.height = band.def->height;
        if (!band.wraps) return m;
        m.wrapped.resize(band.elements.size());
        m.heights.resize(band.elements.size());
        for (size_t i = 0; i < band.elements.size(); ++i) {
            const CElement& ce = band.elements[i];
            const Element& e = *ce.def;
            if (!e.wrap) continue;
            const QStringList& lines = wrapped(ce, text(ce, row));
            m.wrapped[i] = lines.size() == 1 ? lines.front() : lines.join(QLatin1Char('\n'));
            const double extra = double(lines.size() - 1) * ce.lineSpacing;
            m.heights[i] = e.rect.height() + extra;
            m.height = std::max(m.height, e.rect.bottom() + extra);
        }
        return m;
    }

    void placeTree(const CBand& band, int row, bool detail = false, const Measured* measured = nullptr) {
        const Measured m = measured ? *measured : measure(band, row);
        if (m.height > 0 && !fits(m.height)) newPage(row);
        if (detail && !measureOnly_) feedSums(row);
        put(band, row, m);
        for (const CBand& c : band.children) placeTree(c, row);
    }

    // Places a band and its children where the cursor is, without looking for room.
    void emitTree(const CBand& band, int row) {
        put(band, row, measure(band, row));
        for (const CBand& c : band.children) emitTree(c, row);
    }

    void feedSums(int row) {
        for (const SumSource& s : sums_) {
            const QVariant v = s.field >= 0 ? src_.value(row, s.field)
                                            : (*s.compute)(Row(&src_, &fields_, row));
            if (isBlank(v)) continue;
            const auto d = Decimal::fromVariant(v);
            if (!d)
                throw std::runtime_error(
                    QStringLiteral("Сумма по полю «%1»: значение «%2» не является числом")
                        .arg(s.name, v.toString())
                        .toStdString());
            acc_[size_t(s.acc)] += *d;
            ++added_[size_t(s.acc)];
        }
    }

    QString text(const CElement& ce, int row) const {
        const QString t = plainText(ce, row);
        return ce.def->groupDigits ? groupedDigits(t, sep_, group_) : t;
    }

    QString plainText(const CElement& ce, int row) const {
        const Element& e = *ce.def;
        switch (e.kind) {
        case Element::Kind::Label:
            return e.text;
        case Element::Kind::Field:
            return row < 0 ? QString() : format(src_.value(row, ce.field), ce.mask, sep_);
        case Element::Kind::Computed:
            return format(e.compute(Row(&src_, &fields_, row)), ce.mask, sep_);
        case Element::Kind::Sum: {
            if (e.blankIfNothing && added_[size_t(ce.acc)] == 0) return {};
            const Decimal total = acc_[size_t(ce.acc)];
            return ce.mask ? ce.mask->format(total, sep_) : total.toString(sep_);
        }
        case Element::Kind::PageNumber: {
            const QString number = QString::number(out_.pages.size());
            // %2, the page count, is filled in once the last page is laid out.
            return e.text.contains(QLatin1String("%1")) ? QString(e.text).replace(QLatin1String("%1"), number)
                                                        : e.text + number;
        }
        }
        return {};
    }

    void put(const CBand& band, int row, const Measured& m) {
        const Band& b = *band.def;
        if (measureOnly_) {
            y_ += m.height;
            return;
        }
        std::vector<PreparedItem>& items = out_.pages.back().items;
        if (b.shade.isValid() || b.frame != NoSides) {
            PreparedItem it;
            it.rect = QRectF(left_, y_, width_, m.height);
            it.frame = b.frame;
            it.shade = b.shade;
            it.band = b.name;
            it.isBand = true;
            items.push_back(std::move(it));
        }
        for (size_t i = 0; i < band.elements.size(); ++i) {
            const CElement& ce = band.elements[i];
            const Element& e = *ce.def;
            PreparedItem it;
            it.rect = e.rect.translated(left_, y_);
            if (e.wrap && i < m.wrapped.size()) {
                it.text = m.wrapped[i];
                it.rect.setHeight(m.heights[i]);
            } else {
                it.text = text(ce, row);
            }
            it.alignment = e.alignment;
            it.bold = e.bold < 0 ? b.bold : e.bold == 1;
            it.fontSize = e.fontSize > 0 ? e.fontSize : def_.fontSize;
            it.frame = e.frame;
            it.shade = e.shade;
            it.band = b.name;
            it.element = e.name;
            if (e.kind == Element::Kind::PageNumber && e.text.contains(QLatin1String("%2"))) {
                if (knownCount_.isEmpty())
                    pageCounts_.emplace_back(out_.pages.size() - 1, items.size());
                else
                    it.text.replace(QLatin1String("%2"), knownCount_);
            }
            items.push_back(std::move(it));
        }
        y_ += m.height;
        for (int a : band.resets) {
            acc_[size_t(a)] = Decimal();
            added_[size_t(a)] = 0;
        }
    }

    struct SumSource {
        int acc;
        int field;
        const ValueFn* compute;
        QString name;
    };

    const ReportDef& def_;
    const ReportDataSource& src_;
    QHash<QString, int> fields_;
    QString sep_;
    QString group_;
    std::vector<CGroup> groups_;
    CBand detail_, pageFooter_;
    std::vector<Decimal> acc_;
    std::vector<int> added_;  // per accumulator: values added since its last reset
    std::vector<SumSource> sums_;
    std::vector<bool> open_;  // per group: header printed, footer not yet
    std::vector<std::pair<size_t, size_t>> pageCounts_;  // page, item waiting for the page count

    // Where a stepwise layout stands.
    bool started_ = false, finished_ = false, measureOnly_ = false;
    int row_ = 0, firstKeyed_ = 0;
    std::vector<QVariant> prevKeys_, keys_;
    QString knownCount_;  // the page count, when measured beforehand

    PreparedReport out_;
    double left_ = 0, width_ = 0, top_ = 0, footerTop_ = 0;
    double y_ = 0, bodyTop_ = 0;
};

PreparedReport prepare(const ReportDef& def, const ReportDataSource& rows) {
    return Preparer(def, rows).run();
}

LazyReport::LazyReport(const ReportDef& def, std::unique_ptr<const ReportDataSource> rows, const Progress& progress)
    : LazyReport(def, *rows, progress) {
    owned_ = std::move(rows);
}

LazyReport::LazyReport(const ReportDef& def, const ReportDataSource& rows, const Progress& progress)
    : preparer_(std::make_unique<Preparer>(def, rows)) {
    // A pass that only measures costs a small part of the layout and gives "из N" at once.
    pageCount_ = Preparer(def, rows).countPages(progress);
}

LazyReport::~LazyReport() = default;

const PreparedReport& LazyReport::pagesThrough(int index) {
    preparer_->layOutThrough(std::clamp(index, 0, pageCount_ - 1), pageCount_);
    return preparer_->pages();
}

const PreparedReport& LazyReport::complete() {
    preparer_->layOutThrough(pageCount_, pageCount_);
    return preparer_->pages();
}

int LazyReport::laidOutPages() const {
    const int n = int(preparer_->pages().pages.size());
    return preparer_->finished() ? n : std::max(0, n - 1);
}

}  // namespace rpt

}  // namespace mirn
