// The sync-options dialog "SyncOptDlg": the schedule choices, the handheld's database volume,
// the backup file to synchronise with and the item filter.
#pragma once

#include <QDialog>
#include <string>

namespace desksync {

class CSyncOptDlg : public QDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_EVERY_TIME = 1000,
        IDC_DAILY = 1001,
        IDC_WEEKLY = 1002,
        IDC_CUSTOM = 1003,
        IDC_CUSTOM_NUMBER = 1004,
        IDC_CUSTOM_SPIN = 1005,
        IDC_LAST_UPDATED = 1006,
        IDC_FILE = 1008,
        IDC_VOLUME = 1010,
        IDC_FILTER_ALL = 1100,
        IDC_FILTER_A_M = 1101,
        IDC_FILTER_N_Z = 1102,
    };
    // `lastUpdated`: the text after "Last Updated : " (empty when never).
    CSyncOptDlg(QWidget* parent, const std::u16string& volumeText, const std::u16string& path,
                uint32_t filter, const QString& lastUpdated);
    // After OK: the filter the buttons say (0 all, 1 "A" to "M", 2 "N" to "Z") and the path.
    uint32_t filter() const { return filter_; }
    std::u16string path() const { return path_; }

protected:
    void accept() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    uint32_t filter_ = 0;
    std::u16string path_;
};

// Shows the dialog modally; the runner deskrepl uses unless a test replaces it.
bool runSyncOptionsDialog(void* parent, const std::u16string& volumeText, uint32_t& filter,
                          std::u16string& path);

}  // namespace desksync
