#include "userrules.h"

#include "store/dataset.h"
#include "store/store.h"

namespace tolva::users {

namespace {

const QString Name = QStringLiteral("namea");
const QString Right = QStringLiteral("popedoma");
const QString Password = QStringLiteral("passa");

bool firstRow(const Dataset &users)
{
    return users.currentRow() == 0;
}

} // namespace

std::optional<QString> check(Store &store, const QString &name, const QString &password)
{
    // On a server the password is the clerk's own login's: the server checks it.
    if (store.isServer()) {
        if (!store.checkLogin(name, password))
            return std::nullopt;
        const Rows rows = store.select(QStringLiteral("select popedoma from sbpass where namea=:g1"),
                                       {{QStringLiteral("g1"), name}});
        if (rows.isEmpty())
            return std::nullopt;
        return rows.rows.first().first().toString();
    }
    const Rows rows = store.select(QStringLiteral("select popedoma from sbpass where namea=:g1 and passa=:g2"),
                                   {{QStringLiteral("g1"), name}, {QStringLiteral("g2"), password}});
    if (rows.isEmpty())
        return std::nullopt;
    return rows.rows.first().first().toString();
}

Outcome changePassword(Store &store, const QString &name, const QString &password, const QString &confirmation)
{
    if (password.trimmed().isEmpty() && confirmation.trimmed().isEmpty())
        return Outcome::refused(QStringLiteral("密码栏不能为空或空格，请重新输入！"), QStringLiteral("edt_pass"));
    if (password != confirmation)
        return Outcome::refused(QStringLiteral("两次输入结果不一致！"), QStringLiteral("edt_pass"));
    store.checkCapacity(QStringLiteral("sbpass"), Password, password);
    store.transaction([&] {
        store.exec(QStringLiteral("update sbpass set passa=:g1 where namea=:g2"),
                   {{QStringLiteral("g1"), password}, {QStringLiteral("g2"), name}});
    });
    return Outcome::done();
}

Outcome nameFree(Store &store, const QString &name, const QString &own)
{
    const QString wanted = name.trimmed();
    // A blank name is no user's name: such rows go when the administration is left.
    if (wanted.isEmpty() || wanted == own.trimmed())
        return Outcome::done();
    const int holders = store.scalar(QStringLiteral("select count(*) from sbpass where trim(namea)=:g1"),
                                     {{QStringLiteral("g1"), wanted}})
                            .toInt();
    if (holders == 0)
        return Outcome::done();
    return Outcome::refused(QStringLiteral("用户名[") + wanted + QStringLiteral("]已经存在，用户名不能重复，请重新输入！"),
                            Name);
}

Outcome add(Dataset &users, const QString &name, const QString &right, const QString &password)
{
    if (name.trimmed().isEmpty() || right.trimmed().isEmpty() || password.trimmed().isEmpty())
        return Outcome::refused(QStringLiteral("数据输入不完整，无法保存！"), QStringLiteral("namea"),
                                Outcome::Pending::Discard);
    if (const Outcome free = nameFree(users.store(), name); !free)
        return free;
    users.append();
    try {
        users.setValue(Name, name);
        users.setValue(Right, right);
        users.setValue(Password, password);
        users.post();
    } catch (...) {
        users.cancel();
        throw;
    }
    return Outcome::done();
}

Outcome change(Dataset &users, const QString &field, const QString &value)
{
    if (users.currentRow() < 0)
        return Outcome::done(); // nothing to write into
    const bool protectedField = field.compare(Name, Qt::CaseInsensitive) == 0 ||
                                field.compare(Right, Qt::CaseInsensitive) == 0;
    if (firstRow(users) && protectedField) {
        if (users.text(field) == value)
            return Outcome::done();
        return Outcome::refused(QStringLiteral("系统管理员数据不能修改，但您可以修改密码！"), field,
                                Outcome::Pending::Discard);
    }
    if (field.compare(Name, Qt::CaseInsensitive) == 0)
        if (const Outcome free = nameFree(users.store(), value, users.text(Name)); !free)
            return free;
    users.edit();
    try {
        users.setValue(field, value);
        users.post();
    } catch (...) {
        users.cancel();
        throw;
    }
    return Outcome::done();
}

Outcome removable(const Dataset &users)
{
    if (firstRow(users))
        return Outcome::refused(QStringLiteral("这是管理员数据，系统无法删除！"));
    if (users.isEmpty() || users.currentRow() < 0)
        return Outcome::refused(QStringLiteral("无记录可删除！"));
    return Outcome::done();
}

bool leave(Store &store)
{
    bool restored = false;
    store.transaction([&] {
        const Rows first = store.select(QStringLiteral("select rowid, popedoma from sbpass order by rowid limit 1"));
        if (!first.isEmpty() && first.rows[0][1].toString() != administration()) {
            store.exec(QStringLiteral("update sbpass set popedoma=:g1 where rowid=:g2"),
                       {{QStringLiteral("g1"), administration()}, {QStringLiteral("g2"), first.rows[0][0]}});
            restored = true;
        }
        store.exec(QStringLiteral("delete from sbpass where namea is null or namea='' or popedoma is null or popedoma=''"));
    });
    return restored;
}

bool logIn(Dataset &currentUser, const QString &chosenName, const QString &password)
{
    currentUser.close();
    Store &store = currentUser.store();
    if (store.isServer()) {
        // The session becomes the chosen clerk's own; a wrong password leaves the one it was.
        try {
            store.logIn(chosenName, password);
        } catch (const ConnectionError &e) {
            if (e.reason() != ConnectionError::Reason::Password)
                throw;
            return false;
        }
        currentUser.open(QStringLiteral("select * from sbpass where namea=:g1"), {{QStringLiteral("g1"), chosenName}});
        return !currentUser.isEmpty();
    }
    currentUser.open(QStringLiteral("select namea from sbpass"));
    const int count = currentUser.rowCount();
    if (count < 2)
        currentUser.open(QStringLiteral("select * from sbpass where passa=:g1"), {{QStringLiteral("g1"), password}});
    else
        currentUser.open(QStringLiteral("select * from sbpass where namea=:g1 and passa=:g2"),
                         {{QStringLiteral("g1"), chosenName}, {QStringLiteral("g2"), password}});
    return !currentUser.isEmpty();
}

} // namespace tolva::users
