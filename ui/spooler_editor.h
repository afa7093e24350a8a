// The editing area of "Folder configuration": every setting of one spooler. Controls are
// named after the keys they edit (without the spooler number); radio buttons after the key
// and their value ("Xreference1" is the centre).
//
// While the area is enabled, a control is enabled only when what it depends on is set:
// the archive folder with "Move original file to archive folder"; "File name def" with
// colour detection by file name; the resolutions without "Keep resolution"; "Color
// detection" with colour-specific scaling; the eight scalings with colour-specific scaling
// unless the scale comes from a TIFF tag or an inf file; the plate references and zone
// names with scaling and "Keep total image size"; "Do not scale plate margins" with scaling
// and the margins when that is set too; the merge file with its check; the expressions
// with "Use regular expression"; the zone detection only while the database is in use
// (without it the zone always comes from the TIFF tag or file name).
#pragma once

#include <QString>
#include <QWidget>

#include "service/config/settings.h"
#include "ui/field_bindings.h"

class QButtonGroup;
class QComboBox;
class QPushButton;

namespace plexivar::ui {

class SpoolerEditor : public QWidget {
    Q_OBJECT
public:
    // Indexes of the "Color detection" list.
    enum Detection { kSubFolders, kFileName, kTiffTag, kScaleTag, kInfFile };

    // `databaseLogging`: LogToDatabase is set. Browsing starts below `programDir`.
    SpoolerEditor(bool databaseLogging, QString programDir, QWidget* parent = nullptr);

    void Load(const SpoolerSettings& spooler);
    // The values of a new spooler; "Do not scale plate margins" stays as it is.
    void LoadNewSpooler();
    // Writes the edited values into `spooler`; keys the area does not show are kept.
    void Store(SpoolerSettings& spooler) const;

    void SetAreaEnabled(bool enabled);

private:
    QWidget* BuildFolders();
    QWidget* BuildDetection();
    QWidget* BuildScaling();
    QWidget* BuildPlacement();
    QWidget* BuildExtras();
    QWidget* FolderRow(QLineEdit* field, const char* buttonName, const QString& caption,
                       bool folder);
    QButtonGroup* Radios(QWidget* box, const char* key, const QStringList& texts);
    void UpdateEnabling();
    void Enable(const char* name, bool enabled);
    bool Checked(int SpoolerSettings::*key) const;

    const bool databaseLogging_;
    const QString programDir_;
    FieldBindings<SpoolerSettings> bound_;
    QComboBox* detection_ = nullptr;
    QButtonGroup* xReference_ = nullptr;
    QButtonGroup* yReference_ = nullptr;
    QButtonGroup* zoneDetection_ = nullptr;
};

}  // namespace plexivar::ui
