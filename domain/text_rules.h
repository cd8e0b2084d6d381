#pragma once
// Texts a store writes into a column of limited length: a NUL character (which the
// server cannot take inside a text) or a text longer than the column holds is refused
// before the statement is built, with a sentence that names the field and its limit.
#include <QString>

#include <initializer_list>
#include <optional>

namespace mirn {

namespace text_rules {

// The column limits of db/schema.sql, in characters.
inline constexpr int kWorkerNameMax = 254;  // accounts_dep.person.fio
inline constexpr int kStaffPosMax = 254;    // accounts_dep.person.s_staffpos_hl
inline constexpr int kMarkMax = 254;        // cmn_gds_and_srv.gds_and_srv.s_caption
inline constexpr int kOpTypeMax = 128;      // accounts_dep.vid_oper.vid

struct Field {
    QString name;  // as the editor labels it: "Марка"
    QString text;  // as it will be stored
    int limit = 0; // characters
};

// The refusal of the first field that breaks a rule; none when every field may be stored.
std::optional<QString> check(std::initializer_list<Field> fields);

}  // namespace text_rules

}  // namespace mirn
