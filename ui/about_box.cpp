#include "ui/about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/artwork.h"

namespace plexivar::ui {

void ShowAboutBox(QWidget* parent) {
    QDialog box(parent);
    box.setObjectName("AboutBox");
    box.setWindowTitle(QStringLiteral("About Plexivar"));
    auto* icon = new QLabel(&box);  // children of the box
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    auto* text = new QLabel(QStringLiteral("Plexivar Version " PLEXIVAR_VERSION), &box);
    text->setObjectName("AboutText");
    auto* buttons = new QDialogButtonBox(&box);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(&box);
    layout->addLayout(row);
    layout->addWidget(buttons);
    box.exec();
}

}  // namespace plexivar::ui
