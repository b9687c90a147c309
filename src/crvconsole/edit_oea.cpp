#include "crvconsole/edit_oea.h"

#include <QFontDatabase>
#include <QKeyEvent>

CEditOEA::CEditOEA(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setTabStopDistance(4 * fontMetrics().horizontalAdvance(QLatin1Char(' ')));
}

void CEditOEA::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+A must select all whatever the style's key bindings say.
    if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier)) {
        selectAll();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
