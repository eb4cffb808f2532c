#pragma once
// What the drawing side needs from the window that shows the current bank.
// The window layer implements it; headless runs have no display (null) or
// one that shows nothing. Rectangles are inclusive client coordinates, which
// equal VRAM coordinates.
#include <cstdint>

namespace vx {

class Display {
 public:
  virtual ~Display() = default;

  // The rectangle of the current bank is out of date on the screen: paint
  // it on the next paint of the window (an invalidation, not a paint).
  virtual void RequestRedraw(int left, int top, int right, int bottom) = 0;
  // DoDraw: copy the rectangle of the current bank to the screen now.
  virtual void PaintNow(int left, int top, int right, int bottom) = 0;
  // CancelPaint: the script dropped its pending redraw.
  virtual void CancelPaint() {}
  // A label has run long: paint what is due (the current bank's dirty
  // region, the controls, exposed parts) and answer the window manager,
  // and take nothing else: no input, no timer, nothing that runs a label.
  // A display with nothing on a screen does nothing.
  virtual void KeepAlive() {}
  // The width and height of the main window's client area.
  virtual void ClientSize(int* width, int* height) = 0;
};

}  // namespace vx
