#pragma once

#include <QDialog>

class QLineEdit;
class QTableWidget;

namespace quello {

// The KML converter: a list of camera GPS logs and an output folder; "Convert to KML" turns
// every listed log into <output folder>/<log name>.kml and shows per row whether it worked and
// which document it wrote. Logs come from a file dialog, from a whole folder or from drops onto
// the list; a double-click on a converted row opens its document.
//
// Ownership: the dialog owns its child widgets only; on disk it writes nothing but the KML
// documents of a conversion run. Threading: GUI thread only. A conversion run is synchronous on
// that thread under the wait cursor; it repaints the list a few times a second but handles no
// input meanwhile. The folder the log-file dialog last ended in is shared by every instance
// for the rest of the program run.
class CDlgKMLConv : public QDialog {
    Q_OBJECT
public:
    explicit CDlgKMLConv(QWidget* parent = nullptr);

    // Appends `logPath` as a new, not yet converted row and makes its folder the output
    // folder, as choosing the file with "+" does.
    void AddLogFile(const QString& logPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void AppendRow(const QString& logPath);
    QString ChooseFolder();

    void OnAddFile();
    void OnAddFolder();
    void OnRemoveFirstSelected();
    void OnRemoveAll();
    void OnChooseOutputFolder();
    void OnConvert();
    void OnOpenOutput();

    QTableWidget* m_list = nullptr;
    QLineEdit* m_outputFolder = nullptr;
};

} // namespace quello
