#pragma once

// The few questions an inventory may need answered before it can be read: which of its columns
// holds what, the separator, and whether its slash dates give the month or the day first.

#include <array>

#include <QDialog>

#include "inventory.h"

class QComboBox;

namespace dovrin {

struct OpenOptions {
    InventoryOptions inventory;
    DateOrder dateOrder = DateOrder::monthFirst;
};

class OpenOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // reason: why the questions are asked; header: the fields of the file's first row.
    OpenOptionsDialog(const QString& reason, const QStringList& header, const OpenOptions& current,
                      QWidget* parent = nullptr);

    OpenOptions options() const;

private:
    QStringList header_;
    std::array<QComboBox*, columnNames.size()> columnBoxes_{};
    QComboBox* separatorBox_;
    QComboBox* dateOrderBox_;
};

} // namespace dovrin
