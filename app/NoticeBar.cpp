#include "NoticeBar.h"

#include "res/skin/WindowLayout.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

namespace quello {
namespace {

constexpr int kHeight = 30;
constexpr int kPad = 6;
// The skin's colours: the Recycle box's near-black and the route's blue on the map.
const QColor kBackground(0x0A, 0x0A, 0x0A);
const QColor kAccent(0x33, 0x88, 0xFF);

} // namespace

NoticeBar::NoticeBar(QWidget* window)
    : QFrame(window), m_text(new QLabel(this)), m_progress(new QProgressBar(this)),
      m_action(new QPushButton(this)), m_close(new QPushButton(this)) {
    setObjectName(QStringLiteral("noticeBar"));
    const QRect video = DialogUnitsToPixels(kVideoRect);
    setGeometry(video.x(), video.y(), video.width(), kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);

    QPalette text = m_text->palette();
    text.setColor(QPalette::WindowText, Qt::white);
    m_text->setPalette(text);
    m_text->setObjectName(QStringLiteral("noticeText"));
    m_progress->setObjectName(QStringLiteral("noticeProgress"));
    m_progress->setTextVisible(false);
    QPalette bar = m_progress->palette();
    bar.setColor(QPalette::Highlight, kAccent);
    m_progress->setPalette(bar);
    m_action->setObjectName(QStringLiteral("noticeAction"));
    m_close->setObjectName(QStringLiteral("noticeClose"));
    m_close->setText(QStringLiteral("×"));
    m_close->setToolTip(QStringLiteral("Dismiss"));
    for (QPushButton* button : {m_action, m_close}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
    }
    connect(m_action, &QPushButton::clicked, this, [this] {
        if (m_offer)
            emit actionClicked();
        else
            emit cancelClicked();
    });
    connect(m_close, &QPushButton::clicked, this, [this] {
        hide();
        emit dismissed();
    });
    hide();
}

void NoticeBar::ShowOffer(const QString& text, const QString& action) {
    m_offer = true;
    m_text->setText(text);
    m_action->setText(action);
    m_progress->hide();
    m_close->show();
    Layout();
    show();
    raise();
}

void NoticeBar::ShowProgress(const QString& text, qint64 done, qint64 total) {
    m_offer = false;
    m_text->setText(text);
    m_action->setText(QStringLiteral("Cancel"));
    // Per mille: the bar's range is an int, the bytes are not.
    m_progress->setRange(0, total > 0 ? 1000 : 0);
    m_progress->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    m_progress->show();
    m_close->hide();
    Layout();
    show();
    raise();
}

QString NoticeBar::text() const {
    return m_text->text();
}

void NoticeBar::Layout() {
    const int buttonHeight = height() - 2 * kPad + 2;
    int right = width() - kPad;
    if (m_close->isVisibleTo(this)) {
        m_close->setGeometry(right - buttonHeight, kPad - 1, buttonHeight, buttonHeight);
        right -= buttonHeight + kPad;
    }
    const int actionWidth = std::max(72, m_action->sizeHint().width());
    m_action->setGeometry(right - actionWidth, kPad - 1, actionWidth, buttonHeight);
    right -= actionWidth + kPad;
    if (m_progress->isVisibleTo(this)) {
        m_progress->setGeometry(right - 160, kPad + 2, 160, height() - 2 * kPad - 4);
        right -= 160 + kPad;
    }
    m_text->setGeometry(2 * kPad, 0, right - 2 * kPad, height() - 1);
}

void NoticeBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.fillRect(QRect(0, height() - 2, width(), 2), kAccent);
}

} // namespace quello
