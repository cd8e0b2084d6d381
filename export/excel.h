#pragma once
// The spreadsheet operations every export fills its workbook through. A new workbook is
// built in memory cell by cell; showing it writes an .xlsx file into the user's documents
// folder and opens it in the desktop's spreadsheet program.
//
// Order of use: ExcelOpen("") (on -1 stop), optionally ExcelSetVisible(false), the writes,
// then ExcelSetVisible(true). ExcelSetTitle names what the workbook holds; the name goes
// into the file name.
#include "export/workbook.h"
#include "export/xlsx_file.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace mirn {

// Starts a new, empty workbook when fileName is empty; an earlier workbook that was not
// shown yet is dropped (one already shown stays in its file). Opening an existing file is
// not supported: a non-empty name shows "Ошибка открытия файла Microsoft Excel." and
// gives -1, the current workbook staying as it was. Returns 1 or -1.
int ExcelOpen(const QString& fileName);

// true writes the workbook to a new file and opens it in the spreadsheet program (once per
// change: showing it again without new writes does nothing), and the file notice hears of
// it (see setFileNotice); if no program opens it the user is told where the file is. false keeps it in memory, hidden. Does nothing before
// the first ExcelOpen. Always returns 1.
int ExcelSetVisible(bool visible);

// Writes text into the cell at (sheet, column, row), all 1-based, column before row. An
// empty text writes nothing and gives 1. A bad sheet shows "Ошибка при записи: лист S,
// столбец C, строка R" under "Ошибочный номер листа Microsoft Excel", a cell outside the
// sheet or a text over 32767 characters the same message under "Ошибка Microsoft Excel";
// both give -1.
int ExcelWriteCell(int sheet, int column, int row, const QString& text);

// As ExcelWriteCell, and: asText gives the cell the text format "@" before the value (so
// "00123" stays text, and so does anything written there later); autoFit fits the
// column's width to the widest text written to it so far; bold is always set, true or false.
int ExcelWriteFormattedCell(int sheet, int column, int row, const QString& text, bool asText,
                            bool autoFit, bool bold);

// Gives the cell at (sheet, column, row) a number format in the spreadsheet's notation
// ("#,##0.00": digit grouping and two decimals, shown by the reader's locale); a text
// format set by asText wins. Bad places give the messages and -1 of ExcelWriteCell.
int ExcelSetNumberFormat(int sheet, int column, int row, const QString& format);

// Names what the next shown workbook holds, e.g. "Прайс" gives "Прайс 2026-12-09 14-05.xlsx".
// Call it before ExcelOpen, or after it while the workbook is not shown yet. Without it the
// name is "Книга". Characters a file name cannot hold become "_".
void ExcelSetTitle(const QString& subject);

namespace workbook {

// Where the operations' messages go (the client shows them in message boxes); without
// one they go to the log.
enum class NoteKind { Error, Information };
using Messenger = std::function<void(const QString& text, const QString& caption, NoteKind kind)>;
void setMessenger(Messenger m);

// Who hears of every workbook file written, with whether a program opened it; the client
// tells the user the path. Without one, only a workbook no program opened goes to the
// messenger, as an information naming the file.
using FileNotice = std::function<void(const QString& path, bool opened)>;
void setFileNotice(FileNotice n);

inline const QString kDefaultTitle = QStringLiteral("Книга");

// The workbook being filled (or the last one shown), nullptr before the first ExcelOpen.
const Workbook* current();
// The full path of the last workbook file written, empty if none was.
QString lastWrittenPath();

// Where a shown workbook is written: the directory set by testing::setOutputDir, else the
// environment variable MIRN_WORKBOOK_DIR, else the user's documents folder.
QString outputDir();
// "<title> yyyy-MM-dd HH-mm.xlsx"; with n > 1, "<title> yyyy-MM-dd HH-mm (n).xlsx".
QString fileNameFor(const QString& title, const QDateTime& when, int n = 1);

// Opens a file in the desktop's spreadsheet program; false if no program took it.
bool openInSpreadsheetProgram(const QString& path);

// Seams for tests and headless runs. The environment variable MIRN_WORKBOOK_NO_OPEN=1
// writes the file without opening it or telling the user (the path goes to the log).
namespace testing {
using Opener = std::function<bool(const QString& path)>;
using Clock = std::function<QDateTime()>;
// Directory for shown workbooks (created if missing); empty restores the default.
void setOutputDir(const QString& dir);
// Replaces the program opener; an empty function restores the real one.
void setOpener(Opener opener);
// Replaces the clock used in file names; an empty function restores the real one.
void setClock(Clock clock);
// Forgets every workbook, the title and the last path, and restores all seams.
void reset();
}  // namespace testing

}  // namespace workbook

}  // namespace mirn
