#pragma once

// What the register window remembers between runs, beside its own size, panes and columns
// (RegisterWindow::readSettings): the answers given for each inventory file, whether the NRC's
// sums of fractions are shown, and who records events.

#include <optional>

#include <QString>

#include "open_options_dialog.h"

namespace dovrin {

// The reading options last chosen for the file at path; none when it was never asked about.
std::optional<OpenOptions> rememberedOptions(const QString& path);
void rememberOptions(const QString& path, const OpenOptions& options);

bool nrcFractionsShown();
void rememberNrcFractionsShown(bool shown);

QString rememberedRecorder();
void rememberRecorder(const QString& recordedBy);

} // namespace dovrin
