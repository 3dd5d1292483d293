// The store shows its options through the dialog unless a test put another runner in place.
#include "desksync/repl_store.h"
#include "desksync/sync_options_dialog.h"

namespace desksync {

OptionsDialogRunner& optionsDialogRunner() {
    static OptionsDialogRunner r = [](HWND parent, const std::u16string& volume, OptionsChoice& c) {
        return runSyncOptionsDialog(parent, volume, c.filter, c.path);
    };
    return r;
}

}  // namespace desksync
