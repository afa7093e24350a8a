#include "ui/spooler_editor.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/file_ops.h"
#include "ui/eight_bit_text.h"

namespace plexivar::ui {
namespace {

using S = SpoolerSettings;

const char* const kScalingKeys[4][2] = {
    {"ScalingXC", "ScalingYC"}, {"ScalingXM", "ScalingYM"},
    {"ScalingXY", "ScalingYY"}, {"ScalingXK", "ScalingYK"}};
double S::*const kScalingFields[4][2] = {{&S::ScalingXC, &S::ScalingYC},
                                         {&S::ScalingXM, &S::ScalingYM},
                                         {&S::ScalingXY, &S::ScalingYY},
                                         {&S::ScalingXK, &S::ScalingYK}};
struct MarginField {
    const char* key;
    const char* label;
    double S::*field;
};
const MarginField kMargins[4] = {{"TopMargin", "Top margin", &S::TopMargin},
                                 {"BottomMargin", "Bottom margin", &S::BottomMargin},
                                 {"LeftMargin", "Left margin", &S::LeftMargin},
                                 {"RightMargin", "Right margin", &S::RightMargin}};

QGroupBox* Group(const QString& title, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    group->setFlat(false);
    return group;
}

// The values a new spooler starts with.
SpoolerSettings NewSpoolerValues() {
    SpoolerSettings s;
    s.Enable = 1;
    s.InputFolder.clear();
    s.OutputFolder.clear();
    s.MakeArchive = 0;
    s.ColorDetection = 0;
    s.InputName.clear();
    s.KeepResolution = 1;
    s.ResolutionX = s.ResolutionY = 1270.0;
    s.EnableScaling = 1;
    s.KeepSize = 1;
    s.Xreference = s.Yreference = 1;
    s.ZoneDetection = 0;
    return s;
}

}  // namespace

SpoolerEditor::SpoolerEditor(bool databaseLogging, QString programDir, QWidget* parent)
    : QWidget(parent), databaseLogging_(databaseLogging), programDir_(std::move(programDir)) {
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    auto* left = new QVBoxLayout;
    left->addWidget(BuildFolders());
    left->addWidget(BuildDetection());
    left->addWidget(BuildExtras());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildScaling());
    right->addWidget(BuildPlacement());
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    for (const auto& flag : bound_.Flags())
        connect(flag.control, &QCheckBox::toggled, this, &SpoolerEditor::UpdateEnabling);
    connect(detection_, &QComboBox::currentIndexChanged, this, &SpoolerEditor::UpdateEnabling);
}

QWidget* SpoolerEditor::FolderRow(QLineEdit* field, const char* buttonName, const QString& caption,
                                  bool folder) {
    auto* row = new QWidget(field->parentWidget());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    field->setParent(row);
    layout->addWidget(field, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), row);
    browse->setObjectName(buttonName);
    browse->setMaximumWidth(32);
    browse->setToolTip(caption);
    layout->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this, field, caption, folder] {
        const QString start = ShowBytes(platform::ResolvePath(
            programDir_.toStdString(), FieldBytes(field)));
        const QString chosen =
            folder ? QFileDialog::getExistingDirectory(this, caption, start)
                   : QFileDialog::getOpenFileName(this, caption, start,
                                                  QStringLiteral("TIFF file (*.tif);;All Files (*)"));
        if (!chosen.isEmpty()) field->setText(chosen);
    });
    return row;
}

QWidget* SpoolerEditor::BuildFolders() {
    QGroupBox* group = Group(QStringLiteral("Folders"), this);
    auto* form = new QFormLayout(group);
    form->addRow(bound_.Flag(MakeCheck(group, "Enable", "Enable "), &S::Enable));
    form->addRow(QStringLiteral("Input folder"),
                 FolderRow(bound_.Text(MakeTextField(group, "InputFolder"), &S::InputFolder),
                           "BrowseInput", QStringLiteral("Select input folder"), true));
    form->addRow(QStringLiteral("Output folder"),
                 FolderRow(bound_.Text(MakeTextField(group, "OutputFolder"), &S::OutputFolder),
                           "BrowseOutput", QStringLiteral("Select outpiut folder"), true));
    form->addRow(bound_.Flag(MakeCheck(group, "MakeArchive", "Move original file to archive folder"),
                             &S::MakeArchive));
    form->addRow(QStringLiteral("Archive folder"),
                 FolderRow(bound_.Text(MakeTextField(group, "ArchiveFolder"), &S::ArchiveFolder),
                           "BrowseArchive", QStringLiteral("Select output copy folder"), true));
    return group;
}

