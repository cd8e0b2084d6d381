#include "domain/entry_rules.h"

#include <QLocale>
#include <cfloat>
#include <cmath>

namespace mirn {

namespace entry {

double finalPrice(double basePrice, bool dayOff, int shift) {
    double p = basePrice;
    if (dayOff) p *= 2;
    if (shift == 3) p *= 1.2;
    if (shift == 4) p *= 1.5;
    return p;
}

double round4(double value) {
    if (!std::isfinite(value)) return value;
    const double scaled = value * 10000.0;
    const double low = std::floor(scaled);
    const double frac = scaled - low;
    // 12.34565 is stored a hair off the half; within the error of the scaling
    // it still counts as the half the user typed.
    const double tolerance = std::max(std::fabs(scaled), 1.0) * 8 * DBL_EPSILON;
    double r;
    if (std::fabs(frac - 0.5) <= tolerance)
        r = std::fmod(low, 2.0) == 0.0 ? low : low + 1.0;
    else
        r = std::round(scaled);
    if (r == 0.0) return 0.0;  // no "-0"
    return r / 10000.0;
}

QString displayNumber(double value) {
    QString s = QString::number(round4(value), 'g', 15);
    return s.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QString priceText(double value) {
    QString s = displayNumber(value);
    return s.replace(QLatin1Char(','), QLatin1Char('.'));
}

QString kindText(int naimen) {
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

QString operationDescription(const QString& marka, const QString& vid, int naimen) {
    return marka.trimmed() + QStringLiteral("; ") + vid.trimmed() + QStringLiteral("; ") + kindText(naimen);
}

bool isPaintOperation(const QString& text) { return text.toUpper().contains(QStringLiteral("КРАСКА")); }

bool acceptsTypedChar(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('\b');
}

QString trimDecimal(const QString& text) {
    QString t = text.trimmed();
    if (!t.contains(QLatin1Char('.'))) return t;
    while (t.endsWith(QLatin1Char('0'))) t.chop(1);
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    return t;
}

std::optional<QString> missingField(const Fields& f) {
    const bool refused = f.worker.trimmed().isEmpty() || f.operation.trimmed().isEmpty() ||
                         f.quantity.trimmed().isEmpty() || f.rejects.trimmed().isEmpty() ||
                         (isPaintOperation(f.operation) && f.colour.trimmed().isEmpty()) ||
                         f.hours.trimmed().isEmpty();
    if (refused) return kFillAllFields;
    return std::nullopt;
}

std::optional<int> wholeNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    bool ok = false;
    const int v = t.toInt(&ok);
    if (!ok) return std::nullopt;
    return v;
}

QString notANumberMessage(const QString& label, const QString& text) {
    return QStringLiteral("В поле \"%1\" должно быть целое число, а не \"%2\"!").arg(label, text.trimmed());
}

std::optional<QString> notANumber(const Fields& f) {
    if (!wholeNumber(f.quantity)) return notANumberMessage(QStringLiteral("Кол-во"), f.quantity);
    if (!wholeNumber(f.rejects)) return notANumberMessage(QStringLiteral("Брак"), f.rejects);
    if (!f.colour.trimmed().isEmpty() && !wholeNumber(f.colour))
        return notANumberMessage(QStringLiteral("Цвет"), f.colour);
    if (!wholeNumber(f.hours)) return notANumberMessage(QStringLiteral("Время"), f.hours);
    return std::nullopt;
}

}  // namespace entry

}  // namespace mirn
