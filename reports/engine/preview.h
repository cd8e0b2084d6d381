#pragma once
// The report engine's ways out that need widgets: the print preview and the printer.
#include "reports/engine/engine.h"

class QPrinter;
class QWidget;

namespace rpt {

// Paints the pages the printer asks for (all, or its page range) onto it. Returns false if
// the printer cannot be opened.
bool print(const PreparedReport& report, QPrinter& printer);
// Asks for a printer with the print dialog and prints. Returns false if cancelled.
bool print(const PreparedReport& report, QWidget* parent);

// Shows the preview (zoom, page navigation, printing, "Сохранить в PDF") modally through
// ui::execModal and returns its result code.
int showPreview(const PreparedReport& report, QWidget* parent, const QString& title);

}  // namespace rpt
