#pragma once

#include <QPoint>
#include <QSize>

// Where a picture larger than its view lies in it, and how the gestures of a
// scrolled view move it, without scroll bars or scaling. The offset is the
// picture point at the view's top-left corner; it never passes the picture's
// own edges, so a picture smaller than the view stays at its top-left.
// Positions are in the units the picture is shown in.
class Pan
{
public:
    // dragDistance: how far a press may move and still count toward a double
    // click; wheelLines: the steps one notch of the wheel scrolls.
    Pan(int dragDistance, int wheelLines);

    QPoint offset() const { return offset_; }

    // A new picture starts at its top-left corner.
    void setPicture(QSize picture);
    // A resized view keeps the picture point at its top-left, within the edges.
    void setView(QSize view);

    // A left press and the pointer's moves while it is held, in any fixed
    // frame (the screen's): the picture follows the pointer.
    void press(QPoint at);
    void move(QPoint at);
    void release() { pressed_ = false; }
    bool dragging() const { return pressed_; }
    // Whether a double click now counts: never after a press that moved
    // beyond the drag distance.
    bool doubleClickCounts() const { return !moved_; }

    // angleDelta as the wheel gives it; with Shift a vertical wheel scrolls sideways.
    void wheel(QPoint angleDelta, bool shift);
    // Arrows, Page Up/Down, Home and End (Qt::Key); false for any other key.
    bool key(int key);

private:
    void moveTo(QPoint offset);

    int dragDistance_, wheelLines_;
    QSize picture_, view_;
    QPoint offset_, pressedAt_, offsetAtPress_;
    bool pressed_ = false;
    bool moved_ = false;
};
