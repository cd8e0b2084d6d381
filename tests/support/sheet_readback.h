#pragma once
// Reading a written workbook back the way a user's spreadsheet program sees it: LibreOffice
// converts it to CSV (or to PDF for a look at the page). Each conversion starts soffice with
// a private profile and takes a few seconds, so call it once per workbook, not per cell.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

namespace mirn {

namespace sheet_readback {

// The LibreOffice program, or an empty string if none is installed.
inline QString sofficeProgram() {
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!exe.isEmpty()) return exe;
    }
    return {};
}

// Converts file with a LibreOffice filter ("pdf", "csv:...") into outDir. Returns the path of
// the converted file, or an empty string with the reason in *error.
inline QString convert(const QString& file, const QString& filter, const QString& extension,
                       const QString& outDir, QString* error = nullptr) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return QString();
    };
    const QString soffice = sofficeProgram();
    if (soffice.isEmpty()) return fail(QStringLiteral("soffice not found"));
    if (!QFileInfo::exists(file)) return fail(QStringLiteral("no such file: ") + file);

    // A private profile per run: no lock shared with another soffice, nothing left behind.
    QTemporaryDir profile(QDir::tempPath() + QStringLiteral("/lo-profile-XXXXXX"));
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/lo-convert-XXXXXX"));
    if (!profile.isValid() || !work.isValid()) return fail(QStringLiteral("no temporary dir"));
    // A plain copy spares soffice names with blanks and Cyrillic letters.
    const QString input = work.filePath(QStringLiteral("book.") + QFileInfo(file).suffix());
    if (!QFile::copy(file, input)) return fail(QStringLiteral("cannot copy ") + file);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Numbers are shown as in an English locale whatever the caller's locale is.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(soffice, {QStringLiteral("--headless"), QStringLiteral("--norestore"),
                      QStringLiteral("-env:UserInstallation=") +
                          QUrl::fromLocalFile(profile.path()).toString(),
                      QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"),
                      work.path(), input});
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished(5000);
        return fail(QStringLiteral("soffice did not finish"));
    }
    const QString log = QString::fromUtf8(p.readAll());
    const QString produced = work.filePath(QStringLiteral("book.") + extension);
    if (p.exitCode() != 0 || !QFileInfo::exists(produced))
        return fail(QStringLiteral("soffice failed: ") + log);

    if (!QDir().mkpath(outDir)) return fail(QStringLiteral("cannot make ") + outDir);
    const QString target =
        QDir(outDir).filePath(QFileInfo(file).completeBaseName() + u'.' + extension);
    QFile::remove(target);
    if (!QFile::copy(produced, target)) return fail(QStringLiteral("cannot copy to ") + target);
    return target;
}

// Splits CSV text (comma, double quotes doubled inside quoted fields, line breaks inside
// quotes kept) into rows of fields.
inline QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;  // something of the current row was read
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            row << field;
            rows << row;
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any) {
        row << field;
        rows << row;
    }
    return rows;
}

// The first sheet of an .xlsx as LibreOffice shows it, one QStringList per row (cells as
// displayed, UTF-8 CSV). Empty on failure, with the reason in *error.
inline QList<QStringList> readRows(const QString& xlsx, QString* error = nullptr) {
    QTemporaryDir out(QDir::tempPath() + QStringLiteral("/lo-csv-XXXXXX"));
    const QString csv =
        convert(xlsx, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                QStringLiteral("csv"), out.path(), error);
    if (csv.isEmpty()) return {};
    QFile f(csv);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return {};
    }
    return parseCsv(QString::fromUtf8(f.readAll()));
}

// Converts a workbook to PDF in outDir for a look at the printed page (pdftoppm makes
// pictures of it). Returns the PDF's path, or an empty string with the reason in *error.
inline QString toPdf(const QString& xlsx, const QString& outDir, QString* error = nullptr) {
    return convert(xlsx, QStringLiteral("pdf"), QStringLiteral("pdf"), outDir, error);
}

// One member of a zip container (an .xlsx part such as "xl/worksheets/sheet1.xml"), read
// with unzip; empty if it cannot be read.
inline QByteArray zipEntry(const QString& zip, const QString& entry) {
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzip.isEmpty()) return {};
    QProcess p;
    p.start(unzip, {QStringLiteral("-p"), zip, entry});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return p.readAllStandardOutput();
}

}  // namespace sheet_readback

}  // namespace mirn
