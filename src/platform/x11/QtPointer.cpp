#include "platform/x11/QtPointer.h"

#include <QCursor>

namespace kx::platform::x11 {

ScreenPoint QtPointer::location()
{
    const QPoint at = QCursor::pos();
    return {double(at.x()), double(at.y())};
}

}  // namespace kx::platform::x11
