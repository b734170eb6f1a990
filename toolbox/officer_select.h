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

class ZAVEK_OfficerSelect : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString OfficerName READ OfficerName)
public:
    explicit ZAVEK_OfficerSelect(QWidget* parent = nullptr);
    ~ZAVEK_OfficerSelect() override;

    void setDirectory(IOfficerDirectory* directory); // not owned; null: searching shows a message
    QString OfficerName() const;                     // set before OfficerSelected is emitted
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
