#pragma once

#include <QDialog>

namespace quello {

// The about box: the program icon, its name and version, a copyright line and an OK button.
// Shown modally from the window menu; owns nothing beyond its child widgets.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace quello
