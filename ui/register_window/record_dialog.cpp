#include "record_dialog.h"

#include <algorithm>
#include <array>
#include <charconv>

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "events.h"
#include "fold.h"
#include "qt_text.h"
#include "radionuclides.h"
#include "record.h"

namespace dovrin {

namespace {

using store::Field;
using store::Kind;

constexpr std::array<const char*, store::kindNames.size()> kindTitles{
    "Receive", "Move",   "Leak Test", "Inventory Check", "Status", "Transfer", "Dispose",
    "Lost",    "Stolen", "Recovered", "Correct",         "Void",   "Note"};

// A field's label on the form, and a hint of what it takes.
QString fieldLabel(Field field) {
    QString name = fromBytes(store::nameOf(field));
    name.replace(u'_', u' ');
    name[0] = name[0].toUpper();
    if (name.endsWith(QStringLiteral(" bq"))) // the unit, as it is written
        name = name.chopped(3) + QStringLiteral(" (Bq)");
    return name;
}

QString fieldHint(Field field) {
    switch (field) {
    case Field::manufactured:
    case Field::lastLeakTest:
    case Field::lastInventory:
        return RecordDialog::tr("yyyy-mm-dd");
    case Field::outcome:
        return RecordDialog::tr("pass or fail");
    case Field::found:
        return RecordDialog::tr("present or missing");
    case Field::status:
        return RecordDialog::tr("in use or in storage");
    default:
        return {};
    }
}

constexpr std::string_view notRecorded = "nothing recorded: ";

bool isDayField(Field field) {
    return field == Field::manufactured || field == Field::lastLeakTest ||
           field == Field::lastInventory;
}

std::optional<std::uint64_t> readSeq(const QString& text) {
    bool read = false;
    const qulonglong seq = text.toULongLong(&read);
    return read && seq > 0 ? std::optional<std::uint64_t>(seq) : std::nullopt;
}

} // namespace

QString kindTitle(Kind kind) {
    return RecordDialog::tr(kindTitles[static_cast<std::size_t>(kind)]);
}

RecordDialog::RecordDialog(Setting setting, QWidget* parent)
    : QDialog(parent)
    , setting_(std::move(setting)) {
    setObjectName(QStringLiteral("recordDialog"));
    const QString title =
        setting_.source.isEmpty()
            ? tr("Record: %1").arg(kindTitle(setting_.kind))
            : tr("Record: %1 of %2").arg(kindTitle(setting_.kind), setting_.source);
    setWindowTitle(title);
    setAccessibleName(title);
    auto* layout = new QVBoxLayout(this);
    grid_ = new QGridLayout;
    layout->addLayout(grid_);

    // The event's own fields first: what a person has in front of them.
    if (setting_.kind == Kind::receive)
        sourceBox_ = addText(tr("Source id"), "sourceBox", std::nullopt);
    if (setting_.kind == Kind::correct || setting_.kind == Kind::voided)
        eventBox_ = addText(tr("Event number"), "eventBox", std::nullopt);
    for (const Field field : store::fieldsOf(setting_.kind)) {
        QLineEdit* box = addText(fieldLabel(field), "", field);
        box->setObjectName(QStringLiteral("field_") + fromBytes(store::nameOf(field)));
        box->setPlaceholderText(fieldHint(field));
    }
    if (sourceBox_)
        sourceProblem_ = lines_.front().problem;
    if (eventBox_)
        eventProblem_ = lines_.front().problem;
    if (setting_.kind == Kind::correct) {
        readSourceEvents();
        showCorrectedFields();
        connect(eventBox_, &QLineEdit::textChanged, this, &RecordDialog::showCorrectedFields);
    }

    dayBox_ = named(new QDateEdit(qDate(setting_.day), this), "dayBox", tr("Day it happened"));
    dayBox_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dayBox_->setCalendarPopup(true);
    dayBox_->setMaximumDate(qDate(setting_.today));
    addLine(tr("Day"), "", dayBox_, std::nullopt);
    dayProblem_ = lines_.back().problem;
    byBox_ = addText(tr("Recorded by"), "byBox", std::nullopt);
    byBox_->setText(setting_.recordedBy);
    byProblem_ = lines_.back().problem;
    reasonBox_ = addText(setting_.kind == Kind::correct || setting_.kind == Kind::voided
                             ? tr("Reason (required)")
                             : tr("Reason"),
                         "reasonBox", std::nullopt);
    reasonProblem_ = lines_.back().problem;
    documentBox_ = addText(tr("Document reference"), "documentBox", std::nullopt);

    wholeProblem_ = named(new QLabel(this), "wholeProblem", tr("Why it cannot be recorded"));
    wholeProblem_->setWordWrap(true);
    wholeProblem_->setStyleSheet(QStringLiteral("color: #b00020"));
    wholeProblem_->hide();
    layout->addWidget(wholeProblem_);

    auto* buttons = named(new QDialogButtonBox(QDialogButtonBox::Cancel, this), "buttons",
                          tr("Record or cancel"));
    recordButton_ = buttons->addButton(tr("&Record"), QDialogButtonBox::AcceptRole);
    recordButton_->setObjectName(QStringLiteral("recordButton"));
    recordButton_->setAccessibleName(tr("Record"));
    recordButton_->setDefault(true); // Return records, from any field
    connect(buttons, &QDialogButtonBox::accepted, this, &RecordDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RecordDialog::reject);
    layout->addWidget(buttons);

    // Tab goes through the lines in the order they are shown, then to the buttons.
    for (std::size_t i = 1; i < lines_.size(); ++i)
        setTabOrder(lines_[i - 1].editor, lines_[i].editor);
    setTabOrder(lines_.back().editor, recordButton_);
    lines_.front().editor->setFocus();
}

QLineEdit* RecordDialog::addText(const QString& label, const char* name,
                                 std::optional<Field> field) {
    auto* box = named(new QLineEdit(this), name, label);
    addLine(label, name, box, field);
    return box;
}

void RecordDialog::addLine(const QString& label, const char* name, QWidget* editor,
                           std::optional<Field> field) {
    const int row = static_cast<int>(lines_.size());
    auto* title = new QLabel(label + u':', this);
    title->setBuddy(editor);
    auto* problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("problem_") +
                           (field ? fromBytes(store::nameOf(*field)) : QString::fromLatin1(name)));
    problem->setAccessibleName(tr("Problem with %1").arg(label));
    problem->setStyleSheet(QStringLiteral("color: #b00020"));
    grid_->addWidget(title, row, 0);
    // Wide enough for a location's or a person's name as they are usually written.
    editor->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    grid_->addWidget(editor, row, 1);
    grid_->addWidget(problem, row, 2);
    grid_->setColumnStretch(1, 1);
    lines_.push_back({title, editor, problem, field});
}

