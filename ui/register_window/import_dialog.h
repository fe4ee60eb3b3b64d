#pragma once

// File > Import Inventory…: the events an import of an inventory into the open register would
// record, as the command line's import without --commit lists them (receipts, moves, leak
// tests, conflicts, ids absent from the file), in a table; recorded only on Commit, with the
// conflicts' reason asked for. Both runs are the command line's own import.

#include <functional>

#include <QDialog>

#include "decay.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace dovrin {

// One run of the command line's import: its exit status, its plan (CSV) and what it said.
struct ImportRun {
    int status = 2;
    QByteArray plan;
    QString said;
};
ImportRun runImport(const QStringList& words, LocalTime now);

class ImportDialog : public QDialog {
    Q_OBJECT
public:
    // Plans the import at once; plan() says whether it could be planned.
    ImportDialog(QString registerPath, QString inventoryPath, QString on, QString recordedBy,
                 std::function<LocalTime()> clock, QWidget* parent = nullptr);
    bool planned() const { return planned_; }
    QString refusal() const { return refusal_; }
    QTableWidget* table() const { return table_; }
    int conflicts() const { return conflicts_; }
    QString recordedBy() const;

    void accept() override; // Commit

private:
    QStringList words(bool commit) const;
    void showPlan(const QByteArray& plan);

    QString registerPath_, inventoryPath_, on_;
    std::function<LocalTime()> clock_;
    bool planned_ = false;
    QString refusal_;
    int conflicts_ = 0;
    QLabel* summary_;
    QTableWidget* table_;
    QLineEdit* byBox_;
    QLineEdit* reasonBox_;
    QLabel* problem_;
};

} // namespace dovrin
