#pragma once

#include "store.h"

#include <memory>
#include <string>

namespace tolva {

namespace engine {
class Cursor;
}

// A prepared statement on the store's connection, for the computations that read or write many
// rows: values go in and out without the per-value conversions of a result set. The text is in the
// program's dialect with positional "?" parameters (numbered from 0 here).
class Statement {
public:
    Statement(Store &store, const QString &sql);
    ~Statement();
    Q_DISABLE_COPY(Statement)

    void bindNull(int i);
    void bind(int i, double value);
    void bind(int i, const QString &value); // a null text binds as null
    void bind(int i, const std::string &utf8);
    // Binds text that stays alive and unchanged until the statement has run: no copy is made.
    void bindStatic(int i, const char *utf8, int size);
    void bind(int i, const QVariant &value);

    // Steps once: true when a row is ready to read, false when the statement is done.
    bool next();
    // Runs a statement that returns no rows, then makes it ready to run again.
    void run();
    void reset();

    // What a column of the current row holds as stored. Ask before reading the value: reading a
    // value as another kind converts it.
    enum class Stored { Null, Number, Text, Blob };
    Stored stored(int column) const;
    bool isNull(int column) const;
    double number(int column) const; // null reads as 0
    QString text(int column) const;
    std::string bytes(int column) const; // the UTF-8 text as stored
    // The UTF-8 text as stored without a copy, valid until the next step; `data` is null for null.
    struct View {
        const char *data = nullptr;
        int size = 0;
    };
    View view(int column) const;
    // The current row's first `n` columns at once, each as stored with its number (a number's)
    // or its text (a text's, as view() gives it).
    struct Value {
        Stored stored = Stored::Null;
        double number = 0;
        View text;
    };
    void row(Value *values, int n) const;

private:
    std::unique_ptr<engine::Cursor> cursor_;
};

} // namespace tolva
