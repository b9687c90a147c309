// A host window over the test grid page, with helpers that click and type
// like a user, and records of what reaches the host.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "htmlui/command_behavior.h"
#include "htmlui/html_host_window.h"

namespace testpage {

struct SentCommand {
    std::uintptr_t wParam;
    int code;
    std::wstring id;
    html::View* window;
    int controlId;
};

// A host window that records the messages and behaviour events it receives.
class RecordingHost : public htmlui::HtmlHostWindow {
public:
    RecordingHost() : HtmlHostWindow(nullptr, html::kHandleBehaviorEvent) {}

    int OnEvent(const htmlui::ElementRef&, const htmlui::ElementRef& target, unsigned cmd,
                std::uintptr_t reason) override
    {
        if (!(cmd & html::kSinking))
            events.push_back({cmd, target, reason});
        return 0;
    }
    std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) override
    {
        if (message == htmlui::kCommandMessage) {
            auto* note = reinterpret_cast<htmlui::CommandNotification*>(lParam);
            commands.push_back({wParam, note->code, note->id, note->window, note->controlId});
        }
        return 0;
    }

    struct Event {
        unsigned cmd;
        htmlui::ElementRef target;
        std::uintptr_t reason;
    };
    std::vector<Event> events;
    std::vector<SentCommand> commands;
};

class PageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.resize(480, 520);
        host.SetControlId(77);
        ASSERT_TRUE(host.OnCreate(-1));
        ASSERT_TRUE(host.LoadHtmlResource(L"gridpage"));
        host.show();
        QApplication::processEvents();
    }

    htmlui::ElementRef Root() { return host.GetRootElement(); }
    htmlui::ElementRef Id(const char* id) { return Root().FindById(id); }
    htmlui::ElementRef Row(int i) { return Id("grid").GetChild(unsigned(i)); }

    // Sends a press and release at the centre of an element, in the window
    // (main page or popup) that shows it.
    void Press(const htmlui::ElementRef& e, QEvent::Type type,
               Qt::KeyboardModifiers mods = Qt::NoModifier, QPoint offset = {})
    {
        const QPoint inView = e.GetLocation(html::kViewRelative | html::kBorderBox).center() +
                              offset;
        QWidget* target = host.viewport();
        QPoint local = inView;
        for (html::Element* p = e.Handle(); p; p = p->Parent())
            if (QWidget* popup = host.PopupWidget(p)) {
                target = popup;
                local = popup->mapFromGlobal(host.viewport()->mapToGlobal(inView));
            }
        const bool press = type != QEvent::MouseButtonRelease;
        QMouseEvent ev(type, local, target->mapToGlobal(local), Qt::LeftButton,
                       press ? Qt::LeftButton : Qt::NoButton, mods);
        QApplication::sendEvent(target, &ev);
    }
    void Click(const htmlui::ElementRef& e, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Press(e, QEvent::MouseButtonPress, mods);
        Press(e, QEvent::MouseButtonRelease, mods);
        QApplication::processEvents();
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent ev(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(&host, &ev);
        QApplication::processEvents();
    }
    std::vector<std::wstring> FirstColumn()
    {
        std::vector<std::wstring> texts;
        const htmlui::ElementRef grid = Id("grid");
        for (unsigned i = 1; i < grid.GetChildCount(); ++i)
            texts.push_back(grid.GetChild(i).GetChild(0).GetInnerText());
        return texts;
    }
    std::vector<int> RowsWithState(unsigned state)
    {
        std::vector<int> rows;
        const htmlui::ElementRef grid = Id("grid");
        for (unsigned i = 0; i < grid.GetChildCount(); ++i)
            if (grid.GetChild(i).HasState(state))
                rows.push_back(int(i));
        return rows;
    }

    RecordingHost host;
};

}  // namespace testpage
