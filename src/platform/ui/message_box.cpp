#include "platform/ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

namespace ui {
namespace {

constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;

QMessageBox::StandardButtons ButtonsOf(unsigned type)
{
    switch (type & kButtonMask) {
        case MB_OKCANCEL:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MB_YESNOCANCEL:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MB_YESNO:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(unsigned type)
{
    switch (type & kIconMask) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int IdOf(int button)
{
    switch (button) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

}  // namespace

bool HasDisplay()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int DefaultMessageBoxResult(unsigned type)
{
    const unsigned buttons = type & kButtonMask;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const std::wstring& text,
                                            const std::wstring& caption, unsigned type)
{
    auto box = std::make_unique<QMessageBox>(IconOf(type), QString::fromStdWString(caption),
                                             QString::fromStdWString(text), ButtonsOf(type), owner);
    box->setTextFormat(Qt::PlainText);  // the text is the system's, never markup
    if ((type & kButtonMask) == MB_OK)
        box->setEscapeButton(QMessageBox::Ok);
    return box;
}

int ShowMessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption,
                   unsigned type)
{
    if (!HasDisplay()) {
        // One "caption: text" line as a terminal shows it: the text starts beside its caption
        // and its lines end as this platform's lines do.
        QString body = QString::fromStdWString(text);
        qsizetype start = 0;
        while (start < body.size() && (body[start] == u'\r' || body[start] == u'\n'))
            ++start;
        body = body.mid(start).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QByteArray line =
            (QString::fromStdWString(caption) + QStringLiteral(": ") + body + QLatin1Char('\n'))
                .toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        return DefaultMessageBoxResult(type);
    }
    const auto box = MakeMessageBox(owner, text, caption, type);
    return IdOf(box->exec());
}

}  // namespace ui
