#pragma once
// The control "PRJ_ZAVEK_Toolbox.ZAVEK_OfficerSelect": finds officers of the session's region
// and reports the one the administrator picks.

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace zavek {

class IOfficerDirectory;
class OfficerResultModel;
class SessionInfo;

class ZAVEK_OfficerSelect : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString OfficerName READ OfficerName)
public:
    explicit ZAVEK_OfficerSelect(QWidget* parent = nullptr);
    ~ZAVEK_OfficerSelect() override;

    // Neither owned. A null directory: searching shows a message. The session's region is read
    // at each search; a null session searches no region.
    void setDirectory(IOfficerDirectory* directory, const SessionInfo* session = nullptr);
    QString OfficerName() const; // set before OfficerSelected is emitted
    static constexpr int kResultLimit = 200;

signals:
    void Searching();
    void ClearForm();
    void OfficerSelected(const QString& officerId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search();
    void clear();
    void selectCurrent();
    void pick(const QModelIndex& index);
    void showHint(const QString& text);
    void updateSelectButton();

    IOfficerDirectory* directory_ = nullptr;
    const SessionInfo* session_ = nullptr;
    QString officerName_;
    OfficerResultModel* model_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    QTreeView* resultView_ = nullptr;
    QLabel* hintLabel_ = nullptr;
};

} // namespace zavek
