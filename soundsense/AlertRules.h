#pragma once

#include <QSet>
#include <QString>

#include <optional>

namespace sv {

// The category text shown to the user for a classifier label
// ("Doorbell" -> "doorbell", "smoke_detector" -> "smoke / CO alarm"), or
// nothing when the label is not an alert: it contains an ignored word
// (speech, music, ...) or matches no rule. Case-insensitive plain substring
// matching. Pure; any thread.
std::optional<QString> alertCategory(const QString &label);

// The categories whose alerts are high priority. Built once; any thread.
const QSet<QString> &highPriorityCategories();

} // namespace sv
