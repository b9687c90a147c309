// The engine's event vocabulary: event groups, commands, states and the
// parameter blocks handed to element event procedures.
#pragma once

#include <QPoint>
#include <QRect>
#include <cstddef>
#include <cstdint>

class QPainter;

namespace html {

class Element;

// Event groups a handler subscribes to.
enum EventGroup : unsigned {
    kHandleInitialization = 0x0,
    kHandleMouse = 0x1,
    kHandleKey = 0x2,
    kHandleFocus = 0x4,
    kHandleScroll = 0x8,
    kHandleTimer = 0x10,
    kHandleSize = 0x20,
    kHandleDraw = 0x40,
    kHandleDataArrived = 0x80,
    kHandleBehaviorEvent = 0x100,
    kHandleMethodCall = 0x200,
};

// Phase flags or-ed into the command of mouse, key, focus and behaviour events.
constexpr unsigned kSinking = 0x8000;
constexpr unsigned kHandled = 0x10000;

enum InitializationCommand : unsigned { kBehaviorDetach = 0, kBehaviorAttach = 1 };

enum MouseCommand : unsigned {
    kMouseEnter = 0,
    kMouseLeave = 1,
    kMouseMove = 2,
    kMouseUp = 3,
    kMouseDown = 4,
    kMouseDoubleClick = 5,
    kMouseWheel = 6,
};
enum MouseButton : unsigned { kMainButton = 1, kPropButton = 2, kMiddleButton = 4 };
enum KeyboardState : unsigned { kControlKeyPressed = 1, kShiftKeyPressed = 2, kAltKeyPressed = 4 };

enum KeyCommand : unsigned { kKeyDown = 0, kKeyUp = 1, kKeyChar = 2 };
// Key codes follow the classic virtual-key numbering (letters are their capitals).
enum KeyCode : unsigned {
    kVkTab = 9,
    kVkReturn = 13,
    kVkEscape = 27,
    kVkSpace = 32,
    kVkPageUp = 33,
    kVkPageDown = 34,
    kVkEnd = 35,
    kVkHome = 36,
    kVkLeft = 37,
    kVkUp = 38,
    kVkRight = 39,
    kVkDown = 40,
};

enum FocusCommand : unsigned { kFocusLost = 0, kFocusGot = 1 };

enum BehaviorEvent : unsigned {
    kButtonClick = 0,
    kButtonPress = 1,
    kPopupRequest = 7,
    kPopupReady = 8,
    kPopupDismissed = 9,
    kMenuItemActive = 0xA,
    kMenuItemClick = 0xB,
    kContextMenuRequest = 0x10,
    kHyperlinkClick = 0x80,
    kTableHeaderClick = 0x81,
    kTableRowClick = 0x82,
    kTableRowDoubleClick = 0x83,
    kRowsDataRequest = 0x94,
};

// Element states; the names in the comments are the CSS pseudo-classes that
// reflect them, so style sheets react to state changes.
enum ElementState : unsigned {
    kStateLink = 0x1,             // :link
    kStateHover = 0x2,            // :hover
    kStateActive = 0x4,           // :active
    kStateFocus = 0x8,            // :focus
    kStateVisited = 0x10,         // :visited
    kStateCurrent = 0x20,         // :current
    kStateChecked = 0x40,         // :checked
    kStateDisabled = 0x80,        // :disabled
    kStateReadOnly = 0x100,       // :read-only
    kStateExpanded = 0x200,       // :expanded
    kStateCollapsed = 0x400,      // :collapsed
    kStateFocusable = 0x2000,     // :focusable
    kStateAnchor = 0x4000,        // :anchor
    kStateOwnsPopup = 0x10000,    // :owns-popup
    kStatePressed = 0x4000000,    // :pressed
    kStatePopup = 0x8000000,      // :popup
};

// Areas and origins of element locations.
enum ElementArea : unsigned {
    kRootRelative = 0x01,     // document coordinates
    kSelfRelative = 0x02,     // origin at the element's own border-box corner
    kContainerRelative = 0x03,
    kViewRelative = 0x04,     // widget coordinates (scrolling applied)
    kContentBox = 0x00,
    kPaddingBox = 0x10,
    kBorderBox = 0x20,
    kMarginBox = 0x30,
    kScrollableArea = 0x60,   // the part of the element visible in its view
};

// Popup placements relative to the anchor element.
enum PopupPlacement : unsigned { kPlaceBelow = 2, kPlaceAbove = 8, kPlaceRight = 6, kPlaceLeft = 4 };

struct InitializationParams {
    unsigned cmd;
};

// `pos` is relative to the border box of the element whose handler is called;
// `posDocument` is in document coordinates.
struct MouseParams {
    unsigned cmd;
    Element* target;
    QPoint pos;
    QPoint posDocument;
    unsigned buttonState;
    unsigned altState;
};

struct KeyParams {
    unsigned cmd;
    Element* target;
    unsigned keyCode;
    unsigned altState;
};

// For focus lost, `target` is the element that receives the focus (or null).
struct FocusParams {
    unsigned cmd;
    Element* target;
    bool byMouseClick;
    bool cancel;
};

struct ScrollParams {
    unsigned cmd;
    Element* target;
    int pos;
    bool vertical;
};

struct TimerParams {
    std::uintptr_t timerId;
};

struct DrawParams {
    unsigned cmd;
    QPainter* painter;
    QRect area;
};

struct DataArrivedParams {
    Element* initiator;
    const unsigned char* data;
    std::size_t size;
    unsigned dataType;
};

// `target` is the element the event is delivered to first, `source` the one
// that caused it (a clicked row, a header cell, a menu item).
struct BehaviorEventParams {
    unsigned cmd;
    Element* target;
    Element* source;
    std::uintptr_t reason;
};

struct MethodParams {
    unsigned methodId;
};

// An element procedure: called for every event of a group its handler
// subscribed to; a nonzero result marks the event handled.
using ElementEventProc = int (*)(void* tag, Element* element, unsigned group, void* params);

}  // namespace html
