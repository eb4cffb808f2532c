#pragma once
// The C entry points of the print-support module, which holds everything
// of Qt's print support library the program uses. The executable carries
// the module's image and opens it from memory, binding these by name; the objects it hands out
// are Qt objects of the same Qt the program runs with.
#include <cstddef>

class QPagedPaintDevice;
class QWidget;

extern "C" {

// A printer for a job: `name` empty means the default printer. With
// `dialog` and a parent window the user may choose the printer and the
// pages first. The device is set to the full page at `dpi` (or its nearest
// resolution), portrait or landscape on the given paper (a QPageSize id).
// Null, with the reason (UTF-8) in `error`, when there is no such printer
// or the user cancelled. The caller deletes the device.
QPagedPaintDevice* vexmora_open_printer(const char* name, const char* title, int dpi, int page_size_id,
                                        int landscape, int dialog, QWidget* parent, char* error,
                                        std::size_t error_size);
// 1 when the printer reported an error for the job (refused, aborted).
int vexmora_printer_failed(QPagedPaintDevice* device);
// Cancels the job on the printer.
void vexmora_printer_abort(QPagedPaintDevice* device);

}
