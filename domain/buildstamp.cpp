#include "domain/buildstamp.h"

#include "domain/db.h"

#include <cstring>

namespace mirn {

namespace buildstamp {
namespace {
const char* g_date = "Jan  1 2000";
const char* g_time = "00:00:00";

int digit(char c) { return (c >= '0' && c <= '9') ? c - '0' : 0; }

char at(const char* s, int pos1) {  // 1-based, blank past the end
    return int(std::strlen(s)) >= pos1 ? s[pos1 - 1] : ' ';
}
}  // namespace

int dateFromText(const char* t) {
    int month;
    if (at(t, 3) == '?') {
        month = 1;
    } else {
        switch (at(t, 3)) {
        case 'n': month = at(t, 2) == 'a' ? 1 : 6; break;
        case 'b': month = 2; break;
        case 'r': month = at(t, 1) == 'M' ? 3 : 4; break;
        case 'y': month = 5; break;
        case 'l': month = 7; break;
        case 'g': month = 8; break;
        case 'p': month = 9; break;
        case 't': month = 10; break;
        case 'v': month = 11; break;
        default: month = 12; break;
        }
    }
    int day;
    if (at(t, 5) == '?')
        day = 1;
    else
        day = (at(t, 5) == ' ' ? 0 : digit(at(t, 5)) * 10) + digit(at(t, 6));
    int year = 0;
    if (at(t, 8) == '?') {
        year = 1900;
    } else {
        for (int i = 8; i <= 11; ++i) year = year * 10 + digit(at(t, i));
    }
    return year * 10000 + month * 100 + day;
}

int timeFromText(const char* t) {
    return digit(at(t, 1)) * 36000 + digit(at(t, 2)) * 3600 + digit(at(t, 4)) * 600 +
           digit(at(t, 5)) * 60 + digit(at(t, 7)) * 10 + digit(at(t, 8));
}

void setCompileTexts(const char* date, const char* time) {
    g_date = date;
    g_time = time;
}
const char* compileDate() { return g_date; }
const char* compileTime() { return g_time; }

QString signInCaption(int buildDate, int buildTime) {
    return QStringLiteral("Авторизация (build: %1.%2)").arg(buildDate).arg(buildTime);
}

VersionRow recordBuild(int buildDate, int buildTime) {
    Query ver;
    ver.SQL = {QStringLiteral("select d, t, delim from accounts_dep.ver limit 1")};
    ver.open();
    if (ver.isEmpty()) {
        Command ins;
        ins.SQL = {QStringLiteral("insert into accounts_dep.ver(d, t, delim) values(:d, :t, '')")};
        ins.setParam(QStringLiteral("d"), buildDate);
        ins.setParam(QStringLiteral("t"), buildTime);
        ins.exec();
        ver.reopen();
    }
    VersionRow row;
    row.delim = ver.asString(QStringLiteral("delim"));
    if (isOlder(ver.asInt(QStringLiteral("d")), ver.asInt(QStringLiteral("t")), buildDate, buildTime)) {
        Command upd;
        upd.SQL = {QStringLiteral(
            "update accounts_dep.ver set d=:d, t=:t where ctid=(select ctid from accounts_dep.ver limit 1)")};
        upd.setParam(QStringLiteral("d"), buildDate);
        upd.setParam(QStringLiteral("t"), buildTime);
        upd.exec();
        ver.reopen();
    }
    row.date = ver.asInt(QStringLiteral("d"));
    row.time = ver.asInt(QStringLiteral("t"));
    ver.close();
    return row;
}

}  // namespace buildstamp

}  // namespace mirn
