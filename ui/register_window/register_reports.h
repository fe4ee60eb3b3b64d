#pragma once

// The reports a regulator asks of a kept register beside the inventory's: the transactions of
// a period (one row per receipt, transfer, disposal, loss, theft, recovery, correction and void,
// with the counterparty and the document reference) and the record of one source (everything
// the register holds of it, for the record sheet of a high-activity source). Each names the
// register's last event and hash at the foot of every page, as known at the moment asked.

#include <chrono>
#include <optional>
#include <string>

#include "report.h"

namespace dovrin {

// None, with error set to one line, when the register cannot be read.
std::optional<Report> makeTransactionsReport(const std::string& location,
                                             std::chrono::year_month_day from,
                                             std::chrono::year_month_day to,
                                             std::optional<std::chrono::sys_seconds> knownAt,
                                             LocalTime made, QString& error);
std::optional<Report> makeSourceRecord(const std::string& location, const std::string& source,
                                       std::optional<std::chrono::sys_seconds> knownAt,
                                       LocalTime made, QString& error);

} // namespace dovrin
