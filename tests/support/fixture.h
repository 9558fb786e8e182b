#pragma once

#include "scriptedinteraction.h"
#include "testledger.h"
#include "store/store.h"
#include "widgets/context.h"

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace tolva {

// A store in a temporary folder with a context over it, a scripted Interaction and a fixed clock.
struct Fixture {
    QTemporaryDir dir;
    TestLedger ledger;
    std::unique_ptr<Store> store;
    ScriptedInteraction ui;
    std::unique_ptr<Context> context;
    QDateTime now = QDateTime(QDate(2004, 2, 1), QTime(8, 3, 9));

    Fixture()
    {
        // What the program keeps per desktop user lives in the test's folder, not the machine's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
        store = std::make_unique<Store>(dir.path(), ledger.options());
        context = std::make_unique<Context>(*store, ui);
        context->setClock([this] { return now; });
    }
    // Logs the given user in without the login window.
    void logIn(const QString &name)
    {
        context->currentUser().open("select * from sbpass where namea=:g1", {{"g1", name}});
        context->setUserName(name);
    }
};

} // namespace tolva
