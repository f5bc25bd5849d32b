#include "CAboutDlg.h"

#include "quello/Version.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace quello {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("关于 Movastra"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/app/quello-player.svg")).pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Movastra Version 1.0"), this);
    // The build's own version, the one --version, the package and the map's User-Agent give.
    auto* version =
        new QLabel(QStringLiteral("Quello Player %1").arg(QLatin1String(kVersion)), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    auto* year = new QLabel(QStringLiteral("Copyright (C) 2026"), this);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(year, 2, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace quello
