#pragma once

#include <QString>

class QWidget;

namespace quello {

// The window's warning message: "Quello Player" over `text`, with `detail` (a file name, say)
// beneath it when given, and one OK button; `objectName` lets tests find the box. Modal on
// `parent`; returns when the user closes it. GUI thread only.
void ShowWarning(QWidget* parent, const char* objectName, const QString& text,
                 const QString& detail = {});

} // namespace quello
