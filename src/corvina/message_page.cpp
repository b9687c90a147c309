#include "corvina/message_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

void MessagePage::InitDialog()
{
    auto* group = new QGroupBox(this);
    label_ = new QLabel(QString::fromWCharArray(text_), group);
    label_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_->setWordWrap(true);
    auto* inner = new QVBoxLayout(group);
    inner->addSpacing(12);
    inner->addWidget(label_);
    if (!notice_.empty()) {
        noticeLabel_ = new QLabel(QString::fromStdWString(notice_), group);
        noticeLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        noticeLabel_->setWordWrap(true);
        inner->addSpacing(12);
        inner->addWidget(noticeLabel_);
    }
    inner->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
}

QString MessagePage::Text() const
{
    return label_ ? label_->text() : QString();
}

QString MessagePage::Notice() const
{
    return noticeLabel_ ? noticeLabel_->text() : QString();
}
