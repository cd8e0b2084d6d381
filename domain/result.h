#pragma once
// What a store answers to a change: done, or refused with the sentence the user is
// shown. Database failures are not refusals: they throw DbError.
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace mirn {

// Stale: the row is gone or was changed by another workstation since the caller read it.
enum class Status { Saved, Incomplete, Duplicate, Invalid, Stale };

struct Result {
    Status status = Status::Saved;
    QString message;  // empty when saved
    qlonglong id = 0; // the key of a row the change made, where the store reads it back

    bool saved() const { return status == Status::Saved; }
    static Result ok(qlonglong id = 0) { return {Status::Saved, {}, id}; }
    static Result refuse(Status s, const QString& message) { return {s, message, 0}; }
};

// What a store answers to many changes made together (an import, a shift copy): the
// Result of each, in the order they were given, and whether the accepted ones are
// stored (an all-or-nothing batch with a refusal stores none).
struct BatchResult {
    QList<Result> items;
    bool stored = false;

    // The indexes of the refused items, in order, and their sentences.
    QList<int> refused() const {
        QList<int> out;
        for (int i = 0; i < items.size(); ++i)
            if (!items[i].saved()) out << i;
        return out;
    }
    QStringList reasons() const {
        QStringList out;
        for (const Result& r : items)
            if (!r.saved()) out << r.message;
        return out;
    }
    bool allSaved() const { return refused().isEmpty(); }
};

// A refusal raised where a handler cannot simply return it: shown like any error, and
// the action stops with nothing stored.
class Refusal : public std::runtime_error {
public:
    explicit Refusal(const QString& message) : std::runtime_error(message.toStdString()) {}
};

inline const QString kFillAllFields = QStringLiteral("Все поля должны быть заполнены!");

}  // namespace mirn
