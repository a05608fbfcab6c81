#include "settings/AboutDialog.h"

#include "settings/AboutInfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(const AppContext& context, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("حول البرنامج"));
    setWindowModality(Qt::ApplicationModal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 12);
    auto* name = new QLabel(AboutInfo::programName, this);
    name->setObjectName(QStringLiteral("Lbl_title"));
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);

    auto* facts = new QFormLayout;
    facts->setLabelAlignment(Qt::AlignRight);
    for (const AboutInfo::Line& line : AboutInfo::lines(context)) {
        auto* value = new QLabel(line.value, this);
        value->setObjectName(line.objectName);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(true);
        // Paths, versions and engine names read left to right.
        value->setLayoutDirection(Qt::LeftToRight);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(420);
        facts->addRow(line.caption + QLatin1Char(':'), value);
    }
    layout->addLayout(facts);

    auto* licences = new QGroupBox(QStringLiteral("التراخيص"), this);
    auto* licenceLayout = new QFormLayout(licences);
    licenceLayout->setLabelAlignment(Qt::AlignRight);
    for (const AboutInfo::Line& line : AboutInfo::licences()) {
        auto* value = new QLabel(line.value, this);
        value->setLayoutDirection(Qt::LeftToRight);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        licenceLayout->addRow(line.caption + QLatin1Char(':'), value);
    }
    layout->addWidget(licences);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmd_close"));
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("اغلاق"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
