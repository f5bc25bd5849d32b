// Events a skin button posts to its parent when the left button goes down (15000) and up
// (15001) on it, carrying the button's control id. The parent may ignore them; the ordinary
// clicked() signal still comes. Ownership: posted events belong to Qt's event queue.
#pragma once

#include <QEvent>

namespace quello {

inline constexpr QEvent::Type kSkinButtonPressed = QEvent::Type(15000);
inline constexpr QEvent::Type kSkinButtonReleased = QEvent::Type(15001);

class SkinButtonEvent : public QEvent {
public:
    SkinButtonEvent(QEvent::Type type, int controlId);
    ~SkinButtonEvent() override;

    int controlId() const { return m_controlId; }

private:
    int m_controlId;
};

} // namespace quello
