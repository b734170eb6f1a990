#pragma once
// A list in report view with a check box on every item. A table view underneath, not a tree:
// a tree lays out every row whenever the list is shown, a table only the rows in sight, which
// is what lets a catalogue of a million items show in a fraction of a second.

#include <QHeaderView>
#include <QTableView>

#include <cstdint>

namespace zavek {

class GroupListView : public QTableView {
    Q_OBJECT
public:
    explicit GroupListView(int index, QWidget* parent = nullptr);
    int listIndex() const { return index_; }
    // The column header, as a report view calls it.
    QHeaderView* header() const { return horizontalHeader(); }

signals:
    // A mouse click anywhere in the list (an item, the empty area below the items, or the
    // header), raised after any check-state change the click made. A keyboard toggle of a
    // check box raises it too, so the editing rules hold for both.
    void listClicked(std::int16_t index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int index_;
};

} // namespace zavek
