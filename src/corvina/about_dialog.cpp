#include "corvina/about_dialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel* Link(const char* address, QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(address)),
                             parent);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
    auto* group = new QGroupBox(this);
    auto* icon = new QLabel(group);
    icon->setPixmap(QIcon(QStringLiteral(":/res/PNG/ICON")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    name_ = new QLabel(QStringLiteral("Corvina %1\n\nCompares two databases record by record "
                                      "and brings them in step.")
                           .arg(QLatin1String(kVersion)),
                       group);
    name_->setWordWrap(true);
    site_ = Link(kWebAddress, group);
    auto* credit = new QLabel(
        QStringLiteral("Its pages are laid out by the litehtml HTML and CSS engine."), group);
    credit->setWordWrap(true);
    engine_ = Link(kEngineAddress, group);

    auto* text = new QVBoxLayout;
    text->addWidget(name_);
    text->addWidget(site_);
    text->addSpacing(8);
    text->addWidget(credit);
    text->addWidget(engine_);
    auto* inner = new QHBoxLayout(group);
    inner->addWidget(icon);
    inner->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(360);
}
