#include "open_options_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "qt_text.h"

namespace dovrin {

namespace {

// The header chosen for a column: the one chosen before, else the one of the column's name.
int chosenField(Column column, const QStringList& header, const OpenOptions& current) {
    for (const ColumnChoice& choice : current.inventory.columns)
        if (choice.column == column) {
            const QString wanted = QString::fromStdString(choice.header).trimmed();
            for (qsizetype field = 0; field < header.size(); ++field)
                if (header[field].trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
                    return static_cast<int>(field);
        }
    for (qsizetype field = 0; field < header.size(); ++field)
        if (columnNamed(header[field].toStdString()) == column)
            return static_cast<int>(field);
    return -1;
}

} // namespace

OpenOptionsDialog::OpenOptionsDialog(const QString& reason, const QStringList& header,
                                     const OpenOptions& current, QWidget* parent)
    : QDialog(parent)
    , header_(header) {
    setObjectName(QStringLiteral("openOptionsDialog"));
    setWindowTitle(tr("How to read this inventory"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* why = new QLabel(reason, this);
    why->setObjectName(QStringLiteral("reasonLabel"));
    why->setAccessibleName(tr("Why these questions"));
    why->setWordWrap(true);
    layout->addWidget(why);

    auto* form = new QFormLayout;
    layout->addLayout(form);
    for (std::size_t index = 0; index < columnNames.size(); ++index) {
        const auto column = static_cast<Column>(index);
        auto* box = new QComboBox(this);
        const QString name = fromBytes(columnNames[index]);
        box->setObjectName(name + QStringLiteral("ColumnBox"));
        box->setAccessibleName(tr("Column of %1").arg(name));
        box->addItem(tr("(not in this file)"));
        box->addItems(header);
        box->setCurrentIndex(chosenField(column, header, current) + 1);
        form->addRow(index < requiredColumns ? tr("%1 (required)").arg(name) : name, box);
        columnBoxes_[index] = box;
    }

    separatorBox_ = new QComboBox(this);
    separatorBox_->setObjectName(QStringLiteral("separatorBox"));
    separatorBox_->setAccessibleName(tr("Separator"));
    separatorBox_->addItem(tr("Recognised from the header"), QString());
    separatorBox_->addItem(tr("Comma"), QStringLiteral(","));
    separatorBox_->addItem(tr("Semicolon"), QStringLiteral(";"));
    separatorBox_->addItem(tr("Tab"), QStringLiteral("\t"));
    if (current.inventory.separator)
        separatorBox_->setCurrentIndex(
            separatorBox_->findData(QString(QChar::fromLatin1(*current.inventory.separator))));
    form->addRow(tr("Separator"), separatorBox_);

    dateOrderBox_ = new QComboBox(this);
    dateOrderBox_->setObjectName(QStringLiteral("dateOrderBox"));
    dateOrderBox_->setAccessibleName(tr("Order of slash dates"));
    dateOrderBox_->addItem(tr("Month first (m/d/y)"));
    dateOrderBox_->addItem(tr("Day first (d/m/y)"));
    dateOrderBox_->setCurrentIndex(current.dateOrder == DateOrder::dayFirst ? 1 : 0);
    form->addRow(tr("Slash dates"), dateOrderBox_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("openOptionsButtons"));
    buttons->setAccessibleName(tr("Open or cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

OpenOptions OpenOptionsDialog::options() const {
    OpenOptions chosen;
    for (std::size_t index = 0; index < columnNames.size(); ++index) {
        const int field = columnBoxes_[index]->currentIndex() - 1;
        if (field < 0)
            continue;
        const std::string header = header_[field].toStdString();
        const auto column = static_cast<Column>(index);
        if (columnNamed(header) != column)
            chosen.inventory.columns.push_back({column, header});
    }
    const QString separator = separatorBox_->currentData().toString();
    if (!separator.isEmpty())
        chosen.inventory.separator = separator.at(0).toLatin1();
    chosen.dateOrder =
        dateOrderBox_->currentIndex() == 1 ? DateOrder::dayFirst : DateOrder::monthFirst;
    return chosen;
}

} // namespace dovrin
