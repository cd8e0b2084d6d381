#include "core/navigator.h"

namespace mirn {

namespace navigator {
namespace {
JournalNavigator* g_journal = nullptr;
}

void setJournal(JournalNavigator* journal) { g_journal = journal; }

JournalNavigator* journal() { return g_journal; }

}  // namespace navigator

}  // namespace mirn