QWidget* SpoolerEditor::BuildDetection() {
    QGroupBox* group = Group(QStringLiteral("Color detection"), this);
    auto* form = new QFormLayout(group);
    detection_ = new QComboBox(group);
    detection_->setObjectName("ColorDetection");
    detection_->addItems({QStringLiteral("Color-specific subfolders (MUST be named ..\\C ..\\M  ..\\Y  and ..\\K)"),
                          QStringLiteral("Detect color name in incoming filename"),
                          QStringLiteral("Detect color name from TIFF tag"),
                          QStringLiteral("Detect scaling factor from TIFF tag (from Kestrum)"),
                          QStringLiteral("Corvane inf-file parameters")});
    form->addRow(QStringLiteral("Color detection"), detection_);
    form->addRow(QStringLiteral("File name def"),
                 bound_.Text(MakeTextField(group, "InputName"), &S::InputName));
    auto* hint = new QLabel(QStringLiteral("Define colorname in filename.\n"
                                           "Use '%C for color, '%Z' for zone, '%?' for don't care\n"
                                           "Example:%?-%?-%C.tif"),
                            group);
    hint->setObjectName("InputNameHint");
    form->addRow(QString(), hint);
    return group;
}

QWidget* SpoolerEditor::BuildExtras() {
    QGroupBox* group = Group(QStringLiteral("Background and file names"), this);
    auto* form = new QFormLayout(group);
    form->addRow(bound_.Flag(MakeCheck(group, "MergeFile", "Merge background file after processing"),
                             &S::MergeFile));
    form->addRow(QStringLiteral("Merge file"),
                 FolderRow(bound_.Text(MakeTextField(group, "MergeFileName"), &S::MergeFileName),
                           "BrowseMerge", QStringLiteral("Merge file"), false));
    form->addRow(bound_.Flag(MakeCheck(group, "UseRegex", "Use regular expression"), &S::UseRegex));
    form->addRow(QStringLiteral("Match expression"),
                 bound_.Text(MakeTextField(group, "MatchExpression"), &S::MatchExpression));
    form->addRow(QStringLiteral("Format expression"),
                 bound_.Text(MakeTextField(group, "FormatExpression"), &S::FormatExpression));
    return group;
}

QWidget* SpoolerEditor::BuildScaling() {
    QGroupBox* group = Group(QStringLiteral("Resolution and scaling"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(bound_.Flag(MakeCheck(group, "KeepResolution", "Keep resolution"),
                                &S::KeepResolution), 0, 0, 1, 3);
    const auto addNumber = [&](int row, int column, const QString& text, QLineEdit* field) {
        auto* label = new QLabel(text, group);
        label->setBuddy(field);
        grid->addWidget(label, row, column);
        grid->addWidget(field, row, column + 1);
    };
    addNumber(1, 0, QStringLiteral("Resolution X"),
              bound_.Real(MakeRealField(group, "ResolutionX"), &S::ResolutionX));
    addNumber(1, 2, QStringLiteral("Resolution Y"),
              bound_.Real(MakeRealField(group, "ResolutionY"), &S::ResolutionY));
    grid->addWidget(bound_.Flag(MakeCheck(group, "EnableScaling", "Enable color specific scaling"),
                                &S::EnableScaling), 2, 0, 1, 4);
    const char* const colours[4] = {"Cyan", "Magenta", "Yellow", "Black"};
    for (int c = 0; c < 4; ++c) {
        grid->addWidget(new QLabel(QString::fromLatin1(colours[c]), group), 3 + c, 0);
        for (int axis = 0; axis < 2; ++axis) {
            QLineEdit* field = bound_.Real(MakeRealField(group, kScalingKeys[c][axis]),
                                           kScalingFields[c][axis]);
            auto* label = new QLabel(axis == 0 ? QStringLiteral("Scaling X") : QStringLiteral("Scaling Y"),
                                     group);
            label->setBuddy(field);
            auto* cell = new QHBoxLayout;
            cell->addWidget(label);
            cell->addWidget(field);
            grid->addLayout(cell, 3 + c, 1 + 2 * axis, 1, 2);
        }
    }
    grid->addWidget(bound_.Flag(MakeCheck(group, "KeepSize", "Keep total image size (recommended)"),
                                &S::KeepSize), 7, 0, 1, 4);
    return group;
}

QButtonGroup* SpoolerEditor::Radios(QWidget* box, const char* key, const QStringList& texts) {
    auto* buttons = new QButtonGroup(box);
    auto* layout = new QHBoxLayout(box);
    for (int i = 0; i < texts.size(); ++i) {
        auto* radio = new QRadioButton(texts[i], box);
        radio->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(key)).arg(i));
        buttons->addButton(radio, i);
        layout->addWidget(radio);
    }
    layout->addStretch(1);
    return buttons;
}

