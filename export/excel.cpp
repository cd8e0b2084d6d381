#include "export/excel.h"


#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QtGlobal>

#include <memory>

namespace mirn {

namespace workbook {
namespace {

struct State {
    bool started = false;  // the first ExcelOpen has run
    bool visible = false;
    std::unique_ptr<Workbook> book;
    QString pendingTitle;  // named before the workbook it is meant for
    QString lastPath;
    QString outputDir;
    testing::Opener opener;
    testing::Clock clock;
};

State& state() {
    static State s;
    return s;
}

QString composedMessage(int sheet, int column, int row) {
    return QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3")
        .arg(sheet)
        .arg(column)
        .arg(row);
}

QString sanitizeTitle(const QString& subject) {
    QString t = subject.simplified();
    for (QChar& c : t) {
        if (c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c)) c = u'_';
    }
    if (t.size() > 100) t.truncate(100);
    // Windows drops trailing dots and blanks from file names.
    while (!t.isEmpty() && (t.endsWith(u'.') || t.endsWith(u' '))) t.chop(1);
    return t.isEmpty() ? kDefaultTitle : t;
}

bool openingDisabled() { return qEnvironmentVariable("MIRN_WORKBOOK_NO_OPEN") == u"1"; }

// Reserves a file name that no earlier file has: "<name>.xlsx", then "<name> (2).xlsx" and
// so on. The empty file made here is what keeps a second export in the same minute (or
// another program) from taking the same name before the workbook is written over it.
QString reserveFile(const QString& dir, const QString& title, const QDateTime& when,
                    QString* error) {
    for (int n = 1; n < 10000; ++n) {
        const QString path = QDir(dir).filePath(fileNameFor(title, when, n));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            f.close();
            return path;
        }
        if (!QFileInfo::exists(path)) {
            *error = f.errorString();
            return {};
        }
    }
    *error = QStringLiteral("слишком много файлов с таким именем");
    return {};
}

// Writes the workbook into the first directory that takes it: the output directory, and
// if that cannot be made or written, the temporary directory, so the data is not lost.
QString writeWorkbook(const Workbook& book, QString* error) {
    const QDateTime when = state().clock ? state().clock() : QDateTime::currentDateTime();
    QStringList dirs{outputDir()};
    const QString temp = QDir::tempPath();
    if (QDir(dirs.front()).absolutePath() != QDir(temp).absolutePath()) dirs << temp;
    QString firstError;
    for (const QString& dir : dirs) {
        QString reason;
        if (!QDir().mkpath(dir)) {
            reason = QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(dir));
        } else {
            const QString path = reserveFile(dir, book.title(), when, &reason);
            if (!path.isEmpty()) {
                if (saveXlsx(book, path, &reason)) return path;
                QFile::remove(path);
                reason = QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
            }
        }
        if (firstError.isEmpty()) firstError = reason;
    }
    *error = firstError;
    return {};
}

const QString kErrorCaption = QStringLiteral("Ошибка");

Messenger& messenger() {
    static Messenger m;
    return m;
}

FileNotice& fileNotice() {
    static FileNotice n;
    return n;
}

void tell(const QString& text, const QString& caption, NoteKind kind) {
    if (messenger()) messenger()(text, caption, kind);
    else qWarning("%s: %s", qUtf8Printable(caption), qUtf8Printable(text));
}

// The sheet a cell goes to, or nullptr after telling the user why it cannot.
Sheet* targetSheet(int sheet, int column, int row, qsizetype textSize) {
    State& s = state();
    Sheet* target = s.book ? s.book->sheet(sheet) : nullptr;
    if (!target) {
        tell(composedMessage(sheet, column, row), QStringLiteral("Ошибочный номер листа Microsoft Excel"),
             NoteKind::Error);
        return nullptr;
    }
    if (column < 1 || column > kMaxColumns || row < 1 || row > kMaxRows || textSize > kMaxTextLength) {
        tell(composedMessage(sheet, column, row), QStringLiteral("Ошибка Microsoft Excel"), NoteKind::Error);
        return nullptr;
    }
    return target;
}

int writeCell(int sheet, int column, int row, const QString& text, bool formatted,
              bool asText, bool autoFit, bool bold) {
    if (text.isEmpty()) return 1;
    State& s = state();
    Sheet* target = targetSheet(sheet, column, row, text.size());
    if (!target) return -1;
    if (formatted) {
        if (asText) target->setTextFormat(column, row);
        // The bold flag goes in before the value so that its width is measured bold.
        target->setBold(column, row, bold);
    }
    target->setValue(column, row, text);
    if (formatted && autoFit) target->fitColumn(column);
    s.book->markChanged();
    return 1;
}

}  // namespace

const Workbook* current() { return state().book.get(); }

