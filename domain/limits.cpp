#include "domain/limits.h"

#include <QLocale>
#include <cmath>

namespace mirn {

namespace limits {

namespace {
QString number(double v) { return QString::number(v, 'f', v == std::floor(v) ? 0 : 2); }
QString rangeMessage(const Range& r, const QString& typed) {
    return QStringLiteral("В поле \"%1\" допустимо %2 от %3 до %4, а не \"%5\"!")
        .arg(r.field, r.whole ? QStringLiteral("целое число") : QStringLiteral("число"), number(r.min),
             number(r.max), typed);
}
}  // namespace

std::optional<double> parse(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    // Only digits, one separator and a leading sign: no exponents, no "nan" or "inf".
    int dots = 0, digits = 0;
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 128) ++digits;
        else if (c == QLatin1Char('.')) ++dots;
        else if (!(i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')))) return std::nullopt;
    }
    if (digits == 0 || dots > 1) return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<QString> check(const Range& r, double value) {
    if (std::isfinite(value) && value >= r.min && value <= r.max && (!r.whole || value == std::floor(value)))
        return std::nullopt;
    return rangeMessage(r, std::isfinite(value) ? QString::number(value, 'g', 15) : QString::number(value));
}

std::optional<QString> check(const Range& r, const QString& text) {
    const auto v = parse(text);
    if (v && !check(r, *v)) return std::nullopt;
    return rangeMessage(r, text.trimmed());
}

QString amountMessage(Decimal amount) {
    const Mask kopecks{1, 2, 2};
    const QString point = QStringLiteral(".");
    return QStringLiteral("Сумма %1 больше допустимой (%2): проверьте количество и цену!")
        .arg(kopecks.format(amount, point), kopecks.format(kMonthAmountMax, point));
}

std::optional<QString> checkAmount(Decimal amount) {
    if (amount.abs() > kMonthAmountMax) return amountMessage(amount);
    return std::nullopt;
}

}  // namespace limits

}  // namespace mirn