QWidget* SpoolerEditor::BuildPlacement() {
    QGroupBox* group = Group(QStringLiteral("Placement and margins"), this);
    auto* layout = new QVBoxLayout(group);
    auto* x = Group(QStringLiteral("Plate reference X-direction"), group);
    x->setObjectName("XreferenceBox");
    xReference_ = Radios(x, "Xreference", {QStringLiteral("Left side"), QStringLiteral("Center"),
                                           QStringLiteral("Right side")});
    layout->addWidget(x);
    auto* y = Group(QStringLiteral("Plate reference Y-direction"), group);
    y->setObjectName("YreferenceBox");
    yReference_ = Radios(y, "Yreference", {QStringLiteral("Top"), QStringLiteral("Center"),
                                           QStringLiteral("Bottom")});
    layout->addWidget(y);

    auto* zones = new QFormLayout;
    zones->addRow(QStringLiteral("Left/top side cylinder zone name(s)"),
                  bound_.Text(MakeTextField(group, "LeftZonename"), &S::LeftZonename));
    zones->addRow(QStringLiteral("Right/bottom side cylinder zone name(s)"),
                  bound_.Text(MakeTextField(group, "RightZonename"), &S::RightZonename));
    zones->addRow(QString(), new QLabel(QStringLiteral("(separate with comma)"), group));
    layout->addLayout(zones);
    auto* zone = Group(QStringLiteral("Zone detection"), group);
    zone->setObjectName("ZoneDetectionBox");
    zoneDetection_ = Radios(zone, "ZoneDetection", {QStringLiteral("From TIFF-tag/filename"),
                                                    QStringLiteral("From database using Plate-ID")});
    layout->addWidget(zone);

    layout->addWidget(bound_.Flag(MakeCheck(group, "KeepMargins", "Do not scale plate margins"),
                                  &S::KeepMargins));
    auto* margins = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        QLineEdit* field = bound_.Real(MakeRealField(group, kMargins[i].key), kMargins[i].field);
        auto* label = new QLabel(QString::fromLatin1(kMargins[i].label), group);
        label->setBuddy(field);
        margins->addWidget(label, i / 2, 2 * (i % 2));
        margins->addWidget(field, i / 2, 2 * (i % 2) + 1);
    }
    margins->addWidget(new QLabel(QStringLiteral("(Margins in mm)"), group), 2, 0, 1, 4);
    layout->addLayout(margins);
    return group;
}

void SpoolerEditor::Load(const SpoolerSettings& spooler) {
    bound_.Load(spooler);
    detection_->setCurrentIndex(std::clamp(spooler.ColorDetection, 0, detection_->count() - 1));
    // Values outside a group's range (a hand-edited ini file) show as its nearest choice.
    const auto choose = [](QButtonGroup* group, int value) {
        group->button(std::clamp(value, 0, static_cast<int>(group->buttons().size()) - 1))
            ->setChecked(true);
    };
    choose(xReference_, spooler.Xreference);
    choose(yReference_, spooler.Yreference);
    choose(zoneDetection_, spooler.ZoneDetection);
    UpdateEnabling();
}

void SpoolerEditor::LoadNewSpooler() {
    SpoolerSettings values = NewSpoolerValues();
    values.KeepMargins = Checked(&S::KeepMargins) ? 1 : 0;
    Load(values);
}

void SpoolerEditor::Store(SpoolerSettings& spooler) const {
    bound_.Store(spooler);
    spooler.ColorDetection = detection_->currentIndex();
    spooler.Xreference = std::max(0, xReference_->checkedId());
    spooler.Yreference = std::max(0, yReference_->checkedId());
    spooler.ZoneDetection = std::max(0, zoneDetection_->checkedId());
}

void SpoolerEditor::SetAreaEnabled(bool enabled) {
    setEnabled(enabled);
    // Without the database the zone can only come from the TIFF tag or the file name.
    if (!databaseLogging_) zoneDetection_->button(0)->setChecked(true);
    UpdateEnabling();
}

bool SpoolerEditor::Checked(int S::*key) const { return bound_.CheckFor(key)->isChecked(); }

void SpoolerEditor::Enable(const char* name, bool enabled) {
    if (auto* control = findChild<QWidget*>(QString::fromLatin1(name))) EnableField(control, enabled);
}

// The area as a whole is enabled or disabled with the widget itself (SetAreaEnabled); the
// rules below decide within it.
void SpoolerEditor::UpdateEnabling() {
    const int detection = detection_->currentIndex();
    const bool scaling = Checked(&S::EnableScaling);
    const bool scaleFromFile = detection == kScaleTag || detection == kInfFile;
    Enable("ArchiveFolder", Checked(&S::MakeArchive));
    Enable("BrowseArchive", Checked(&S::MakeArchive));
    Enable("InputName", detection == kFileName);
    Enable("InputNameHint", detection == kFileName);
    Enable("ResolutionX", !Checked(&S::KeepResolution));
    Enable("ResolutionY", !Checked(&S::KeepResolution));
    Enable("ColorDetection", scaling);
    for (const auto& colour : kScalingKeys)
        for (const char* key : colour) Enable(key, scaling && !scaleFromFile);
    const bool placement = scaling && Checked(&S::KeepSize);
    for (const char* name : {"Xreference0", "Xreference1", "Xreference2", "Yreference0",
                             "Yreference1", "Yreference2", "LeftZonename", "RightZonename"})
        Enable(name, placement);
    Enable("KeepMargins", scaling);
    for (const MarginField& margin : kMargins)
        Enable(margin.key, scaling && Checked(&S::KeepMargins));
    Enable("MergeFileName", Checked(&S::MergeFile));
    Enable("BrowseMerge", Checked(&S::MergeFile));
    Enable("MatchExpression", Checked(&S::UseRegex));
    Enable("FormatExpression", Checked(&S::UseRegex));
    Enable("ZoneDetection0", databaseLogging_);
    Enable("ZoneDetection1", databaseLogging_);
}

}  // namespace plexivar::ui
