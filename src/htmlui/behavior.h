// Behaviours: handlers that style sheets attach to elements by name
// ("behavior: grid"), a registry of them, and the dispatcher that turns the
// engine's event groups into virtual calls.
#pragma once

#include <QPainter>
#include <QRect>
#include <cstddef>
#include <cstdint>

#include "htmlui/element_ref.h"
#include "platform/html/events.h"
#include "platform/html/view.h"

namespace htmlui {

class Behavior {
public:
    // Registers the behaviour at the head of the registry; `name` is a literal.
    Behavior(unsigned subscriptions, const char* name);
    // Not registered: a window-level handler of a host window.
    explicit Behavior(unsigned subscriptions);
    virtual ~Behavior();
    Behavior(const Behavior&) = delete;
    Behavior& operator=(const Behavior&) = delete;

    virtual void Detached(const ElementRef& element);
    virtual void Attached(const ElementRef& element);
    // The handler object to use for an element (this behaviour by default).
    virtual Behavior* HandlerFor(const ElementRef& element);

    // Unpackers of the engine's parameter blocks, one per event group.
    virtual int HandleMouse(const ElementRef& element, html::MouseParams& params);
    virtual int HandleKey(const ElementRef& element, html::KeyParams& params);
    virtual int HandleFocus(const ElementRef& element, html::FocusParams& params);
    virtual int HandleTimer(const ElementRef& element);
    virtual void HandleSize(const ElementRef& element);
    virtual int HandleScroll(const ElementRef& element, html::ScrollParams& params);
    virtual int HandleDraw(const ElementRef& element, html::DrawParams& params);
    virtual int HandleMethodCall(const ElementRef& element, html::MethodParams& params);
    virtual int HandleEvent(const ElementRef& element, html::BehaviorEventParams& params);
    virtual int HandleDataArrived(const ElementRef& element, html::DataArrivedParams& params);

    // Typed handlers; nonzero means handled. All defaults return 0.
    virtual int OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd, int x,
                        int y, unsigned buttons, unsigned keys);
    virtual int OnKey(const ElementRef& element, const ElementRef& target, unsigned cmd,
                      unsigned keyCode, unsigned keys);
    virtual int OnFocus(const ElementRef& element, const ElementRef& target, unsigned cmd);
    virtual int OnTimer(const ElementRef& element);
    virtual int OnDraw(const ElementRef& element, unsigned cmd, QPainter* painter,
                       const QRect& area);
    virtual void OnSize(const ElementRef& element);
    virtual int OnMethodCall(const ElementRef& element, unsigned methodId,
                             html::MethodParams& params);
    virtual int OnEvent(const ElementRef& element, const ElementRef& target, unsigned cmd,
                        std::uintptr_t reason);
    virtual int OnDataArrived(const ElementRef& element, const ElementRef& initiator,
                              const unsigned char* data, std::size_t size, unsigned dataType);
    virtual int OnScroll(const ElementRef& element, const ElementRef& target, unsigned cmd,
                         int position, bool vertical);

    unsigned Subscriptions() const { return subscriptions_; }
    const char* Name() const { return name_; }

    // The handler of the first registered behaviour named exactly `name`.
    static Behavior* FindByName(const char* name, const ElementRef& element);

private:
    unsigned subscriptions_;
    Behavior* next_ = nullptr;
    const char* name_ = nullptr;
};

// The answer to the engine's attach-behaviour notification.
bool AttachBehavior(html::AttachBehaviorParams* params);

// The element procedure for elements with a behaviour and for window-level
// handlers; the tag is the handler.
int DispatchElementEvent(void* tag, html::Element* element, unsigned group, void* params);

// Makes sure the program's behaviours are registered (they are globals).
void RegisterProgramBehaviors();

}  // namespace htmlui
