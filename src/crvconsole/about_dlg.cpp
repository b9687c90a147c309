#include "crvconsole/about_dlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "crvconsole/program_icon.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));

    auto* icon = new QLabel(this);
    icon->setPixmap(DatabaseIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    text_ = new QLabel(QStringLiteral("CrvConsole ") + QLatin1String(kVersion) +
                           QStringLiteral("\nRuns SQL scripts against Access databases."),
                       frame);
    text_->setTextFormat(Qt::PlainText);
    // The address opens in the user's browser (QDesktopServices) when clicked.
    link_ = new QLabel(frame);
    link_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(kWebAddress)));
    link_->setTextFormat(Qt::RichText);
    link_->setOpenExternalLinks(true);
    link_->setObjectName(QStringLiteral("1000"));
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(text_);
    frameLayout->addWidget(link_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAboutDlg::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(frame, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
