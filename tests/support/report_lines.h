#pragma once
// Prepared report pages as text, for comparing with what a layout should print.
#include "engine/engine.h"
#include "gui/preview.h"

#include <QDebug>

#include <QStringList>
#include <cmath>

namespace mirn {

// The printed rows of a prepared page, one per row of a band (items less than 1 mm
// apart in height make one row): "band: text|text|…".
inline QStringList pageLines(const rpt::PreparedPage& page) {
    QStringList out;
    QString band;
    double top = -1;
    for (const rpt::PreparedItem& it : page.items) {
        if (it.isBand) {
            band.clear();
            continue;
        }
        if (it.band != band || std::abs(it.rect.top() - top) > 1.0) {
            out << it.band + QStringLiteral(": ") + it.text;
            band = it.band;
            top = it.rect.top();
        } else {
            out.last() += QLatin1Char('|') + it.text;
        }
    }
    return out;
}

// The printed rows of pages first to last (-1: the last page) of a prepared report.
inline QStringList lines(const rpt::PreparedReport& r, int first = 0, int last = -1) {
    QStringList out;
    if (last < 0) last = int(r.pages.size()) - 1;
    for (int p = first; p <= last; ++p) out << pageLines(r.pages[size_t(p)]);
    return out;
}

// Every page of the preview window d, laid out now if need be; a copy, since the window's
// pages go when it closes. Empty (and a warning) if d is not a preview.
inline rpt::PreparedReport shownPages(QDialog* d) {
    auto* preview = qobject_cast<rpt::PagedPreview*>(d);
    if (!preview) {
        qWarning() << "not a preview window:" << d;
        return {};
    }
    return preview->report();
}

}  // namespace mirn
