#pragma once

// The dialog that records one event of a kept register: the event's own fields, then the day,
// who records it, the reason and the document reference, in that order. A field left wrong is
// named beside it and nothing is recorded until every one is right; the event is recorded by
// the same code as the command line's record, in a worker thread: waiting for another writer
// to finish never stops the window.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QDialog>

#include "record.h"
#include "store.h"

class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace dovrin {

class RecordDialog : public QDialog {
    Q_OBJECT
public:
    struct Setting {
        std::string location; // the register's, as openStore takes it
        store::Kind kind = store::Kind::note;
        QString source;                    // the selected source; empty for a receipt
        std::chrono::year_month_day day;   // the as-of day, the day's default
        std::chrono::year_month_day today; // no event happens after it
        QString recordedBy;                // as last given
        // The register's last event as the window shows it: the source's events after it were
        // recorded by another writer since.
        std::uint64_t seenSeq = 0;
        std::function<std::chrono::sys_seconds()> now;
    };

    explicit RecordDialog(Setting setting, QWidget* parent = nullptr);
    ~RecordDialog() override;

    // The event as recorded, once the dialog is accepted.
    const store::Event& recorded() const { return event_; }
    // The register's last event once it is recorded: the event itself, unless another writer's
    // came after it.
    const store::Head& recordedHead() const { return head_; }
    QString recordedBy() const;
    // Whether the event is being recorded: the register read and written in the worker.
    bool busy() const { return busy_; }

    void accept() override;
    // Cancel, but not while the event is being recorded: it may land, and the window must
    // then show it.
    void reject() override;

private:
    // One line of the form: its label, its editor and the problem named beside it.
    struct Line {
        QLabel* title = nullptr;
        QWidget* editor = nullptr;
        QLabel* problem = nullptr;
        std::optional<store::Field> field; // none for the day, who, reason and document
    };
    QLineEdit* addText(const QString& label, const char* name, std::optional<store::Field> field);
    void addLine(const QString& label, const char* name, QWidget* editor,
                 std::optional<store::Field> field);
    void showProblem(QLabel* problem, const std::string& text);
    void clearProblems();
    QString text(const QLineEdit* box) const;
    // The event as the form gives it; false, with the problems named, when a field is wrong by
    // itself.
    bool readForm();
    // A correction's form shows the fields of the event it names, as they stand; the others are
    // hidden, since that event's kind has none of them.
    void readSourceEvents();
    void showCorrectedFields();
    // What recording the event came to, worked out in the worker.
    struct Outcome {
        std::vector<store::EventProblem> problems; // beside their fields; nothing recorded
        store::Recording recording;
        store::Event event;              // as recorded: its seq, moment and hash
        std::vector<store::Event> since; // the source's events another writer recorded since
    };
    // Checks the event against the source's events, then records it. Runs in the worker.
    static Outcome record(const std::string& location, store::Event event, std::uint64_t seenSeq,
                          std::chrono::sys_seconds now);
    void showOutcome(Outcome outcome);
    void setBusy(bool busy);
    // Says, under the form, what another writer recorded of the source since the window read
    // the register: why an event that was right when the person chose it is refused now.
    void showRecordedSince(const std::vector<store::Event>& since);

    Setting setting_;
    QGridLayout* grid_;
    std::vector<Line> lines_;
    QLineEdit* sourceBox_ = nullptr; // a receipt's id
    QLineEdit* eventBox_ = nullptr;  // the event a correction or void names
    QDateEdit* dayBox_;
    QLineEdit* byBox_;
    QLineEdit* reasonBox_;
    QLineEdit* documentBox_;
    QLabel* sourceProblem_ = nullptr;
    QLabel* eventProblem_ = nullptr;
    QLabel* dayProblem_;
    QLabel* byProblem_;
    QLabel* reasonProblem_;
    QLabel* wholeProblem_; // what is wrong with the event as a whole, under the form
    QPushButton* recordButton_;
    store::Event event_;
    std::vector<store::Event> sourceEvents_; // of a correction's source, as the dialog opened
    std::uint64_t shownTarget_ = 0;          // the event whose fields the form shows
    store::Head head_;
    bool busy_ = false;
    std::jthread worker_; // last: joined before the widgets go
};

// The title of the record dialog of a kind ("Leak Test"), as the Record menu names it.
QString kindTitle(store::Kind kind);

} // namespace dovrin
