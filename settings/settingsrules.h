#pragma once

#include "base/outcome.h"
#include "base/rights.h"

#include <QDate>
#include <QStringList>

namespace tolva {

class Dataset;

// The rules of the settings rows srf and dwm, without widgets. Each change needs the right "录入"
// or "管理"; without it the change is refused and nothing is stored.
namespace settings {

// The list position of the stored input method among the installed ones, both compared after
// trimming blanks (with several equal names, the last); installed.size(), the entry that uses no
// input method, when none matches.
int inputMethodIndex(const QStringList &installed, const QString &stored);

// Stores the chosen input method in srf.srf of `srf` (a live "select * from srf").
Outcome chooseInputMethod(const Rights &rights, Dataset &srf, const QString &name);

// Stores a choice of the print format window at once: `column` is "b6" (print format) or "b1"
// (calculation method), `position` 0, 1 or 2. `srf` is the shared settings result set, so the
// next statement uses it without reopening anything.
Outcome choose(const Rights &rights, Dataset &srf, const QString &column, int position);

// The closing date srf.zzrq of `srf` (invalid when no period is closed): nothing dated on or
// before it may be added, changed or deleted.
QDate closingDate(const Dataset &srf);
// Whether `date` (invalid: no closing date) moves the closing date back, opening closed days.
bool movesClosingBack(const Dataset &srf, const QDate &date);
// Sets the closing date; only "管理" does. Moving it back needs the reason, kept in srf.zzly and
// with it in the change log.
Outcome setClosingDate(const Rights &rights, Dataset &srf, const QDate &date, const QString &reason = QString());
// Stores the height of a printed summary's rows, set with the window's arrows, at once: `column`
// is the window's own field of srf ("b8", "b9", "b10").
Outcome setPrintedRowHeight(const Rights &rights, Dataset &srf, const QString &column, int height);

// Posts the company name and print titles typed into `titles` (a live "select * from dwm");
// without a row there is nothing to post. Refused, the row's pending change is dropped.
Outcome saveTitles(const Rights &rights, Dataset &titles);

} // namespace settings
} // namespace tolva
