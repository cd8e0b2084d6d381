#pragma once
// The build stamp: the compile date and time texts turned into two integers that
// order builds, and the version row that keeps older builds off a newer database.
#include <QString>

namespace mirn {

namespace buildstamp {

// "Mmm dd yyyy" (a blank before a one-digit day; "?" where the compiler had no date)
// -> YYYYMMDD.
int dateFromText(const char* text);
// "hh:mm:ss" -> seconds since midnight. A character that is not a digit counts as 0.
int timeFromText(const char* text);

// The compile date and time of this build (set by the executable; tests may replace them).
void setCompileTexts(const char* date, const char* time);
const char* compileDate();
const char* compileTime();

// "Авторизация (build: 20240210.74079)"
QString signInCaption(int buildDate, int buildTime);

// True when the build (date, time) is older than the recorded one.
inline bool isOlder(int date, int time, int recDate, int recTime) {
    return date < recDate || (date == recDate && time < recTime);
}

// The version row every client reads at sign-in and every 30 s: the newest build
// that signed in, and the decimal separator for numbers written into statements.
struct VersionRow {
    int date = 0;
    int time = 0;
    QString delim;
};
// Reads the version row, writes this build's stamp when there is no row yet or the
// recorded build is older, and returns the row as it stands afterwards.
VersionRow recordBuild(int buildDate, int buildTime);

}  // namespace buildstamp

}  // namespace mirn
