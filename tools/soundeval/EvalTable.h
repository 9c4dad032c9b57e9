#pragma once

#include "ClipRunner.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sv {

// Per-label tallies of an evaluation run. A clip's label is the name of the
// folder it lies in; the label's alert category is what the application's
// rule table makes of it, so "smoke_detector" clips expect a
// "smoke / CO alarm" alert and "speech" clips expect none. A clip is
// detected when an alert of its category is raised while it plays (or in the
// silence after it); every alert of another category is a false alert.
class EvalTable {
public:
    static constexpr double promptSeconds = 5.0; // the delay that counts as "in time"

    void add(const std::string &label, const std::optional<std::string> &category, double seconds, const ClipRun &run);
    void print(FILE *out) const;

    struct Row {
        std::optional<std::string> category;
        int clips = 0;
        double seconds = 0;
        int detected = 0;
        int prompt = 0; // detected within promptSeconds
        int falseAlerts = 0;
        std::vector<double> delays;
    };
    const std::map<std::string, Row> &rows() const { return m_rows; }

private:
    std::map<std::string, Row> m_rows;
};

} // namespace sv
