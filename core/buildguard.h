#pragma once

namespace mirn {

// The build guard: keeps a client of an older build off a database that a newer build
// has signed into. Run when the sign-in window becomes active and every 30 s from the
// journal.
namespace buildguard {

// This build's stamp: YYYYMMDD and seconds since midnight.
int buildDate();
int buildTime();

// Moves the version row forward to this build and takes its decimal separator; when a
// newer build is recorded, switches the sign-in window off, arms its 5 s timer, shows
// the message and ends the application.
void check();

}  // namespace buildguard

}  // namespace mirn
