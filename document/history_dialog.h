#pragma once
// The shown officer's history: a window beside the document with the saves, newest first, and
// Revert for the selected one.

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTableView;

namespace zavek {

class HistoryModel;

class HistoryDialog final : public QDialog {
    Q_OBJECT
public:
    HistoryDialog(HistoryModel& model, QWidget* parent);

    void setMessage(const QString& text);
    // The selected row is handed over; Revert is enabled only while one is selected.
    void setRevert(std::function<void(int row)> revert) { revert_ = std::move(revert); }

    QTableView* table() const { return table_; }
    QLabel* message() const { return message_; }
    QPushButton* revertButton() const { return revertButton_; }

private:
    void updateButtons();

    QLabel* message_;
    QTableView* table_;
    QPushButton* revertButton_;
    std::function<void(int)> revert_;
};

} // namespace zavek
