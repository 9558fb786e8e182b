#pragma once

#include "outcome.h"

#include <QString>

namespace tolva {

// What a user's right (sbpass.popedoma) allows. "录入" changes data; "录入" and "管理" change the
// settings (calculation method, print format, titles, printed row heights, input method); "管理"
// administers users and backups; "查询" only reads. Any other value, and no user at all, allows
// nothing. The right is compared exactly.
class Rights {
public:
    static QString administration() { return QStringLiteral("管理"); }
    static QString dataEntry() { return QStringLiteral("录入"); }
    static QString query() { return QStringLiteral("查询"); }

    Rights() = default;
    explicit Rights(const QString &right) : right_(right) {}

    const QString &right() const { return right_; }
    bool mayEdit() const { return right_ == dataEntry(); }
    bool mayChangeSettings() const { return right_ == dataEntry() || right_ == administration(); }
    bool mayAdminister() const { return right_ == administration(); }

    // Done when the right allows the change, otherwise refused with the reason. Rules that write
    // ask these first, so that nothing is stored whichever way a change reaches them.
    Outcome toEdit() const
    {
        return mayEdit() ? Outcome::done() : Outcome::refused(QStringLiteral("只有录入权限的用户才能修改数据！"));
    }
    Outcome toChangeSettings() const
    {
        return mayChangeSettings() ? Outcome::done()
                                   : Outcome::refused(QStringLiteral("只有录入或管理权限的用户才能修改设置！"));
    }

private:
    QString right_;
};

} // namespace tolva
