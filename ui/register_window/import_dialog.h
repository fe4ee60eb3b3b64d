#pragma once

// File > Import Inventory…: the events an import of an inventory into the open register would
// record (receipts, moves, leak tests, conflicts, ids absent from the file), in a table, as the
// command line's import without --commit lists them; recorded only on Commit, with the
// conflicts' reason asked for. Both the plan and the commit run in a worker thread, with their
// progress shown and Cancel at hand, so that a large inventory never stops the window.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <QDialog>

#include "decay.h"
#include "store_import.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace dovrin {

class PlanModel;

class ImportDialog : public QDialog {
    Q_OBJECT
public:
    // Starts planning the import at once; planned() says when the plan is shown.
    ImportDialog(store_import::ImportSetting setting, QString recorder,
                 std::function<LocalTime()> clock, QWidget* parent = nullptr);
    ~ImportDialog() override;

    bool busy() const { return busy_; }
    bool planned() const { return planned_; }
    // Why the import cannot be planned, or why Commit recorded nothing: one line.
    QString refusal() const;
    QTableView* table() const { return table_; }
    int conflicts() const;
    QString recordedBy() const;
    // What the plan would record, or what the commit recorded: one line.
    QString summary() const;

    void accept() override; // Commit
    // Cancel: stops what runs first. A commit that went through before it could be stopped
    // closes the dialog as recorded.
    void reject() override;

signals:
    void planShown();

private:
    QString inventoryName() const;
    void plan();
    void commit();
    void runInBackground(bool commit, std::string reason);
    void showProgress(std::uint64_t done, std::uint64_t total);
    void planFinished(const store_import::ImportResult& result);
    void commitFinished(const store_import::ImportResult& result);
    void setBusy(bool busy);

    store_import::ImportSetting setting_;
    std::function<LocalTime()> clock_;
    bool busy_ = false;
    bool planned_ = false;
    int conflicts_ = 0;
    bool closeWhenDone_ = false;          // Cancel was asked while the worker ran
    std::optional<store::Head> planHead_; // the register's last event the plan was made against
    PlanModel* plan_;
    QLabel* summary_;
    QTableView* table_;
    QLineEdit* byBox_;
    QLineEdit* reasonBox_;
    QLabel* problem_;
    QProgressBar* progress_;
    QPushButton* commitButton_;
    std::jthread worker_; // last: stopped and joined before the widgets go
};

} // namespace dovrin
