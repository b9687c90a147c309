// A mouse click on an element of an HTML page as the user makes it: a press and a release at the
// element's centre, in the window that shows it (the page, or the popup the element stands in).
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include "htmlui/element_ref.h"
#include "platform/html/view.h"

namespace pageclicks {

inline void Click(html::View& page, const htmlui::ElementRef& e,
                  Qt::MouseButton button = Qt::LeftButton)
{
    ASSERT_TRUE(e.IsValid());
    page.EnsureLayout();
    const QPoint inView = e.GetLocation(html::kViewRelative | html::kBorderBox).center();
    QWidget* target = page.viewport();
    QPoint local = inView;
    for (html::Element* p = e.Handle(); p; p = p->Parent())
        if (QWidget* popup = page.PopupWidget(p)) {
            target = popup;
            local = popup->mapFromGlobal(page.viewport()->mapToGlobal(inView));
        }
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent ev(type, local, target->mapToGlobal(local), button,
                       type == QEvent::MouseButtonPress ? button : Qt::NoButton,
                       Qt::NoModifier);
        QApplication::sendEvent(target, &ev);
    }
    QApplication::processEvents();
}

}  // namespace pageclicks
