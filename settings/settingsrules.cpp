#include "settingsrules.h"

#include "store/dataset.h"

namespace tolva::settings {

namespace {

// Writes one field of the single settings row; a refusal leaves the row as it was.
void write(Dataset &row, const QString &field, const QVariant &value)
{
    if (row.isEmpty())
        throw StoreError(QStringLiteral("设置表中没有数据行，无法保存设置！"));
    if (!row.isEditing())
        row.edit();
    try {
        row.setValue(field, value);
        row.post();
    } catch (...) {
        row.cancel();
        throw;
    }
}

} // namespace

int inputMethodIndex(const QStringList &installed, const QString &stored)
{
    int found = int(installed.size());
    for (int i = 0; i < installed.size(); ++i)
        if (installed[i].trimmed() == stored.trimmed())
            found = i;
    return found;
}

Outcome chooseInputMethod(const Rights &rights, Dataset &srf, const QString &name)
{
    if (const Outcome allowed = rights.toChangeSettings(); !allowed)
        return allowed;
    write(srf, QStringLiteral("srf"), name);
    return Outcome::done();
}

Outcome choose(const Rights &rights, Dataset &srf, const QString &column, int position)
{
    if (const Outcome allowed = rights.toChangeSettings(); !allowed)
        return allowed;
    if (position < 0 || position > 2)
        return Outcome::refused(QStringLiteral("请选择一项！"), column);
    write(srf, column, position);
    return Outcome::done();
}

QDate closingDate(const Dataset &srf)
{
    if (srf.isEmpty() || !srf.hasField(QStringLiteral("zzrq")))
        return QDate();
    const QVariant v = srf.value(QStringLiteral("zzrq"));
    if (v.isNull())
        return QDate();
    return v.typeId() == QMetaType::QDate ? v.toDate() : QDate::fromString(v.toString().left(10), Qt::ISODate);
}

bool movesClosingBack(const Dataset &srf, const QDate &date)
{
    const QDate current = closingDate(srf);
    return current.isValid() && (!date.isValid() || date < current);
}

Outcome setClosingDate(const Rights &rights, Dataset &srf, const QDate &date, const QString &reason)
{
    if (!rights.mayAdminister())
        return Outcome::refused(QStringLiteral("只有管理权限的用户才能设置结账日期！"));
    const bool back = movesClosingBack(srf, date);
    if (back && reason.trimmed().isEmpty())
        return Outcome::refused(QStringLiteral("把结账日期改回去，必须输入原因！"), QStringLiteral("zzly"));
    if (srf.isEmpty())
        throw StoreError(QStringLiteral("设置表中没有数据行，无法保存设置！"));
    if (!srf.isEditing())
        srf.edit();
    try {
        srf.setValue(QStringLiteral("zzrq"), date.isValid() ? QVariant(date) : QVariant());
        if (back)
            srf.setValue(QStringLiteral("zzly"), reason.trimmed());
        srf.post();
    } catch (...) {
        srf.cancel();
        throw;
    }
    return Outcome::done();
}

Outcome setPrintedRowHeight(const Rights &rights, Dataset &srf, const QString &column, int height)
{
    if (const Outcome allowed = rights.toChangeSettings(); !allowed)
        return allowed;
    write(srf, column, double(height));
    return Outcome::done();
}

Outcome saveTitles(const Rights &rights, Dataset &titles)
{
    if (const Outcome allowed = rights.toChangeSettings(); !allowed) {
        if (titles.isEditing())
            titles.cancel();
        return allowed;
    }
    if (titles.isEmpty())
        return Outcome::done(); // nothing could be typed, and the window must still be left
    if (!titles.isEditing())
        titles.edit();
    titles.post();
    return Outcome::done();
}

} // namespace tolva::settings
