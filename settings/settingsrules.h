#pragma once

#include "base/outcome.h"

#include <QStringList>

namespace tolva {

class Dataset;

// The rules of the settings rows srf and dwm, without widgets.
namespace settings {

// The list position of the stored input method among the installed ones, both compared after
// trimming blanks (with several equal names, the last); installed.size(), the entry that uses no
// input method, when none matches.
int inputMethodIndex(const QStringList &installed, const QString &stored);

// Stores the chosen input method in srf.srf of `srf` (a live "select * from srf").
Outcome chooseInputMethod(Dataset &srf, const QString &name);

// Stores a choice of the print format window at once: `column` is "b6" (print format) or "b1"
// (calculation method), `position` 0, 1 or 2. `srf` is the shared settings result set, so the
// next statement uses it without reopening anything.
Outcome choose(Dataset &srf, const QString &column, int position);

// Posts the company name and print titles typed into `titles` (a live "select * from dwm");
// without a row there is nothing to post.
Outcome saveTitles(Dataset &titles);

} // namespace settings
} // namespace tolva
