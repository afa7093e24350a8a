// "General preferences": the service-wide settings of section "Setup". Works on a copy;
// Values() gives the edited copy once the dialog is accepted. Controls are named after
// the keys they edit.
//
// Enabling: the database controls only with "Log progress to Orvendal database" (not
// "Register as backup process"), the event codes only with that and "Add to history log",
// the status codes only with that and "Update Orvendal FlatPageTable status"; "Lines per
// strip" only with multiple strips forced; "Special output temp folder" only for the
// build-up method "Use special temp-folder"; each command file and log file only with its
// check. The External Status settings have controls that are never shown: they pass
// through unchanged.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "service/config/settings.h"
#include "ui/field_bindings.h"

class QComboBox;
class QSpinBox;

namespace plexivar::ui {

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    // `locations`: the names of the database's location list, in its order.
    PreferencesDialog(const ServiceSettings& settings, const std::vector<std::string>& locations,
                      QWidget* parent = nullptr);

    // The settings as edited. RowsPerStrip is the "Lines per strip" value when multiple
    // strips are forced and the value is above 0, else 0.
    ServiceSettings Values() const;

    void accept() override;
    void done(int result) override;

private:
    QWidget* BuildStartup();
    QWidget* BuildInput();
    QWidget* BuildOutput();
    QWidget* BuildLogging();
    void Load(const std::vector<std::string>& locations);
    void UpdateEnabling();

    QLineEdit* FieldFor(const char* name) const;

    ServiceSettings settings_;
    FieldBindings<ServiceSettings> bound_;

    QSpinBox* pollTime_ = nullptr;
    QComboBox* buildUp_ = nullptr;
    QCheckBox* forceStrips_ = nullptr;
    QLineEdit* linesPerStrip_ = nullptr;
    QComboBox* location_ = nullptr;
};

}  // namespace plexivar::ui
