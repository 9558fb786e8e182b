#pragma once

#include "base/progress.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace tolva {

class Store;

namespace changelog {

// What the log window looks for: the days from and to (both included), and, when not empty, the
// user, the contract and the table (rzb.bm).
struct LogFilter {
    QDate from, to;
    QString user, contract, table;
};

// The tables the log names, with the caption a clerk reads for each.
struct TableCaption {
    QString table, caption;
};
const QList<TableCaption> &tableCaptions();
QString tableCaption(const QString &table);

// A change written out: for a change each changed field "名称：前 → 后", for an addition or a
// deletion each field of the row added or deleted that has a value "名称：值"; fields joined by "；",
// in the order of `columns` (the table's), any other after them.
QString changeText(const QString &operation, const QString &before, const QString &after,
                   const QStringList &columns = {});
// The same from the rows' JSON as the log stores it.
QString changeText(const QString &operation, const QByteArray &before, const QByteArray &after,
                   const QStringList &columns = {});

// Fills the working table rzbtem with the log's rows the filter finds, oldest first, each change
// written out; returns how many. The log is read `partRows` rows at a time, reported through
// `progress`.
int findChanges(Store &store, const LogFilter &filter, const Progress &progress = {}, int partRows = 65536);

// The users the log names, for the window's choice, in order; the log is read `partRows` rows at
// a time, reported through `progress`.
QStringList loggedUsers(Store &store, const Progress &progress = {}, int partRows = 65536);

} // namespace changelog
} // namespace tolva
