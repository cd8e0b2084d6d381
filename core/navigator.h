#pragma once
// The way back to the journal from the windows it opens. The journal sits above them
// (it links them), so they reach it through this interface, which the journal
// registers; it positions itself, nobody else sets its widgets.
#include <QDate>

namespace mirn {

class JournalNavigator {
public:
    virtual ~JournalNavigator() = default;
    // Shows the journal on the date and shift with the entry selected. A shift of 0 is
    // the shift that holds the entry (or, without an entry, the worker's first row);
    // without an entry the worker's first row of the shift is selected. False when the
    // journal cannot show it (nothing of it on that date).
    virtual bool showEntry(const QDate& date, int shift, int entryId, int workerId = 0) = 0;
    // Opens the auxiliary work register on the date and shift, standing on the row, on
    // top of whatever is open; returns when it is closed.
    virtual void showAuxWork(const QDate& date, int shift, int id) = 0;
};

namespace navigator {
// The journal registers itself while it exists; nullptr when there is none.
void setJournal(JournalNavigator* journal);
JournalNavigator* journal();
}  // namespace navigator

}  // namespace mirn
