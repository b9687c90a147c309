// The behaviour base class, its registry and the event dispatcher.
#include "htmlui/behavior.h"

#include <cstring>

namespace htmlui {

namespace {

// The most recently constructed registered behaviour; each links to the one
// constructed before it.
Behavior*& RegistryHead()
{
    static Behavior* head = nullptr;
    return head;
}

}  // namespace

Behavior::Behavior(unsigned subscriptions, const char* name)
    : subscriptions_(subscriptions), next_(RegistryHead()), name_(name)
{
    RegistryHead() = this;
}

Behavior::Behavior(unsigned subscriptions) : subscriptions_(subscriptions) {}

Behavior::~Behavior()
{
    if (!name_)
        return;
    for (Behavior** link = &RegistryHead(); *link; link = &(*link)->next_)
        if (*link == this) {
            *link = next_;
            break;
        }
}

void Behavior::Detached(const ElementRef&) {}
void Behavior::Attached(const ElementRef&) {}

Behavior* Behavior::HandlerFor(const ElementRef&)
{
    return this;
}

int Behavior::HandleMouse(const ElementRef& element, html::MouseParams& p)
{
    return OnMouse(element, ElementRef(p.target), p.cmd, p.pos.x(), p.pos.y(), p.buttonState,
                   p.altState);
}

int Behavior::HandleKey(const ElementRef& element, html::KeyParams& p)
{
    return OnKey(element, ElementRef(p.target), p.cmd, p.keyCode, p.altState);
}

int Behavior::HandleFocus(const ElementRef& element, html::FocusParams& p)
{
    return OnFocus(element, ElementRef(p.target), p.cmd);
}

int Behavior::HandleTimer(const ElementRef& element)
{
    return OnTimer(element);
}

void Behavior::HandleSize(const ElementRef& element)
{
    OnSize(element);
}

int Behavior::HandleScroll(const ElementRef& element, html::ScrollParams& p)
{
    return OnScroll(element, ElementRef(p.target), p.cmd, p.pos, p.vertical);
}

int Behavior::HandleDraw(const ElementRef& element, html::DrawParams& p)
{
    return OnDraw(element, p.cmd, p.painter, p.area);
}

int Behavior::HandleMethodCall(const ElementRef& element, html::MethodParams& p)
{
    return OnMethodCall(element, p.methodId, p);
}

int Behavior::HandleEvent(const ElementRef& element, html::BehaviorEventParams& p)
{
    return OnEvent(element, ElementRef(p.target), p.cmd, p.reason);
}

int Behavior::HandleDataArrived(const ElementRef& element, html::DataArrivedParams& p)
{
    return OnDataArrived(element, ElementRef(p.initiator), p.data, p.size, p.dataType);
}

int Behavior::OnMouse(const ElementRef&, const ElementRef&, unsigned, int, int, unsigned,
                      unsigned)
{
    return 0;
}
int Behavior::OnKey(const ElementRef&, const ElementRef&, unsigned, unsigned, unsigned)
{
    return 0;
}
int Behavior::OnFocus(const ElementRef&, const ElementRef&, unsigned)
{
    return 0;
}
int Behavior::OnTimer(const ElementRef&)
{
    return 0;
}
int Behavior::OnDraw(const ElementRef&, unsigned, QPainter*, const QRect&)
{
    return 0;
}
void Behavior::OnSize(const ElementRef&) {}
int Behavior::OnMethodCall(const ElementRef&, unsigned, html::MethodParams&)
{
    return 0;
}
int Behavior::OnEvent(const ElementRef&, const ElementRef&, unsigned, std::uintptr_t)
{
    return 0;
}
int Behavior::OnDataArrived(const ElementRef&, const ElementRef&, const unsigned char*,
                            std::size_t, unsigned)
{
    return 0;
}
int Behavior::OnScroll(const ElementRef&, const ElementRef&, unsigned, int, bool)
{
    return 0;
}

Behavior* Behavior::FindByName(const char* name, const ElementRef& element)
{
    RegisterProgramBehaviors();
    for (Behavior* b = RegistryHead(); b; b = b->next_)
        if (std::strcmp(b->name_, name) == 0)
            return b->HandlerFor(element);
    return nullptr;
}

bool AttachBehavior(html::AttachBehaviorParams* params)
{
    Behavior* handler = Behavior::FindByName(params->behaviorName, ElementRef(params->element));
    if (!handler)
        return false;
    params->elementProc = DispatchElementEvent;
    params->elementTag = handler;
    params->eventGroups = handler->Subscriptions();
    return true;
}

int DispatchElementEvent(void* tag, html::Element* element, unsigned group, void* params)
{
    auto* handler = static_cast<Behavior*>(tag);
    if (!handler)
        return 0;
    const ElementRef el(element);
    switch (group) {
    case html::kHandleInitialization: {
        const unsigned cmd = static_cast<html::InitializationParams*>(params)->cmd;
        if (cmd == html::kBehaviorDetach)
            handler->Detached(el);
        else if (cmd == html::kBehaviorAttach)
            handler->Attached(el);
        return 1;
    }
    case html::kHandleMouse:
        return handler->HandleMouse(el, *static_cast<html::MouseParams*>(params));
    case html::kHandleKey: return handler->HandleKey(el, *static_cast<html::KeyParams*>(params));
    case html::kHandleFocus:
        return handler->HandleFocus(el, *static_cast<html::FocusParams*>(params));
    case html::kHandleScroll:
        return handler->HandleScroll(el, *static_cast<html::ScrollParams*>(params));
    case html::kHandleTimer: return handler->OnTimer(el);
    case html::kHandleSize: handler->HandleSize(el); return 0;
    case html::kHandleDraw:
        return handler->HandleDraw(el, *static_cast<html::DrawParams*>(params));
    case html::kHandleDataArrived:
        return handler->HandleDataArrived(el, *static_cast<html::DataArrivedParams*>(params));
    case html::kHandleBehaviorEvent:
        return handler->HandleEvent(el, *static_cast<html::BehaviorEventParams*>(params));
    case html::kHandleMethodCall:
        return handler->HandleMethodCall(el, *static_cast<html::MethodParams*>(params));
    default: return 0;
    }
}

}  // namespace htmlui