QString lastWrittenPath() { return state().lastPath; }

QString outputDir() {
    if (!state().outputDir.isEmpty()) return state().outputDir;
    const QString env = qEnvironmentVariable("MIRN_WORKBOOK_DIR");
    if (!env.isEmpty()) return env;
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return docs.isEmpty() ? QDir::homePath() : docs;
}

QString fileNameFor(const QString& title, const QDateTime& when, int n) {
    QString name = title + u' ' + when.toString(QStringLiteral("yyyy-MM-dd HH-mm"));
    if (n > 1) name += QStringLiteral(" (%1)").arg(n);
    return name + QStringLiteral(".xlsx");
}

bool openInSpreadsheetProgram(const QString& path) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#else
    // Without a display no program can show the workbook.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    // xdg-open is started detached and says nothing about failure, so first ask whether the
    // desktop has a program for workbooks at all.
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!xdgMime.isEmpty() && !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) {
        QProcess query;
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                              QStringLiteral("application/vnd.openxmlformats-officedocument."
                                             "spreadsheetml.sheet")});
        if (query.waitForFinished(5000)) {
            const bool known = query.exitStatus() == QProcess::NormalExit &&
                               query.exitCode() == 0 &&
                               !query.readAllStandardOutput().trimmed().isEmpty();
            if (known && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return true;
        } else {
            query.kill();
            query.waitForFinished(1000);
        }
    }
    for (const char* program : {"libreoffice", "soffice", "localc", "gnumeric", "et"}) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (!exe.isEmpty() && QProcess::startDetached(exe, {path})) return true;
    }
    return false;
#endif
}

namespace testing {
void setOutputDir(const QString& dir) { state().outputDir = dir; }
void setOpener(Opener opener) { state().opener = std::move(opener); }
void setClock(Clock clock) { state().clock = std::move(clock); }
void reset() { state() = State{}; }
}  // namespace testing

void setMessenger(Messenger m) { messenger() = std::move(m); }
void setFileNotice(FileNotice n) { fileNotice() = std::move(n); }

}  // namespace workbook

using namespace workbook;

int ExcelOpen(const QString& fileName) {
    State& s = state();
    s.started = true;
    if (!fileName.isEmpty()) {
        tell(QStringLiteral("Ошибка открытия файла Microsoft Excel."), kErrorCaption, NoteKind::Error);
        return -1;
    }
    s.book = std::make_unique<Workbook>(s.pendingTitle.isEmpty() ? kDefaultTitle : s.pendingTitle);
    s.pendingTitle.clear();
    return 1;
}

int ExcelSetVisible(bool visible) {
    State& s = state();
    if (!s.started) return 1;
    s.visible = visible;
    if (!visible || !s.book || s.book->isSaved()) return 1;

    QString error;
    const QString path = writeWorkbook(*s.book, &error);
    if (path.isEmpty()) {
        tell(QStringLiteral("Не удалось сохранить книгу.\n%1").arg(error), kErrorCaption, NoteKind::Error);
        return 1;
    }
    s.book->markSaved(path);
    s.lastPath = path;
    s.pendingTitle.clear();

    const QString shown = QDir::toNativeSeparators(path);
    qInfo("workbook written: %s", qUtf8Printable(shown));
    if (openingDisabled()) return 1;
    const bool opened = s.opener ? s.opener(path) : openInSpreadsheetProgram(path);
    // A program that was started may still fail to show the file, unseen: the user always
    // learns where it is.
    if (fileNotice()) {
        fileNotice()(path, opened);
    } else if (!opened) {
        tell(QStringLiteral("Книга сохранена в файл\n%1\n\nОткрыть её не удалось: не найдена "
                            "программа для работы с электронными таблицами.")
                 .arg(shown),
             QStringLiteral("Книга сохранена"), NoteKind::Information);
    }
    return 1;
}

int ExcelWriteCell(int sheet, int column, int row, const QString& text) {
    return writeCell(sheet, column, row, text, false, false, false, false);
}

int ExcelWriteFormattedCell(int sheet, int column, int row, const QString& text, bool asText,
                            bool autoFit, bool bold) {
    return writeCell(sheet, column, row, text, true, asText, autoFit, bold);
}

int ExcelSetNumberFormat(int sheet, int column, int row, const QString& format) {
    Sheet* target = targetSheet(sheet, column, row, 0);
    if (!target) return -1;
    target->setNumberFormat(column, row, format);
    state().book->markChanged();
    return 1;
}

void ExcelSetTitle(const QString& subject) {
    State& s = state();
    s.pendingTitle = sanitizeTitle(subject);
    // A workbook already being filled takes the name too; ExcelOpen would drop it anyway.
    if (s.book && s.book->path().isEmpty()) s.book->setTitle(s.pendingTitle);
}

}  // namespace mirn
