#pragma once

// The History pane: every event of the selected source, oldest first, with its day, the moment
// it was recorded, who recorded it, its kind, its fields and, for a correction, the old and new
// values and the reason. A voided event stays, struck through; a corrected one is marked.

#include <chrono>
#include <optional>
#include <string>

#include <QWidget>

#include "store.h"

class QDateEdit;
class QLabel;
class QTableWidget;

namespace dovrin {

class HistoryPane : public QWidget {
    Q_OBJECT
public:
    enum Column { seq, on, recordedAt, by, kind, fields, was, reason, document, standing, count };

    explicit HistoryPane(QWidget* parent = nullptr);

    // The events of the source in the register at location, as known at the moment (none: all);
    // an empty source shows none.
    void showSource(const std::string& location, const std::string& source,
                    std::optional<std::chrono::sys_seconds> knownAt);
    QTableWidget* table() const { return table_; }

private:
    QLabel* title_;
    QTableWidget* table_;
};

// "name=value; ..." of the fields an event gives.
QString eventFieldsText(const store::Event& event);

// The Changes view: what happened to every source between two days (inclusive), as the
// register knows it at the moment asked: receipts, moves, leak tests, transfers, disposals,
// losses and thefts, recoveries, corrections and voids, in the order of their days.
class ChangesView : public QWidget {
    Q_OBJECT
public:
    enum Column { on, source, kind, fields, was, by, reason, document, seq, count };

    ChangesView(std::string location, std::optional<std::chrono::sys_seconds> knownAt,
                std::chrono::year_month_day from, std::chrono::year_month_day to,
                QWidget* parent = nullptr);
    QTableWidget* table() const { return table_; }
    void setDays(std::chrono::year_month_day from, std::chrono::year_month_day to);

private:
    void fill();

    std::string location_;
    std::optional<std::chrono::sys_seconds> knownAt_;
    QDateEdit* fromBox_;
    QDateEdit* toBox_;
    QLabel* title_;
    QTableWidget* table_;
};

} // namespace dovrin
