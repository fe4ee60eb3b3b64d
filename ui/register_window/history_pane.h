#pragma once

// The History pane: every event of the selected source, oldest first, with its day, the moment
// it was recorded, who recorded it, its kind, its fields and, for a correction, the old and new
// values and the reason. A voided event stays, struck through; a corrected one is marked.

#include <optional>
#include <string>

#include <QWidget>

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

} // namespace dovrin
