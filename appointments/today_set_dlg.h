// The briefing settings ("Today 설정", template 220): the user's name and the hour at which the
// day's agenda opens by itself, kept under HKEY_CURRENT_USER\Quorin. The settings key stays
// open from the dialog's start until it saves or goes.
#pragma once

#include <optional>

#include "registry/registry.h"
#include "store/briefing_settings.h"
#include "ui/controls.h"

class QComboBox;
class QLineEdit;

class CTodaySetDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 220;
    static constexpr int NameEditId = 1008;
    static constexpr int HourComboId = 1027;
    static constexpr int SaveButtonId = 1080;

    explicit CTodaySetDlg(QWidget* parent = nullptr);

    // Save and close, after the question: the name (an empty one stored as "Quorin") and the
    // chosen hour are written. A failed write says so and the dialog stays open.
    void OnSave();
    // What was written by the last save (valid once the dialog was accepted).
    const settings::BriefingSettings& saved() const { return saved_; }
    bool keyCreated() const { return created_; }

private:
    void OnInitDialog() override;

    std::optional<reg::Key> key_;
    bool created_ = false;
    settings::BriefingSettings saved_;
    QLineEdit* name_;
    QComboBox* hour_;
};
