#include "domain/text_rules.h"

#include <QList>

namespace mirn {

namespace text_rules {

std::optional<QString> check(std::initializer_list<Field> fields) {
    for (const Field& f : fields) {
        if (f.text.contains(QChar(u'\0')))
            return QStringLiteral("В поле «%1» есть недопустимый символ (нулевой код): уберите его и запишите снова.")
                .arg(f.name);
        // The server counts characters, not UTF-16 units.
        const qsizetype length = f.text.toUcs4().size();
        if (length > f.limit)
            return QStringLiteral("В поле «%1» можно записать не больше %2 знаков, а введено %3: сократите текст.")
                .arg(f.name)
                .arg(f.limit)
                .arg(length);
    }
    return std::nullopt;
}

}  // namespace text_rules

}  // namespace mirn
