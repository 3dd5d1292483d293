// quorin-sync export: every record of the handheld into a vCard file and an iCalendar file.
#pragma once

#include <ostream>
#include <string>

namespace quorinsync {

struct ExportRequest {
    std::string contacts;  // the .vcf to write, or empty
    std::string calendar;  // the .ics to write, or empty
    bool rscale = false;   // lunar anniversaries as RSCALE rules
};

// Prints "persons N", "appointments N" and "anniversaries N" on `out`; 0 on success, 1 after
// saying why on `err`.
int exportRecords(const ExportRequest& request, std::ostream& out, std::ostream& err);

}  // namespace quorinsync