QString RecordDialog::recordedBy() const {
    return byBox_->text().trimmed();
}

QString RecordDialog::text(const QLineEdit* box) const {
    return box->text().trimmed();
}

void RecordDialog::showProblem(QLabel* problem, const std::string& text) {
    problem->setText(fromBytes(text));
}

void RecordDialog::clearProblems() {
    for (const Line& line : lines_)
        line.problem->clear();
    wholeProblem_->clear();
    wholeProblem_->hide();
}

void RecordDialog::readSourceEvents() {
    const store::Opening opening = store::openStore(setting_.location, store::Access::read);
    if (!opening.store)
        return;        // named when the correction is recorded
    std::string error; // named when the correction is recorded
    store::readAll(*opening.store->events({setting_.source.toStdString(), std::nullopt}),
                   sourceEvents_, error);
}

void RecordDialog::showCorrectedFields() {
    const auto seq = readSeq(text(eventBox_));
    const auto target = std::ranges::find(sourceEvents_, seq.value_or(0), &store::Event::seq);
    const bool known = target != sourceEvents_.end();
    eventProblem_->setText(seq && !known ? tr("not an event of %1").arg(setting_.source)
                                         : QString());
    if (known && target->seq == shownTarget_)
        return; // what was typed into its fields stays
    shownTarget_ = known ? target->seq : 0;
    const std::span<const Field> fields =
        known ? store::fieldsOf(target->kind) : std::span<const Field>();
    const store::FieldValues current =
        known ? store::correctedValues(*target, sourceEvents_) : store::FieldValues{};
    for (const Line& line : lines_) {
        if (!line.field)
            continue;
        const bool shown = std::ranges::find(fields, *line.field) != fields.end();
        line.title->setVisible(shown);
        line.editor->setVisible(shown);
        line.problem->setVisible(shown);
        static_cast<QLineEdit*>(line.editor)
            ->setText(fromBytes(current[static_cast<std::size_t>(*line.field)]));
    }
}

bool RecordDialog::readForm() {
    event_ = {};
    event_.kind = setting_.kind;
    event_.source = (sourceBox_ ? text(sourceBox_) : setting_.source).toStdString();
    event_.on = dayOf(dayBox_->date());
    event_.by = recordedBy().toStdString();
    event_.reason = text(reasonBox_).toStdString();
    event_.document = text(documentBox_).toStdString();
    bool right = true;
    const auto wrong = [&](QLabel* problem, const QString& why) {
        problem->setText(why);
        right = false;
    };
    if (sourceBox_ && event_.source.empty())
        wrong(sourceProblem_, tr("the source's id is required"));
    if (eventBox_) {
        const auto seq = readSeq(text(eventBox_));
        if (!seq)
            wrong(eventProblem_, tr("an event's number is required"));
        event_.target = seq.value_or(0);
    }
    const auto target = std::ranges::find(sourceEvents_, shownTarget_, &store::Event::seq);
    const store::FieldValues current = target != sourceEvents_.end()
                                           ? store::correctedValues(*target, sourceEvents_)
                                           : store::FieldValues{};
    for (const Line& line : lines_) {
        if (!line.field || !line.editor->isVisibleTo(this))
            continue;
        std::string value = text(static_cast<QLineEdit*>(line.editor)).toStdString();
        if (setting_.kind == Kind::correct &&
            value == current[static_cast<std::size_t>(*line.field)])
            value.clear(); // a correction carries the fields it changes, and only those
        event_[*line.field] = value;
        if (!value.empty() && isDayField(*line.field) && !store::readDay(value))
            wrong(line.problem, tr("yyyy-mm-dd, not %1").arg(fromBytes(value)));
    }
    for (const Field field : store::requiredFieldsOf(setting_.kind))
        if (event_[field].empty())
            for (const Line& line : lines_)
                if (line.field == field)
                    wrong(line.problem, tr("required"));
    if (event_.by.empty())
        wrong(byProblem_, tr("required: who records it"));
    if (event_.reason.empty() && (setting_.kind == Kind::correct || setting_.kind == Kind::voided))
        wrong(reasonProblem_, tr("required for a %1").arg(fromBytes(store::nameOf(event_.kind))));
    if (!right)
        return false;
    if (const std::string why = store::eventProblem(event_); !why.empty()) {
        wholeProblem_->setText(fromBytes(why));
        wholeProblem_->show();
        return false;
    }
    return true;
}

