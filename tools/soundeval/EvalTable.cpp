#include "EvalTable.h"

#include <algorithm>

namespace sv {

namespace {

// The background labels whose false alerts are counted per hour of listening.
bool isEverydaySound(const std::string &label)
{
    return label == "speech" || label == "music" || label == "noise";
}

} // namespace

void EvalTable::add(const std::string &label, const std::optional<std::string> &category, double seconds,
                    const ClipRun &run)
{
    Row &row = m_rows[label];
    row.category = category;
    ++row.clips;
    row.seconds += seconds;
    std::optional<double> first;
    for (const EvalAlert &alert : run.alerts) {
        if (category && alert.category == *category) {
            if (!first)
                first = alert.time;
        } else {
            ++row.falseAlerts;
        }
    }
    if (first) {
        ++row.detected;
        row.delays.push_back(*first);
        if (*first <= promptSeconds)
            ++row.prompt;
    }
}

void EvalTable::print(FILE *out) const
{
    std::fprintf(out, "| label | alert category | clips | minutes | detected | within %.0f s | missed | first alert, median / max (s) | false alerts | false alerts per hour |\n",
                 promptSeconds);
    std::fprintf(out, "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    int everydayFalse = 0;
    double everydaySeconds = 0;
    for (const auto &[label, row] : m_rows) {
        const double hours = row.seconds / 3600.0;
        char delays[64] = "";
        if (!row.delays.empty()) {
            std::vector<double> sorted = row.delays;
            std::sort(sorted.begin(), sorted.end());
            std::snprintf(delays, sizeof delays, "%.1f / %.1f", sorted[sorted.size() / 2], sorted.back());
        }
        if (row.category) {
            std::fprintf(out, "| %s | %s | %d | %.1f | %d | %d | %d | %s | %d | |\n", label.c_str(), row.category->c_str(),
                         row.clips, row.seconds / 60.0, row.detected, row.prompt, row.clips - row.detected, delays,
                         row.falseAlerts);
        } else {
            std::fprintf(out, "| %s | (none) | %d | %.1f | | | | | %d | %.1f |\n", label.c_str(), row.clips,
                         row.seconds / 60.0, row.falseAlerts, hours > 0 ? row.falseAlerts / hours : 0.0);
        }
        if (isEverydaySound(label)) {
            everydayFalse += row.falseAlerts;
            everydaySeconds += row.seconds;
        }
    }
    if (everydaySeconds > 0)
        std::fprintf(out, "\nSpeech, music and noise together: %d false alerts in %.1f minutes, %.1f per hour.\n",
                     everydayFalse, everydaySeconds / 60.0, everydayFalse / (everydaySeconds / 3600.0));
}

} // namespace sv
