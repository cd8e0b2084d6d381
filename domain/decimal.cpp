#include "domain/decimal.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace mirn {

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
// Largest whole part that still fits as millionths.
constexpr quint64 kMaxWhole = quint64(kMax) / quint64(Decimal::kOne);

[[noreturn]] void overflow(QStringView what) {
    throw std::overflow_error(
        QStringLiteral("Число %1 слишком велико для отчета").arg(what).toStdString());
}

quint64 magnitude(qint64 v) { return v < 0 ? quint64(0) - quint64(v) : quint64(v); }

// Appends the six-digit fraction of a magnitude, then cuts it to `keep` digits.
QString fractionDigits(quint64 mag, int keep) {
    QString f = QString::number(mag % quint64(Decimal::kOne)).rightJustified(Decimal::kDecimals,
                                                                             QLatin1Char('0'));
    f.truncate(keep);
    return f;
}

}  // namespace

Decimal Decimal::fromInt(qint64 v) {
    if (magnitude(v) > kMaxWhole) overflow(QString::number(v));
    return fromUnits(v * kOne);
}

std::optional<Decimal> Decimal::parse(QStringView text) {
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    QString digits;  // all significant digits, integer and fraction run together
    qsizetype intDigits = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        digits += text[i++];
        ++intDigits;
    }
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) digits += text[i++];
    }
    if (digits.isEmpty()) return std::nullopt;
    qint64 exponent = 0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
            expNegative = text[i++] == u'-';
        const qsizetype start = i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
            // Beyond a few hundred the number is zero or out of range anyway.
            if (exponent < 100000) exponent = exponent * 10 + (text[i].unicode() - '0');
            ++i;
        }
        if (i == start) return std::nullopt;
        if (expNegative) exponent = -exponent;
    }
    if (i != text.size()) return std::nullopt;

    // Move the decimal point by the exponent, then split into whole part and fraction.
    const qint64 point = qint64(intDigits) + exponent;
    QString whole, fraction;
    if (point <= 0) {
        if (point < -kDecimals - 1) return Decimal();  // below half a millionth
        fraction = QString(int(-point), QLatin1Char('0')) + digits;
    } else if (point >= digits.size()) {
        if (digits.count(QLatin1Char('0')) == digits.size()) return Decimal();
        if (point > 20) overflow(text);
        whole = digits + QString(int(point - digits.size()), QLatin1Char('0'));
    } else {
        whole = digits.left(point);
        fraction = digits.mid(point);
    }
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0'))) whole.remove(0, 1);
    if (whole.size() > 13) {
        if (whole.count(QLatin1Char('0')) != whole.size()) overflow(text);
        whole = QStringLiteral("0");
    }
    const quint64 wholeValue = whole.isEmpty() ? 0 : whole.toULongLong();
    if (wholeValue > kMaxWhole) overflow(text);
    quint64 units = wholeValue * quint64(kOne);
    const QString six = fraction.left(kDecimals).leftJustified(kDecimals, QLatin1Char('0'));
    units += six.toULongLong();
    if (fraction.size() > kDecimals && fraction[kDecimals] >= u'5') ++units;
    if (units > quint64(kMax)) overflow(text);
    return fromUnits(negative ? -qint64(units) : qint64(units));
}

std::optional<Decimal> Decimal::fromVariant(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
        return fromInt(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar: {
        const qulonglong u = v.toULongLong();
        if (u > kMaxWhole) overflow(QString::number(u));
        return fromInt(qint64(u));
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d)) return std::nullopt;
        // The shortest text that reads back as the same double is what the user and the
        // database mean by the number.
        return parse(QString::number(d, 'f', QLocale::FloatingPointShortest));
    }
    case QMetaType::QString:
        return parse(v.toString());
    default:
        if (v.metaType() == QMetaType::fromType<Decimal>()) return v.value<Decimal>();
        return std::nullopt;
    }
}

Decimal& Decimal::operator+=(Decimal other) {
    if ((other.units_ > 0 && units_ > kMax - other.units_) ||
        (other.units_ < 0 && units_ < kMin - other.units_))
        overflow(toString() + QStringLiteral(" + ") + other.toString());
    units_ += other.units_;
    return *this;
}

Decimal& Decimal::operator-=(Decimal other) {
    if ((other.units_ < 0 && units_ > kMax + other.units_) ||
        (other.units_ > 0 && units_ < kMin + other.units_))
        overflow(toString() + QStringLiteral(" - ") + other.toString());
    units_ -= other.units_;
    return *this;
}

Decimal Decimal::times(qint64 factor) const {
    qint64 r = 0;
    if (__builtin_mul_overflow(units_, factor, &r))
        overflow(toString() + QStringLiteral(" * ") + QString::number(factor));
    return fromUnits(r);
}

Decimal Decimal::abs() const {
    if (units_ == kMin) overflow(toString());
    return fromUnits(units_ < 0 ? -units_ : units_);
}

Decimal Decimal::rounded(int decimals) const {
    if (decimals >= kDecimals) return *this;
    if (decimals < 0) decimals = 0;
    quint64 factor = 1;
    for (int k = decimals; k < kDecimals; ++k) factor *= 10;
    const quint64 mag = magnitude(units_);
    quint64 q = mag / factor;
    if ((mag % factor) * 2 >= factor) ++q;  // half away from zero
    const quint64 r = q * factor;
    if (r > quint64(kMax)) overflow(toString());
    return fromUnits(units_ < 0 ? -qint64(r) : qint64(r));
}

QString Decimal::toString(const QString& decimalSeparator) const {
    const quint64 mag = magnitude(units_);
    QString s = units_ < 0 ? QStringLiteral("-") : QString();
    s += QString::number(mag / quint64(kOne));
    QString f = fractionDigits(mag, kDecimals);
    while (f.endsWith(QLatin1Char('0'))) f.chop(1);
    if (!f.isEmpty()) s += decimalSeparator + f;
    return s;
}

std::optional<Mask> Mask::parse(const QString& mask) {
    static const QRegularExpression re(QStringLiteral("^(#*)(0*)(?:\\.(0*)(#*))?$"));
    const auto m = re.match(mask);
    if (!m.hasMatch() || !mask.contains(QRegularExpression(QStringLiteral("[#0]"))))
        return std::nullopt;
    Mask r;
    r.minIntegerDigits = int(m.capturedLength(2));
    r.minDecimals = int(m.capturedLength(3));
    r.maxDecimals = r.minDecimals + int(m.capturedLength(4));
    return r;
}

QString Mask::format(Decimal value, const QString& decimalSeparator) const {
    const int shown = std::min(maxDecimals, int(Decimal::kDecimals));
    const Decimal r = value.rounded(shown);
    const quint64 mag = magnitude(r.units());
    QString whole = QString::number(mag / quint64(Decimal::kOne));
    if (whole == QLatin1String("0") && minIntegerDigits == 0) whole.clear();
    whole = whole.rightJustified(minIntegerDigits, QLatin1Char('0'));
    // Digits past the sixth are always zero: the value has no more.
    QString f = fractionDigits(mag, shown).leftJustified(maxDecimals, QLatin1Char('0'));
    while (f.size() > minDecimals && f.endsWith(QLatin1Char('0'))) f.chop(1);
    QString s = r.units() < 0 ? QStringLiteral("-") : QString();
    s += whole;
    if (!f.isEmpty()) s += decimalSeparator + f;
    return s;
}

}  // namespace mirn
