#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class Tsbserver;
}

namespace tolva {

class Context;

// The server a desktop user's program works on, remembered per desktop user: an address without
// user or password ("postgresql://host:port/database"), or empty for the working folder's file.
QString rememberedServer();
void rememberServer(const QString &address);

// The window of the login's "服务器(&S)…": host, port and database of the ledger's server, or the
// working folder's own file. What it accepts is remembered and opened at once.
class Tsbserver : public QDialog {
    Q_OBJECT
public:
    explicit Tsbserver(Context &context, QWidget *parent = nullptr);
    ~Tsbserver() override;

    // The address chosen: a server's, or empty for the folder's own file.
    QString address() const { return address_; }

    void BitBtn1Click();
    void BitBtn3Click();

private:
    std::unique_ptr<Ui::Tsbserver> ui;
    Context &context_;
    QString address_;
};

} // namespace tolva
