// A horizontal slider that blends into the skinned window: its face shows whatever lies under
// it, the channel is a thin two-colour bar and the thumb the skin bitmap 146 (white is
// transparent). A left click on the channel jumps to the clicked value: the page step is set
// to the distance first and the slider then moves one page toward the click. The page step
// stays until the next move with the button down, which restores minimumPageSize().
// Value, range and page step are QSlider's. Ownership: a child widget of its parent.
// Threading: GUI thread only.
#pragma once

#include <QSlider>

#include <optional>
#include <utility>
#include <vector>

namespace quello {

class CSkinSlider : public QSlider {
    Q_OBJECT
public:
    explicit CSkinSlider(QWidget* parent = nullptr);
    // The same, with objectName "ctl<controlId>".
    CSkinSlider(int controlId, QWidget* parent);
    ~CSkinSlider() override;

    // Smallest page step the click logic sets; 1 unless the owner sets another.
    int minimumPageSize() const { return m_minimumPageSize; }
    void SetMinimumPageSize(int size) { m_minimumPageSize = size; }

    // Values to mark with a short tick above the channel (the position slider marks the G-force
    // events there). Repaints.
    void SetMarks(std::vector<int> values);
    const std::vector<int>& marks() const { return m_marks; }
    // A clip's In and Out: a bracket each below the channel and, when both are set, a bar
    // between them. A value outside the range (a span that runs on into the recording before
    // or after) draws no bracket, and the bar runs to the channel's end. Repaints.
    void SetClipMarks(std::optional<int> in, std::optional<int> out);
    std::pair<std::optional<int>, std::optional<int>> clipMarks() const {
        return {m_clipIn, m_clipOut};
    }
    // The x of a value's thumb centre.
    int CentreXOf(int value) const;

    // The channel's item rectangle and the thumb's, in widget coordinates.
    QRect channelRect() const;
    QRect thumbRect() const;

signals:
    // The left button went down anywhere on the slider (before the slider moves).
    void grabbed();
    // The left button was released after a press on the slider, whether the press dragged
    // the thumb or clicked the channel. Read value() for the position.
    void released();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int thumbCentreX() const;
    int ValueAtX(int x) const;

    bool m_buttonDown = false;
    bool m_dragging = false;
    int m_minimumPageSize = 1;
    std::vector<int> m_marks;
    std::optional<int> m_clipIn;
    std::optional<int> m_clipOut;
};

} // namespace quello
