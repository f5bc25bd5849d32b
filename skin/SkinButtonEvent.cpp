#include "SkinButtonEvent.h"

namespace quello {

SkinButtonEvent::SkinButtonEvent(QEvent::Type type, int controlId)
    : QEvent(type), m_controlId(controlId) {}

SkinButtonEvent::~SkinButtonEvent() = default;

} // namespace quello
