#include "SkinButtonEvent.h"

namespace quello {

SkinButtonEvent::SkinButtonEvent(QEvent::Type type, int controlId)
    : QEvent(type), controlId_(controlId) {}

SkinButtonEvent::~SkinButtonEvent() = default;

} // namespace quello
