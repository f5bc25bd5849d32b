#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quello {

// A bar across the top of the video area for news that needs no dialog: an offer with its
// action and a way to dismiss it ("Camera card found: ... — Import"), or a job under way with
// its progress and a Cancel button. Drawn in the window's skin: white text in the window's
// font on the skin's near-black, the route's blue along its lower edge. Its buttons take the
// keyboard by Tab only, like the window's own. A child of the window; GUI thread only.
class NoticeBar : public QFrame {
    Q_OBJECT
public:
    explicit NoticeBar(QWidget* window);

    // Shows `text`, a button `action` and a dismiss button.
    void ShowOffer(const QString& text, const QString& action);
    // Shows `text` with a progress bar at done/total (total 0: busy, no figure) and Cancel.
    void ShowProgress(const QString& text, qint64 done, qint64 total);

    QString text() const;
    QPushButton* actionButton() const { return m_action; }
    QPushButton* closeButton() const { return m_close; }
    QProgressBar* progressBar() const { return m_progress; }

signals:
    void actionClicked();
    void dismissed();
    void cancelClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Layout();

    QLabel* m_text;
    QProgressBar* m_progress;
    QPushButton* m_action;
    QPushButton* m_close;
    bool m_offer = false;
};

} // namespace quello