RecordDialog::Outcome RecordDialog::record(const std::string& location, store::Event event,
                                           std::uint64_t seenSeq, std::chrono::sys_seconds now) {
    Outcome outcome;
    const store::Opening opening = store::openStore(location, store::Access::write);
    if (!opening.store) {
        outcome.recording.error = opening.error;
        return outcome;
    }
    const auto sourceEvents = [&] {
        std::vector<store::Event> events;
        std::string error; // checked again inside the write, which names it
        store::readAll(*opening.store->events({event.source, std::nullopt}), events, error);
        return events;
    };
    const auto recordedSince = [&] {
        std::vector<store::Event> since = sourceEvents();
        std::erase_if(since, [&](const store::Event& known) { return known.seq <= seenSeq; });
        return since;
    };
    outcome.problems = store::fieldProblems(event, sourceEvents(), RadionuclideTable::builtIn());
    if (!outcome.problems.empty()) {
        outcome.since = recordedSince();
        return outcome;
    }
    // The source's events are read again inside the write: one another window recorded since
    // is checked against, not lost.
    outcome.recording = store::recordEvent(*opening.store, event, now);
    if (!outcome.recording.error.empty())
        outcome.since = recordedSince();
    outcome.event = std::move(event);
    return outcome;
}

void RecordDialog::setBusy(bool busy) {
    busy_ = busy;
    recordButton_->setEnabled(!busy);
    recordButton_->setText(busy ? tr("Recording…") : tr("&Record"));
}

void RecordDialog::showOutcome(Outcome outcome) {
    setBusy(false);
    wholeProblem_->clear();
    wholeProblem_->hide();
    for (const store::EventProblem& problem : outcome.problems) {
        QLabel* label = wholeProblem_;
        if (problem.part == store::EventPart::day)
            label = dayProblem_;
        for (const Line& line : lines_)
            if (problem.part == store::EventPart::field && line.field == problem.field)
                label = line.problem;
        showProblem(label, problem.text);
        label->show();
    }
    if (outcome.problems.empty() && !outcome.recording.error.empty()) {
        std::string_view why = outcome.recording.error;
        if (why.starts_with(notRecorded))
            why.remove_prefix(notRecorded.size());
        wholeProblem_->setText(tr("Not recorded: %1").arg(fromBytes(why)));
        wholeProblem_->show();
    }
    showRecordedSince(outcome.since);
    if (!outcome.problems.empty() || !outcome.recording.error.empty())
        return;
    event_ = std::move(outcome.event);
    head_ = outcome.recording.head.value_or(store::Head{});
    QDialog::accept();
}

void RecordDialog::showRecordedSince(const std::vector<store::Event>& since) {
    QStringList events;
    for (const store::Event& known : since)
        events << tr("event %1, %2 on %3 by %4")
                      .arg(known.seq)
                      .arg(fromBytes(store::nameOf(known.kind)),
                           fromBytes(store::dayText(known.on)), fromBytes(known.by));
    if (events.isEmpty())
        return;
    const QString before = wholeProblem_->text();
    wholeProblem_->setText(
        (before.isEmpty() ? QString() : before + u'\n') +
        tr("Since this window read the register, another writer recorded %1 of %2. Reload (F5) "
           "to see the register as it is now; what is typed here stays.")
            .arg(events.join(QStringLiteral("; ")), fromBytes(event_.source)));
    wholeProblem_->show();
}

RecordDialog::~RecordDialog() {
    // Joined before this object starts to go, so that the worker never posts to a dialog being
    // destroyed; a write waits at most the register's busy timeout.
    if (worker_.joinable())
        worker_.join();
}

void RecordDialog::accept() {
    if (busy_)
        return;
    clearProblems();
    if (!readForm())
        return;
    setBusy(true);
    worker_ = std::jthread([this, location = setting_.location, event = event_,
                            seenSeq = setting_.seenSeq, now = setting_.now()] {
        Outcome outcome = record(location, event, seenSeq, now);
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)] { showOutcome(outcome); },
            Qt::QueuedConnection);
    });
}

void RecordDialog::reject() {
    if (!busy_)
        QDialog::reject();
}

} // namespace dovrin
