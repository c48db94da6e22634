// What the page view hands its pointer, key and menu input to before acting
// as a plain PDF viewer. Each handler answers whether it took the event; an
// event that is not taken gets the viewer's own behaviour (text selection,
// scrolling, text copy). Positions are in the view's viewport coordinates.
#pragma once

class QContextMenuEvent;
class QKeyEvent;
class QMouseEvent;

namespace quillet {

class PageInputHandler {
  public:
    virtual ~PageInputHandler() = default;

    virtual bool mousePress(QMouseEvent* event) = 0;
    // With or without a button held (hover).
    virtual bool mouseMove(QMouseEvent* event) = 0;
    virtual bool mouseRelease(QMouseEvent* event) = 0;
    virtual bool keyPress(QKeyEvent* event) = 0;
    virtual bool contextMenu(QContextMenuEvent* event) = 0;
    // The pointer left the view.
    virtual void pointerLeft() = 0;
};

}  // namespace quillet
