#pragma once
// The rules of a shift entry that need no database: prices and their coefficients,
// how numbers read in the dialog and in SQL, the paint rule, the checks before a save.
#include "domain/sqltext.h"

#include <QChar>
#include <QDate>
#include <QString>
#include <optional>

namespace mirn {

namespace entry {

// The piece price for the day and shift the journal shows: a day off doubles it,
// shift 3 adds a fifth, overtime (shift 4) a half; the factors multiply.
double finalPrice(double basePrice, bool dayOff, int shift);

// Rounded to four decimals; a value lying exactly half-way (as written in
// decimal) goes to the even neighbour.
double round4(double value);

// A price display: round4, up to 15 significant digits, no trailing zeros,
// the desktop's decimal separator.
QString displayNumber(double value);

// The price as it goes into SQL: like displayNumber but always with a point.
QString priceText(double value);

// A date as the statements write it: DD.MM.YYYY.
using sqltext::dateText;

// "Готовая продукция" for kind 0, "Заготовки" for any other kind.
QString kindText(int naimen);

// Mark, operation type and kind, joined by "; " (mark and type trimmed).
QString operationDescription(const QString& marka, const QString& vid, int naimen);

// A paint operation takes a colour: its text contains "КРАСКА" in any letter case.
bool isPaintOperation(const QString& text);

// What a typed character may be in the quantity, rejects, colour and hours fields.
bool acceptsTypedChar(QChar c);

// A number as it stands in a decimal text from the database, with the
// trailing zeros of its fraction dropped ("10.000000" -> "10").
QString trimDecimal(const QString& text);

// The dialog's texts as the save sees them.
struct Fields {
    QString worker;     // Edit1
    QString operation;  // Edit2
    QString quantity;   // Edit3
    QString rejects;    // Edit4
    QString colour;     // Edit5
    QString hours;      // Edit6
};

inline const QString kFillAllFields = QStringLiteral("Все поля должны быть заполнены!");
inline const QString kDuplicateEntry = QStringLiteral("Позиция с такими параметрами уже заведена!");

// The first reason the save is refused for an empty field (kFillAllFields), or none.
std::optional<QString> missingField(const Fields& f);

// A whole number of the fields' digits, or none when the text (trimmed) is
// anything else: letters, signs, separators, or too large a value.
std::optional<int> wholeNumber(const QString& text);

// The message for a field whose text is not a whole number, or none when
// quantity, rejects, hours and (when not empty) colour all are.
std::optional<QString> notANumber(const Fields& f);
// The message for one field ("Кол-во", "Брак", "Цвет", "Время") holding text.
QString notANumberMessage(const QString& label, const QString& text);

}  // namespace entry

}  // namespace mirn
