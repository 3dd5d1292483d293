#include "export_command.h"

#include "interop/exported_objects.h"
#include "store/record_store.h"
#include "sync_state.h"

namespace quorinsync {

int exportRecords(const ExportRequest& request, std::ostream& out, std::ostream& err) {
    interop::ExportOptions options;
    options.rscale = request.rscale;
    // The UIDs come from the identity the backup also knows this handheld by.
    options.handheld = deviceIdentity(true);
    if (options.handheld.size() != 16) {
        err << "quorin-sync: the handheld's identity cannot be read or made\n";
        return 1;
    }
    CRecordStore store;
    interop::ExportCounts counts;
    if (!interop::exportFiles(store, options, request.contacts, request.calendar, counts, err))
        return 1;
    out << "persons " << counts.persons << "\nappointments " << counts.appointments
        << "\nanniversaries " << counts.anniversaries << "\n";
    return 0;
}

}  // namespace quorinsync
