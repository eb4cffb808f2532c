#pragma once
// Qt's key codes as the Windows virtual-key codes scripts expect in G_VKEY.
#include <QKeyEvent>
#include <cstdint>

namespace vx::qt {

// 0 for keys without a virtual-key code.
std::int32_t VirtualKeyOf(int qt_key, Qt::KeyboardModifiers modifiers);

}  // namespace vx::qt
