#pragma once
// Exact decimal numbers: money in the domain (amounts, month sums, limits), report totals
// and display masks.
//
// Totals must agree with the database to the kopeck, so they are never summed as binary
// floats. A Decimal is a fixed-point number held as a signed 64-bit count of millionths:
// six decimals (three more than any mask prints) over a range of about ±9.2·10^12, which
// covers money, pieces and boxes of a production report with a wide margin and stays
// portable to compilers without 128-bit integers. Inputs with more than six decimals are
// rounded half away from zero on entry; going out of range throws std::overflow_error
// rather than printing a wrong figure.
//
// A double is taken at its shortest round-trip decimal text (0.1 is 0.1, not
// 0.1000000000000000055…), so 0.1 + 0.2 is exactly 0.3 and 2.675 rounds to 2.68.
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <compare>
#include <optional>

namespace mirn {


class Decimal {
public:
    static constexpr int kDecimals = 6;
    static constexpr qint64 kOne = 1000000;

    constexpr Decimal() = default;
    static constexpr Decimal fromUnits(qint64 millionths) {
        Decimal d;
        d.units_ = millionths;
        return d;
    }
    static Decimal fromInt(qint64 v);

    // Exact decimal text as PostgreSQL writes numeric and float8: optional sign, digits,
    // optional '.' and digits, optional exponent. Surrounding blanks are ignored.
    // nullopt for anything else (empty, "NaN", "1,5", "abc").
    static std::optional<Decimal> parse(QStringView text);

    // QString (as parse), int, uint, qlonglong, qulonglong, double, float and Decimal.
    // nullopt for null values and for anything that is not a finite number.
    static std::optional<Decimal> fromVariant(const QVariant& v);

    qint64 units() const { return units_; }
    bool isZero() const { return units_ == 0; }

    Decimal& operator+=(Decimal other);  // throws std::overflow_error
    Decimal& operator-=(Decimal other);  // throws std::overflow_error
    friend Decimal operator+(Decimal a, Decimal b) { return a += b; }
    friend Decimal operator-(Decimal a, Decimal b) { return a -= b; }
    friend bool operator==(Decimal a, Decimal b) { return a.units_ == b.units_; }
    friend auto operator<=>(Decimal a, Decimal b) { return a.units_ <=> b.units_; }
    // A price times a count of pieces, exactly; throws std::overflow_error.
    Decimal times(qint64 factor) const;
    Decimal abs() const;  // throws std::overflow_error for the one value without a positive

    // Rounded to the given number of decimals (0..6), half away from zero.
    Decimal rounded(int decimals) const;

    // Shortest exact text: no trailing zeros after the separator, no separator for whole
    // numbers, "0" for zero.
    QString toString(const QString& decimalSeparator = QStringLiteral(".")) const;

private:
    qint64 units_ = 0;
};

// A display mask in the usual notation of report designers: '#' is an optional digit and
// '0' a required one. "#0" is a whole number, "#0.00" at least one integer digit and
// exactly two decimals, "0.##" up to two decimals without trailing zeros.
// Accepted form: any '#', then any '0' (integer part), then optionally '.' followed by
// any '0' and then any '#'. Anything else is rejected by parse().
struct Mask {
    int minIntegerDigits = 1;
    int minDecimals = 0;
    int maxDecimals = 0;

    static std::optional<Mask> parse(const QString& mask);

    // The value rounded half away from zero to maxDecimals and written with at least the
    // required digits. A result that rounds to zero carries no minus sign.
    QString format(Decimal value, const QString& decimalSeparator) const;
};

}  // namespace mirn

Q_DECLARE_METATYPE(mirn::Decimal)
