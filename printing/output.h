#pragma once

#include "report.h"

#include <QList>
#include <QString>

class QPrinter;

namespace tolva::report {

enum class Parity { All, Odd, Even };

// Reads a page range such as "1,3,5-12" into its pages, in order, within 1..pageCount;
// false when the text is not a range list.
bool parsePageRanges(const QString &text, int pageCount, QList<int> &pages);

// The pages to print, in printing order: the chosen pages (all when `pages` is empty), less the
// odd or even ones, repeated for the copies this program makes (none when the printer makes them),
// collated or page by page.
QList<int> printOrder(int pageCount, const QList<int> &pages, Parity parity, int copies, bool collate,
                      bool printerMakesCopies);

// Writes pages of a prepared report into a PDF file; Chinese text keeps its embedded font. The file
// is written under a temporary name and takes `path` only when complete. Throws an Error in the
// program's words when `path` is one of `dataFolder`'s own files or cannot be written; `path` then
// keeps what it held.
void writePdf(const PreparedReport &report, const QString &path, const QString &dataFolder,
              const QList<int> &order = {});
// Sets a printer up for a report: A4 in the report's orientation, the whole sheet. Settings the
// person chooses afterwards (the printer's own dialog) are kept by print().
void setUp(QPrinter &printer, const PreparedReport &report);
// Prints pages on a printer (or a PDF file through it), one prepared page per sheet.
bool print(const PreparedReport &report, QPrinter &printer, const QList<int> &order);

} // namespace tolva::report
