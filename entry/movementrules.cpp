#include "movementrules.h"

#include "store/dataset.h"
#include "store/store.h"

#include <QSettings>

#include <cmath>

namespace tolva::movements {

namespace {

double numberOf(const Dataset &rows, const char *field)
{
    const QVariant v = rows.value(QLatin1String(field));
    return v.isNull() ? 0 : v.toDouble();
}

} // namespace

void leaveSent(Dataset &rows)
{
    if (!rows.isEditing())
        return;
    if (rows.isNull(QStringLiteral("a1")))
        rows.setValue(QStringLiteral("a1"), 0.0);
    if (rows.number(QStringLiteral("a1")) > 0)
        rows.setValue(QStringLiteral("b1"), 0.0);
}

void leaveReturned(Dataset &rows)
{
    if (!rows.isEditing())
        return;
    if (rows.isNull(QStringLiteral("b1")))
        rows.setValue(QStringLiteral("b1"), 0.0);
    if (rows.number(QStringLiteral("b1")) > 0)
        rows.setValue(QStringLiteral("a1"), 0.0);
}

QDate proposedDate(Dataset &rows, bool followLast, const QDate &today)
{
    if (followLast && rows.isOpen() && !rows.isEmpty()) {
        rows.last();
        const QDate last = rows.date(QStringLiteral("datea"));
        if (last.isValid())
            return last;
    }
    return today;
}

Outcome mayAdd(const QString &material, const Dataset &sizes)
{
    if (material.isEmpty())
        return Outcome::refused(QStringLiteral("没有材料名称数据，请先输入材料名称！"));
    if (!sizes.isOpen() || sizes.isEmpty())
        return Outcome::refused(QStringLiteral("该材料没有规格数据，请先输入材料规格！"));
    return Outcome::done();
}

void append(Dataset &rows, const Contract &contract, const QString &material, const QDate &date,
            const Dataset &sizes)
{
    rows.append();
    rows.setValue(QStringLiteral("khm"), contract.khm);
    rows.setValue(QStringLiteral("numa"), contract.numa);
    rows.setValue(QStringLiteral("datea"), date);
    rows.setValue(QStringLiteral("namea"), material);
    if (sizes.isOpen() && sizes.currentRow() >= 0)
        chooseSize(rows, sizes);
    for (const char *field : {"a2", "a1", "b1", "a8"})
        rows.setValue(QLatin1String(field), 0.0);
}

void chooseSize(Dataset &rows, const Dataset &sizes)
{
    if (!rows.isEditing() || !sizes.isOpen() || sizes.currentRow() < 0)
        return;
    for (const char *field : {"gg", "dw", "dw1", "bl"})
        rows.setValue(QLatin1String(field), sizes.value(QLatin1String(field)));
}

Outcome save(Store &store, Dataset &rows, const Contract &contract, const QDate &date, bool adding,
             const Before &before) {
    const double a1 = numberOf(rows, "a1");
    const double b1 = numberOf(rows, "b1");
    const double a8 = numberOf(rows, "a8");
    if (a1 == 0 && b1 == 0)
        return Outcome::refused(QStringLiteral("没有输入日发生量数据，无法保存！"), QStringLiteral("a1"));
    for (const auto &[field, value] : {std::pair{"a1", a1}, {"b1", b1}, {"a8", a8}})
        if (!std::isfinite(value) || std::fabs(value) > Dataset::largestNumber)
            return Outcome::refused(QStringLiteral("输入的数值太大，无法保存！"), QLatin1String(field));
    // A row both sent and returned would net the two and hide the movement.
    if (a1 > 0 && b1 > 0)
        return Outcome::refused(QStringLiteral("发出数量和回收数量只能输入一个，无法保存！"),
                                QStringLiteral("b1"));
    if (rows.text(QStringLiteral("gg")).trimmed().isEmpty() || rows.isNull(QStringLiteral("bl")))
        return Outcome::refused(QStringLiteral("没有选择材料规格，无法保存！"), QStringLiteral("gg"));
    if (!contract.covers(date))
        return Outcome::refused(QStringLiteral("您输入的日期不在该客户租赁日期的范围内！"),
                                QStringLiteral("datea"));
    // The check and the write in one transaction: on a server no other clerk's row of suspended
    // days can come between them.
    Outcome outcome;
    store.transaction([&] {
        if (a8 != 0) {
            // Another row of the day with suspended days; the row itself counts only as stored.
            int others =
                store
                    .scalar(QStringLiteral("select count(*) from czbnow where numa=:g2 and namea=:g3 and "
                                           "datea=:g1 and a8<>0"),
                            {{QStringLiteral("g1"), date},
                             {QStringLiteral("g2"), rows.text(QStringLiteral("numa"))},
                             {QStringLiteral("g3"), rows.text(QStringLiteral("namea"))}})
                    .toInt();
            if (!adding && before.a8 != 0 && before.datea == date)
                --others;
            if (others > 0) {
                rows.setValue(QStringLiteral("a8"), 0.0);
                outcome = Outcome::refused(QStringLiteral("同一天内不应该有2笔以上的报停数据存在！"),
                                           QStringLiteral("a8"));
                return;
            }
        }
        rows.setValue(QStringLiteral("datea"), date);
        rows.setValue(QStringLiteral("a1"), a1);
        rows.setValue(QStringLiteral("b1"), b1);
        rows.setValue(QStringLiteral("a8"), a8);
        rows.setValue(QStringLiteral("a2"), rows.number(QStringLiteral("bl")) * (a1 - b1));
        rows.post();
    });
    return outcome;
}

namespace {
const QString DateProposalKey = QStringLiteral("entry/b7");
}

int dateProposal(const Dataset &settings)
{
    if (settings.store().isServer())
        return QSettings(QStringLiteral("tolva"), QStringLiteral("tolva")).value(DateProposalKey, 0).toInt();
    return !settings.isOpen() || settings.isEmpty() ? 0 : int(settings.number(QStringLiteral("b7")));
}

Outcome setDateProposal(const Rights &rights, Dataset &settings, int index)
{
    if (const Outcome allowed = rights.toChangeSettings(); !allowed)
        return allowed;
    if (settings.store().isServer()) {
        QSettings(QStringLiteral("tolva"), QStringLiteral("tolva")).setValue(DateProposalKey, index);
        return Outcome::done();
    }
    if (!settings.isOpen() || settings.isEmpty())
        return Outcome::done();
    settings.edit();
    settings.setValue(QStringLiteral("b7"), index);
    try {
        settings.post();
    } catch (...) {
        settings.cancel();
        throw;
    }
    return Outcome::done();
}

} // namespace tolva::movements
